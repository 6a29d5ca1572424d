#pragma once
// The embedded default: the demo database, created on first start, and the
// application server running in-process on 127.0.0.1. With a server and a
// database in the settings, only the shared connection is opened. Saved filter
// options live in the same database, written through a connection of their own.
#include "appserver.h"
#include "optionstore.h"
#include <memory>

class Embedded {
public:
    bool start(QString *why);
    ~Embedded();
private:
    std::unique_ptr<appsrv::ServerThread> m_server;
    std::unique_ptr<host::DatabaseOptionStore> m_options;
};
