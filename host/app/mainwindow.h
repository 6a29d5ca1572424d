#pragma once
#include "packageloader.h"
#include <QMainWindow>
#include <map>
#include <memory>

class QMdiArea;
class QMenu;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    // Opens a screen by its code; reports a missing or broken package.
    void openScreen(const QString &code);
    void unloadPackages();
private:
    // The screen packages in the program's folder, by name ("PKG_TRQ01300").
    static QStringList packagesBesideTheProgram();
    QMenu *menuNamed(const QString &title);
    QMdiArea *m_mdi;
    std::map<QString, std::unique_ptr<PackageLoader>> m_packages;
};
