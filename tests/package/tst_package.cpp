// Loading the real screen package the way backoffice does.
#include "mainwindow.h"
#include "packageloader.h"
#include "adoibquery.h"
#include "appserver.h"
#include "application.h"
#include "dbconnect.h"
#include "generator.h"
#include "testguards.h"
#include "frmpadraogrid.h"
#include "prompter.h"
#include "vantiro.h"
#include "scriptedprompter.h"
#include "standardobjects.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMdiArea>
#include <QToolButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstPackage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { isolateSettings(); }
    void missingLibraryIsReported();
    void libraryWithoutEntriesIsRefused();
    void creationFailureReachesTheHostAndRegistersNothing();
    void iniProcOpensOneScreenAndFecharTakesItsFrame();
    void loadFailureSpeaksPortuguese();
    void menusComeFromThePackages();
    void theScreenPrintsToAPdfFromTheCommandLine();
};

namespace {
QList<TfrmPadraoGrid *> screens()
{
    QList<TfrmPadraoGrid *> out;
    for (QWidget *w : QApplication::allWidgets())
        if (auto *f = qobject_cast<TfrmPadraoGrid *>(w); f && f->isVisible()) out << f;
    return out;
}
}  // namespace

void TstPackage::missingLibraryIsReported()
{
    QTemporaryDir dir;
    PackageLoader l("PKG_TRQ01300", dir.path());
    QVERIFY(!l.load());
    QVERIFY(l.error().startsWith("Não foi possível carregar o pacote PKG_TRQ01300"));
}

void TstPackage::libraryWithoutEntriesIsRefused()
{
    // The host library is a real shared library that is no screen package.
    PackageLoader l("hostlib", QCoreApplication::applicationDirPath());
    QVERIFY(!l.load());
    QCOMPARE(l.error(), QString("O pacote hostlib não exporta a entrada GetPackageInfoTable."));
}

void TstPackage::creationFailureReachesTheHostAndRegistersNothing()
{
    // No server listens there: creating the screen fails, the host shows why,
    // no screen stays registered and the cursor is not left waiting.
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    QMainWindow main;
    auto *mdi = new QMdiArea(&main);
    main.setCentralWidget(mdi);
    TApplication::SetMainForm(&main, mdi);
    main.show();
    Vantiro::SetWebURL("127.0.0.1");
    Vantiro::SetWebPort(1);
    PackageLoader l("PKG_TRQ01300", QCoreApplication::applicationDirPath());
    QVERIFY2(l.load(), qPrintable(l.error()));
    l.openScreen();
    l.openScreen();  // tried again, not taken as already open
    QCOMPARE(screens().size(), 0);
    QCOMPARE(mdi->subWindowList().size(), 0);
    QCOMPARE(sp.texts("error").size(), 2);
    QVERIFY(sp.texts("error").first().startsWith("Não foi possível conectar ao servidor de aplicação 127.0.0.1:1"));
    QVERIFY(!QApplication::overrideCursor());
    l.unload();
    TApplication::SetMainForm(nullptr, nullptr);
}

void TstPackage::iniProcOpensOneScreenAndFecharTakesItsFrame()
{
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.filePath("demo.db");
    demo::generate(dbconnect::open(url, "gen", dbconnect::Mode::Create), {});
    dbconnect::close("gen");
    host::openSharedDatabase(url);
    appsrv::Config cfg;
    cfg.database = url;
    appsrv::ServerThread server(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(server.start(&why), qPrintable(why));
    Vantiro::SetWebURL("127.0.0.1");
    Vantiro::SetWebPort(server.port());
    QMainWindow main;
    auto *mdi = new QMdiArea(&main);
    main.setCentralWidget(mdi);
    TApplication::SetMainForm(&main, mdi);
    main.show();
    PackageLoader l("PKG_TRQ01300", QCoreApplication::applicationDirPath());
    QVERIFY2(l.load(), qPrintable(l.error()));
    QCOMPARE(QString::fromUtf8(l.info()->title), QString("Histórico de Operações do Bem"));
    for (int round = 0; round < 2; ++round) {
        l.openScreen();
        l.openScreen();
        QCOMPARE(screens().size(), 1);
        QCOMPARE(mdi->subWindowList().size(), 1);
        TfrmPadraoGrid *f = screens().first();
        QCOMPARE(f->lblCodTela->text(), QString("TRQ01300"));
        QPointer<TfrmPadraoGrid> gone(f);
        f->sbtFechar->click();
        QTRY_VERIFY(!gone);
        QTRY_COMPARE(mdi->subWindowList().size(), 0);  // no empty frame left behind
    }
    QCOMPARE(sp.shown.size(), 0);
    l.openScreen();
    l.unload();  // the package takes its forms with it
    QCOMPARE(screens().size(), 0);
    TApplication::SetMainForm(nullptr, nullptr);
    host::closeSharedDatabase();
    server.stop();
}

void TstPackage::loadFailureSpeaksPortuguese()
{
    // A file that is no library at all: Qt's own explanation goes to the log.
    QTemporaryDir dir;
    QFile bogus(dir.filePath("libPKG_TRQ01300.so"));
    QVERIFY(bogus.open(QIODevice::WriteOnly));
    bogus.write("not a library");
    bogus.close();
    PackageLoader l("PKG_TRQ01300", dir.path());
    QVERIFY(!l.load());
    QCOMPARE(l.error(), QString("Não foi possível carregar o pacote PKG_TRQ01300. Verifique a instalação do sistema."));
}

void TstPackage::menusComeFromThePackages()
{
    // The package beside the program offers its screen under the menu, caption
    // and shortcut it declares; the host adds its own "Sair" to the first menu.
    MainWindow w;
    QMenu *pat = nullptr;
    QStringList tops;
    for (QAction *a : w.menuBar()->actions()) {
        tops << a->text();
        if (a->text() == "&Patrimônio") pat = a->menu();
    }
    QCOMPARE(tops, QStringList({"&Patrimônio", "&Janela"}));
    QVERIFY(pat);
    QStringList items;
    for (QAction *a : pat->actions())
        if (!a->isSeparator()) items << a->text() + "|" + a->shortcut().toString(QKeySequence::PortableText);
    QCOMPARE(items, QStringList({"&Histórico de Operações do Bem|Ctrl+Shift+H", "&Sair|"}));
    w.unloadPackages();
    TApplication::SetMainForm(nullptr, nullptr);
}

QTEST_MAIN(TstPackage)
#include "tst_package.moc"

void TstPackage::theScreenPrintsToAPdfFromTheCommandLine()
{
    // The host asks the screen it opened for its print by name (it links no package).
    QTemporaryDir home;
    const auto run = [&home](const QString &pdf) {
        QProcess b;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        b.setProcessEnvironment(env);
        b.start(QCoreApplication::applicationDirPath() + "/backoffice",
                {"--open", "TRQ01300", "--query", "01,01/01/2024,31/03/2024", "--pdf", pdf});
        b.waitForFinished(60000);
        return b.exitCode();
    };
    const QString file = home.filePath("historico.pdf");
    QCOMPARE(run(file), 0);
    QProcess text;
    text.start("pdftotext", {"-layout", file, "-"});
    QVERIFY(text.waitForFinished(20000));
    const QString pages = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(pages.contains("Empresa: 01 - Metalúrgica Aurora Ltda"), qPrintable(pages.left(500)));
    QVERIFY(pages.contains("Período: 01/01/2024 a 31/03/2024"));
    QVERIFY(pages.contains("operações"));
    // A file that cannot be written ends with an error code.
    QCOMPARE(run("/proc/nao-gravavel/historico.pdf"), 1);
}
