#include "mainwindow.h"

#include "application.h"
#include "dispatch.h"
#include "prompter.h"
#include "vantiro.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow() : m_mdi(new QMdiArea(this))
{
    setWindowTitle(QStringLiteral("Retaguarda — Patrimônio"));
    m_mdi->setBackground(QColor(0x5b, 0x6b, 0x80));
    setCentralWidget(m_mdi);
    TApplication::SetMainForm(this, m_mdi);
    auto *pat = menuBar()->addMenu(QStringLiteral("&Patrimônio"));
    auto *hist = pat->addAction(QStringLiteral("&Histórico de Operações do Bem"));
    hist->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    connect(hist, &QAction::triggered, this, [this] { openScreen(QStringLiteral("TRQ01300")); });
    pat->addSeparator();
    pat->addAction(QStringLiteral("&Sair"), this, &QWidget::close);
    auto *win = menuBar()->addMenu(QStringLiteral("&Janela"));
    win->addAction(QStringLiteral("&Cascata"), m_mdi, &QMdiArea::cascadeSubWindows);
    win->addAction(QStringLiteral("&Lado a lado"), m_mdi, &QMdiArea::tileSubWindows);
    statusBar()->addWidget(new QLabel(QStringLiteral("Operador: %1").arg(Vantiro::Operator())));
    statusBar()->addPermanentWidget(new QLabel(QStringLiteral("Servidor: %1:%2").arg(Vantiro::WebURL()).arg(Vantiro::WebPort())));
    resize(1280, 780);
}

void MainWindow::openScreen(const QString &code)
{
    const QString pkg = QStringLiteral("PKG_") + code.toUpper();
    auto &loader = m_packages[pkg];
    if (!loader) loader = std::make_unique<PackageLoader>(pkg);
    if (!loader->load()) {
        host::prompter()->error(loader->error());
        m_packages.erase(pkg);
        return;
    }
    host::dispatch([&] { loader->openScreen(); });
}

void MainWindow::unloadPackages()
{
    for (auto &[name, loader] : m_packages) loader->unload();
    m_packages.clear();
}
