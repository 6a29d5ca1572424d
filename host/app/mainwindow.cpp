#include "mainwindow.h"

#include "application.h"
#include "dispatch.h"
#include "hostlog.h"
#include "prompter.h"
#include "vantiro.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QCloseEvent>

MainWindow::MainWindow() : m_mdi(new QMdiArea(this))
{
    setWindowTitle(QStringLiteral("Retaguarda — Patrimônio"));
    m_mdi->setBackground(QColor(0x5b, 0x6b, 0x80));
    setCentralWidget(m_mdi);
    TApplication::SetMainForm(this, m_mdi);
    // Each package found beside the program offers its screen where it says;
    // the host adds only its own items.
    QMenu *first = nullptr;
    for (const QString &pkg : packagesBesideTheProgram()) {
        auto loader = std::make_unique<PackageLoader>(pkg);
        if (!loader->probe()) {
            qCWarning(lcPackage) << "package" << pkg << "left out of the menus:" << loader->error();
            continue;
        }
        const HostPackageInfo *info = loader->info();
        QMenu *menu = menuNamed(QString::fromUtf8(info->menu));
        if (!first) first = menu;
        QAction *open = menu->addAction(QString::fromUtf8(info->caption));
        open->setShortcut(QKeySequence(QString::fromUtf8(info->shortcut), QKeySequence::PortableText));
        const QString code = pkg.mid(4);
        connect(open, &QAction::triggered, this, [this, code] { openScreen(code); });
        m_packages[pkg] = std::move(loader);
    }
    QMenu *own = first ? first : menuNamed(QStringLiteral("&Arquivo"));
    own->addSeparator();
    own->addAction(QStringLiteral("&Sair"), this, &QWidget::close);
    auto *win = menuBar()->addMenu(QStringLiteral("&Janela"));
    win->addAction(QStringLiteral("&Cascata"), m_mdi, &QMdiArea::cascadeSubWindows);
    win->addAction(QStringLiteral("&Lado a lado"), m_mdi, &QMdiArea::tileSubWindows);
    statusBar()->addWidget(new QLabel(QStringLiteral("Operador: %1").arg(Vantiro::Operator())));
    statusBar()->addPermanentWidget(new QLabel(QStringLiteral("Servidor: %1:%2").arg(Vantiro::WebURL()).arg(Vantiro::WebPort())));
    resize(1280, 780);
}

QStringList MainWindow::packagesBesideTheProgram()
{
    QStringList out;
    const QDir dir(QCoreApplication::applicationDirPath());
    for (const QString &file : dir.entryList({QStringLiteral("libPKG_*.so")}, QDir::Files, QDir::Name))
        out << file.mid(3, file.size() - 6);
    return out;
}

QMenu *MainWindow::menuNamed(const QString &title)
{
    for (QAction *a : menuBar()->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return menuBar()->addMenu(title);
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

namespace {
const char *const kGeometry = "janelaPrincipal/geometria";
const char *const kMaximised = "janelaPrincipal/maximizada";
}  // namespace

void MainWindow::showAsLeft()
{
    m_remember = true;
    const QSettings mine;
    if (!restoreGeometry(mine.value(QLatin1String(kGeometry)).toByteArray())) resize(1280, 780);
    if (mine.value(QLatin1String(kMaximised), true).toBool()) {
        showMaximized();
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMaximized);
    show();
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    if (m_remember) {
        QSettings mine;
        mine.setValue(QLatin1String(kGeometry), saveGeometry());
        mine.setValue(QLatin1String(kMaximised), isMaximized());
    }
    QMainWindow::closeEvent(e);
}

void MainWindow::unloadPackages()
{
    for (auto &[name, loader] : m_packages) loader->unload();
    m_packages.clear();
}
