// backoffice: the host desktop client.
#include "embedded.h"
#include "demoquery.h"
#include "login.h"
#include "mainwindow.h"

#include "adoibquery.h"
#include "application.h"
#include "dispatch.h"
#include "vantiro.h"
#include "firstpaintquits.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QMdiArea>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QMessageBox>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace {
// Last safety net: handlers run through the dispatch wrapper already.
class BackofficeApp : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *o, QEvent *e) override
    {
        try {
            return QApplication::notify(o, e);
        } catch (...) {
            host::dispatch([] { throw; });
            return false;
        }
    }
};

// The Qt platform plug-in aborts when it finds no display: say it plainly first.
bool displayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
}  // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) goto parse;
    if (!displayAvailable()) {
        std::fprintf(stderr, "backoffice: não há tela disponível (DISPLAY não definido); use scripts/run, que inicia um "
                             "Xvfb, ou QT_QPA_PLATFORM=offscreen.\n");
        return 3;
    }
parse:
    BackofficeApp app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("backoffice"));
    QApplication::setOrganizationName(QStringLiteral("Backoffice"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    // Qt's own buttons and dialogs in Portuguese ("Cancelar", "Sim", "Não").
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Retaguarda do patrimônio."));
    p.addHelpOption();
    p.addOption({"config", "Arquivo INI de configuração.", "FILE"});
    p.addOption({"open", "Abre a tela (TRQ01300) ao iniciar.", "SCREEN"});
    p.addOption({"screenshot", "Salva a janela principal em FILE e encerra.", "FILE"});
    p.addOption({"query", "Com --open: preenche o cabeçalho e confirma o filtro (EMPRESA[,INICIO,FIM[,INDICE]]).", "CONSULTA"});
    p.addOption({"page", "Com --query: o que mostrar depois (detalhes ou resumo).", "PAGE"});
    p.addOption({"exit-when-shown", "Sai assim que a janela principal se desenha pela primeira vez (para scripts e medições)."});
    p.addOption({"pdf", "Com --query: salva a impressão do histórico em FILE e encerra.", "FILE"});
    p.addOption({"operator", "Operador sugerido na janela de entrada (banco PostgreSQL).", "OPERADOR"});
    p.process(app);
    // The machine's configuration (what the package installs under /etc),
    // then the file asked for, each over what came before. A configuration
    // there and not read never falls back to the demo silently.
    QStringList configs;
    if (QFileInfo::exists(QStringLiteral(BACKOFFICE_SYSTEM_CONFIG))) configs << QStringLiteral(BACKOFFICE_SYSTEM_CONFIG);
    if (p.isSet("config")) configs << p.value("config");
    for (const QString &config : configs) {
        QString why;
        if (!Vantiro::LoadChecked(config, &why)) {
            std::fprintf(stderr, "backoffice: %s\n", qPrintable(why));
            QMessageBox::critical(nullptr, QStringLiteral("Erro"), why);
            return 2;
        }
    }

    // On PostgreSQL the operator logs in: its role opens every connection and
    // the database decides which companies it sees. The SQLite demo is one user's.
    if (needsLogin(Vantiro::Database())) {
        int rc = 0;
        if (!runLogin(p.value("operator").toUpper(), &rc)) {
            if (rc == 2) std::fprintf(stderr, "backoffice: três tentativas de entrada sem sucesso.\n");
            return rc;
        }
    } else if (p.isSet("operator")) {
        Vantiro::SetOperator(p.value("operator").toUpper());
    }
    Embedded embedded;
    QString why;
    if (!embedded.start(&why)) {
        QMessageBox::critical(nullptr, QStringLiteral("Erro"), why);
        std::fprintf(stderr, "backoffice: %s\n", qPrintable(why));
        return 1;
    }
    MainWindow w;
    FirstPaintQuits firstPaint;
    if (p.isSet("exit-when-shown")) w.installEventFilter(&firstPaint);
    // A picture or a measurement wants the same window every time; a user, the one left.
    if (p.isSet("screenshot") || p.isSet("exit-when-shown") || p.isSet("pdf")) w.show();
    else w.showAsLeft();
    // Ask for the input focus: without a window manager nobody else gives it.
    w.activateWindow();
    const QString shot = p.value("screenshot"), pdf = p.value("pdf");
    int exitCode = 0;
    const auto takeShot = [&w, shot, pdf, &exitCode] {
        if (!pdf.isEmpty()) {
            // The screen the query ran on prints itself (a method it offers by name).
            QMdiArea *mdi = TApplication::MdiArea();
            QWidget *screen = mdi && mdi->activeSubWindow() ? mdi->activeSubWindow()->widget() : nullptr;
            bool ok = false;
            if (!screen || !QMetaObject::invokeMethod(screen, "SalvarPdf", Q_RETURN_ARG(bool, ok), Q_ARG(QString, pdf)) || !ok) {
                std::fprintf(stderr, "backoffice: não foi possível salvar a impressão em %s\n", qPrintable(pdf));
                exitCode = 1;
            }
            QTimer::singleShot(0, qApp, &QApplication::quit);
            return;
        }
        if (shot.isEmpty()) return;
        QTimer::singleShot(1200, &w, [&w, shot] {
            // A window the query opened (the summary) is the picture; else the main one.
            QWidget *modal = QApplication::activeModalWidget();
            (modal ? modal : static_cast<QWidget *>(&w))->grab().save(shot);
            if (modal) modal->close();
            QApplication::quit();
        });
    };
    if (p.isSet("open")) {
        const QString screen = p.value("open").toUpper(), query = p.value("query"), page = p.value("page");
        QTimer::singleShot(0, &w, [&w, screen, query, page, takeShot] {
            w.openScreen(screen);
            if (query.isEmpty()) takeShot();
            else runDemoQuery(&w, query, page, takeShot);
        });
    } else {
        takeShot();
    }
    const int rc = app.exec();
    w.unloadPackages();
    return rc != 0 ? rc : exitCode;
}
