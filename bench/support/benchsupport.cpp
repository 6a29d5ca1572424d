#include "benchsupport.h"
#include "dbconnect.h"
#include "generator.h"

#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

namespace bench {

QString largeDemo(const QString &file)
{
    const QString path = file.isEmpty() ? QStringLiteral("/tmp/backoffice-bench-large.db") : file;
    if (!QFileInfo::exists(path)) {
        std::printf("generating %s (large)...\n", qPrintable(path));
        demo::generate(dbconnect::open("sqlite:" + path, "gen", dbconnect::Mode::Create), {"large", 1300});
        dbconnect::close("gen");
    }
    return path;
}

QVector<wire::Arg> wholeHistoryArgs(const QString &company)
{
    QVector<wire::Arg> args(27);
    args[0].text = company;
    args[1].kind = args[2].kind = wire::ArgKind::Date;
    args[1].dateEmpty = args[2].dateEmpty = true;
    for (int i = 3; i < 27; ++i) args[i].kind = wire::ArgKind::TextRef;
    args[3].text = QStringLiteral("T");
    for (int i : {5, 7, 9, 11, 13, 16, 18, 20, 22, 24, 26}) args[i].text = QStringLiteral("T");
    args[14].text = QStringLiteral("_1_2_3_");
    return args;
}

std::unique_ptr<appsrv::ServerThread> startServer(const QString &databaseUrl, std::function<void(appsrv::Server &)> registrar)
{
    appsrv::Config cfg;
    cfg.database = databaseUrl;
    auto server = std::make_unique<appsrv::ServerThread>(cfg, registrar ? std::move(registrar) : appsrv::registerStandardObjects);
    QString why;
    if (!server->start(&why)) std::exit(cmdline::fail("server", why, 1));
    return server;
}

}  // namespace bench
