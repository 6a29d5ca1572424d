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
