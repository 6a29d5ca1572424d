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
    // Shown as this user left it last time: its place and size, maximised or
    // not; maximised the first time.
    void showAsLeft();
protected:
    void closeEvent(QCloseEvent *e) override;
private:
    bool m_remember = false;  // only a window shown as left is kept
    // The screen packages in the program's folder, by name ("PKG_TRQ01300").
    static QStringList packagesBesideTheProgram();
    QMenu *menuNamed(const QString &title);
    QMdiArea *m_mdi;
    std::map<QString, std::unique_ptr<PackageLoader>> m_packages;
};
