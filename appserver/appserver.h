#pragma once
// The application server: hosts server objects by name. Connections are served
// by one event loop (no thread per connection); calls run on a fixed pool of
// workers, each with its own read-only database session.
#include <atomic>
#include "auththrottle.h"
#include "serverobject.h"
#include <QHash>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcServer)

namespace appsrv {

struct Config {
    QString database;            // sqlite:PATH or postgresql://...
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;            // 0: any free port
    QString token;               // empty: no authentication
    QString tlsCert, tlsKey;     // both set: TLS only
    int workers = 4;             // database sessions serving every connection
    int maxConnections = 0;      // 0: what the open-file limit allows
    int helloTimeoutMs = 10000;  // from accepting to the hello (TLS handshake included)
    int frameTimeoutMs = 30000;  // from the first to the last byte of one frame
    int idleTimeoutMs = 600000;  // between frames; 0: no limit
    int metricsIntervalMs = 60000;  // a summary line of the load at info level; 0: none
    int stallTimeoutMs = 30000;  // a reply the client takes nothing of for this long closes the connection
    qint64 maxReplyBytes = wire::kMaxFrameBytes;  // a larger reply is refused, never sent
    bool requireReadOnlyRole = false;  // a database role that can write stops the start (else a warning)
    int authFailuresAllowed = 5; // wrong tokens per client address and minute answered after 300 ms; then slower
};

using ObjectFactory = std::function<std::unique_ptr<ServerObject>()>;

// Checks a call against an object's method table and its values (dates that
// exist, texts without control characters); an ok reply when it may run.
wire::Reply checkCall(const ServerObject &obj, const wire::Call &c);
// An error whose detail must not reach the caller: logged under a reference
// that the reply carries.
wire::Reply referencedError(wire::ErrorCode code, const QString &message, const QString &detail);
// Compares two secrets in a time that does not depend on where they differ.
bool sameSecret(const QString &a, const QString &b);

class Session;
}  // namespace appsrv
class QSslSocket;
namespace appsrv {
class WorkerPool;

// How a reply went out: what was sent for it and what is left for the event
// loop to send (all of it when the loop sends it alone).
struct Delivery {
    bool ok = true;
    int error = 0;
    qint64 bytes = 0;
    QByteArray unsent;
    QByteArray readAhead;  // bytes the worker read past the calls it ran
    int chained = 0;       // calls the worker took from the socket itself
    qint64 rows = 0;       // of the reply's packet
};

class Server : public QTcpServer {
    Q_OBJECT
public:
    explicit Server(Config cfg, QObject *parent = nullptr);
    ~Server() override;
    void registerObject(const QString &name, ObjectFactory f);
    // Opens the workers' sessions (and checks them), loads the TLS material,
    // then listens; false with the reason when any of it fails.
    bool start(QString *why);
    void stop();
    // A clean stop: no new connection or call (a call that arrives gets the busy
    // refusal), the calls running finish and their replies go out, for at most
    // boundMs; then every connection closes. Returns the connections that were
    // still busy when the bound ran out.
    int drain(int boundMs);
    int connectionCount() const { return int(m_sessions.size()); }
    int maxConnections() const { return m_maxConnections; }
protected:
    void incomingConnection(qintptr fd) override;
private:
    friend class Session;
    // directFd: a duplicate of the connection's socket that the worker may send
    // the reply on at once (plain connections), or -1; it is closed in any case.
    // mayRead: the session stopped reading, so the worker may take the next
    // call from the socket when it is already there. pieces: the client reads
    // a large reply in pieces, sent while the reply is made.
    // role: the operator the call runs as (empty: the server's own role).
    void dispatch(quint64 session, const wire::Call &call, int directFd, bool mayRead, bool pieces, const QString &peer,
                  const QString &role);
    wire::Reply precheck(const wire::Call &call) const;
    // On a worker: the next call if one whole call arrives at once; other bytes read go to readAhead.
    std::optional<wire::Call> nextCall(int fd, QByteArray *readAhead) const;
    static constexpr int kChainedCallsMax = 64;
    static constexpr long kNextCallWaitNs = 300000, kNextCallSpinNs = 50000;
    void finished(quint64 session, const Delivery &delivery);
    void forget(quint64 session);
    void refuseBusy(qintptr fd);
    void acceptFailed(QAbstractSocket::SocketError error);
    void noteRefused(const QString &why);
    QSslSocket *tlsSocket(qintptr fd);
    static QByteArray busyFrame();
    // Warns of (or, when asked, refuses) a database role that can write.
    bool checkDatabaseRole(QString *why);
    // How long to wait before answering a wrong token from peer.
    int authFailed(const QString &peer, bool *over);
    Config m_cfg;
    QHash<QString, ObjectFactory> m_factories;
    QHash<QString, std::shared_ptr<ServerObject>> m_prototypes;  // method tables
    std::unique_ptr<WorkerPool> m_pool;
    QHash<quint64, Session *> m_sessions;
    AuthThrottle m_auth;
    int m_spareFd = -1;
    int m_tlsRefusals = 0;
    int m_refused = 0;
    qint64 m_refusedLoggedAt = 0;
    QTimer *m_authPrune = nullptr;
    quint64 m_seq = 0;
    int m_maxConnections = 0;
    QByteArray m_cert, m_key;
    int m_keyAlgorithm = 0;
    std::atomic<bool> m_draining{false};  // read by the workers too
    // The database holds company grants (db/security.sql): every connection
    // logs in as an operator; m_serverRole is the role the workers log in as.
    bool m_operators = false;
    QString m_serverRole;
    QSet<QThread *> m_logins;  // logins being checked, waited for when the server stops
    // The load since the last summary line.
    void noteCall(qint64 ms, bool ok);
    // Connections with a call running or a reply still going out.
    int busySessions() const;
    void logLoad();
    int m_calls = 0, m_errors = 0;
    QVector<qint64> m_latencies;  // at most kLatencySamples, kept evenly
    static constexpr int kLatencySamples = 20000;
    QTimer *m_loadLog = nullptr;
};

// Runs a server on a thread of its own, for in-process use (the embedded
// desktop default, tests, benchmarks): the caller's thread may block on calls.
class ServerThread {
public:
    // registrar names the objects the server hosts (the server knows none of its own).
    ServerThread(Config cfg, std::function<void(Server &)> registrar);
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


}  // namespace appsrv
