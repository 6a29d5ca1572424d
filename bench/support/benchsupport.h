#pragma once
// What the benchmarks share: the large demo database, and an application
// server started on loopback.
#include "standardobjects.h"
#include "cmdline.h"

#include <memory>

namespace bench {

// The SQLite file holding the large demo database, generated when absent;
// defaults to a file under /tmp.
QString largeDemo(const QString &file);
// The 27 arguments of GetHistoricoOpBem for a company's whole history: no
// dates, every criterion "all", every situation.
QVector<wire::Arg> wholeHistoryArgs(const QString &company);
// A server over the database on loopback, with the standard objects (or the
// ones registrar names); ends the program when it cannot start.
std::unique_ptr<appsrv::ServerThread> startServer(const QString &databaseUrl,
                                                  std::function<void(appsrv::Server &)> registrar = nullptr);

}  // namespace bench
