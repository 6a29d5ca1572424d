#pragma once
// The application server: hosts server objects by name, serves each client
// connection on its own thread with its own read-only database connection.
#include "serverobject.h"
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QThread>
#include <functional>
#include <memory>

namespace appsrv {

struct Config {
    QString database;        // sqlite:PATH or postgresql://...
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;        // 0: any free port
    QString token;           // empty: no authentication
    QString tlsCert, tlsKey; // both set: TLS only
    int idleTimeoutMs = 0;   // 0: connections stay open
};

using ObjectFactory = std::function<std::unique_ptr<ServerObject>()>;

// Checks a call against an object's method table; an ok reply when it may run.
wire::Reply checkCall(const ServerObject &obj, const wire::Call &c);

class Server : public QTcpServer {
    Q_OBJECT
public:
    explicit Server(Config cfg, QObject *parent = nullptr);
    ~Server() override;
    void registerObject(const QString &name, ObjectFactory f);
    bool start(QString *why);
    void stop();
    int connectionCount() const;
protected:
    void incomingConnection(qintptr fd) override;
private:
    friend class Connection;
    Config m_cfg;
    QHash<QString, ObjectFactory> m_factories;
    QList<QThread *> m_threads;
    mutable QMutex m_mutex;
    int m_seq = 0;
};

// Runs a server on a thread of its own, for in-process use (the embedded
// desktop default, tests, benchmarks): the caller's thread may block on calls.
class Server;
void registerStandardObjects(Server &s);

class ServerThread {
public:
    // registrar names the objects the server hosts.
    explicit ServerThread(Config cfg, std::function<void(Server &)> registrar = registerStandardObjects);
    ~ServerThread();
    bool start(QString *why);
    void stop();
    quint16 port() const { return m_port; }
private:
    Config m_cfg;
    std::function<void(Server &)> m_registrar;
    QThread m_thread;
    Server *m_server = nullptr;
    quint16 m_port = 0;
};

// Registers the objects this server hosts.
void registerStandardObjects(Server &s);

}  // namespace appsrv
