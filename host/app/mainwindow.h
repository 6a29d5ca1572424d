#pragma once
#include "packageloader.h"
#include <QMainWindow>
#include <map>
#include <memory>

class QMdiArea;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    // Opens a screen by its code; reports a missing or broken package.
    void openScreen(const QString &code);
    void unloadPackages();
private:
    QMdiArea *m_mdi;
    std::map<QString, std::unique_ptr<PackageLoader>> m_packages;
};
