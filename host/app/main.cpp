// backoffice: the host desktop client.
#include "embedded.h"
#include "mainwindow.h"

#include "adoibquery.h"
#include "dispatch.h"
#include "vantiro.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QMessageBox>
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
}  // namespace

int main(int argc, char **argv)
{
    BackofficeApp app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("backoffice"));
    QApplication::setOrganizationName(QStringLiteral("Backoffice"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Retaguarda do patrimônio."));
    p.addHelpOption();
    p.addOption({"config", "Arquivo INI de configuração.", "FILE"});
    p.addOption({"open", "Abre a tela (TRQ01300) ao iniciar.", "SCREEN"});
    p.addOption({"screenshot", "Salva a janela principal em FILE e encerra.", "FILE"});
    p.process(app);
    if (p.isSet("config")) Vantiro::Load(p.value("config"));

    Embedded embedded;
    QString why;
    if (!embedded.start(&why)) {
        QMessageBox::critical(nullptr, QStringLiteral("Erro"), why);
        std::fprintf(stderr, "backoffice: %s\n", qPrintable(why));
        return 1;
    }
    MainWindow w;
    w.show();
    // Ask for the input focus: without a window manager nobody else gives it.
    w.activateWindow();
    if (p.isSet("open")) {
        const QString screen = p.value("open").toUpper();
        QTimer::singleShot(0, &w, [&w, screen] { w.openScreen(screen); });
    }
    if (p.isSet("screenshot")) {
        const QString file = p.value("screenshot");
        QTimer::singleShot(1200, &w, [&w, file] {
            w.grab().save(file);
            QApplication::quit();
        });
    }
    const int rc = app.exec();
    w.unloadPackages();
    return rc;
}
