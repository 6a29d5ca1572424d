#include "appserver.h"
#include "audit.h"
#include "operatorlogin.h"
#include "statusobject.h"
#include "channel.h"
#include "codec.h"
#include "dbconnect.h"
#include "workerpool.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSemaphore>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace appsrv {

namespace {
bool isLoopback(const QString &peer)
{
    const QHostAddress a(peer);
    bool v4 = false;
    const quint32 mapped = a.toIPv4Address(&v4);
    return a.isLoopback() || (v4 && QHostAddress(mapped).isLoopback());
}
}  // namespace

// One client connection, served by the server's event loop. Bytes are gathered
// until a whole frame is there, however they arrive; one call at a time runs
// on the pool, and the frames behind it wait. While a call runs on a plain
// connection the loop stops reading it: its worker answers on the socket and
// may take the desktop's next call from it directly.
class Session : public QObject {
public:
    Session(Server *srv, quint64 id, std::unique_ptr<Channel> ch) : m_srv(srv), m_id(id), m_ch(std::move(ch))
    {
        m_peer = m_ch->peer();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            qCInfo(lcServer) << m_peer << "timed out" << (m_helloDone ? "between frames" : "before its hello");
            close();
        });
        m_ch->onReadable = [this] { readable(); };
        m_ch->onClosed = [this] { close(); };
        m_ch->onDrained = [this] { process(); };
        m_timer.start(m_srv->m_cfg.helloTimeoutMs);
        m_stall.setSingleShot(true);
        connect(&m_stall, &QTimer::timeout, this, [this] { stallCheck(); });
    }

    const QString &peer() const { return m_peer; }
    // No call running and nothing of a reply waiting to go out.
    bool quiet() const { return m_closing || (!m_busy && m_ch->pendingOut() == 0); }

    void replied(const Delivery &d)
    {
        if (m_closing) return;
        m_busy = false;
        if (!d.unsent.isEmpty()) m_ch->write(d.unsent);
        if (m_ch->pendingOut() > 0) watchStall();
        m_srv->noteCall(m_clock.elapsed(), d.ok);
        // One line per call: who asked what of which company and period, and what went back.
        qCInfo(lcServer).noquote() << who() << m_method << m_clock.elapsed() << "ms"
                                   << (d.ok ? QStringLiteral("ok") : QStringLiteral("erro %1").arg(d.error)) << d.bytes
                                   << "bytes" << d.rows << "linhas"
                                   << (m_audit + (d.chained ? QStringLiteral(" (+%1 seguidas)").arg(d.chained) : QString())).trimmed();
        // What the worker read past its last call comes before anything still on the socket.
        m_in += d.readAhead;
        m_ch->pauseReading(false);
        m_heldBack = false;
        readable();
    }

    // A piece of the running call's reply, from a worker without the
    // descriptor. False: the connection is closing, make no more pieces.
    bool writePiece(const QByteArray &bytes)
    {
        if (m_closing) return false;
        m_ch->write(bytes);
        if (m_ch->pendingOut() > 0) watchStall();
        return true;
    }

    void close()
    {
        if (m_closing) return;
        qCDebug(lcServer) << m_peer << "closed";
        m_closing = true;
        m_timer.stop();
        m_stall.stop();
        m_ch->onReadable = nullptr;
        m_ch->onClosed = nullptr;
        m_ch->onDrained = nullptr;
        m_ch->close();
        m_srv->forget(m_id);
        deleteLater();
    }

private:
    void readable()
    {
        if (m_closing || !m_ch->ready()) return;
        // While a call runs or its reply waits, the frames behind it are held
        // here up to one call's size; the rest stays in the socket, where TCP
        // itself holds back a client that sends on and on.
        if (m_in.size() > kHeldInputBytes) {
            m_heldBack = true;
            m_ch->pauseReading(true);
        } else {
            m_in += m_ch->readAll();
        }
        process();
    }

    static constexpr qsizetype kHeldInputBytes = wire::kMaxCallFrameBytes + 4;

    // Reading again once the frames held were taken. What the channel already
    // holds comes in now, before anything else is decided (a worker must not
    // read the socket past bytes still waiting here).
    void resumeHeldInput()
    {
        if (!m_heldBack || m_busy || m_closing || m_in.size() > kHeldInputBytes) return;
        m_heldBack = false;
        m_ch->pauseReading(false);
        if (m_ch->ready()) m_in += m_ch->readAll();
    }

    // A client that stops reading holds at most the reply it did not take and
    // a little more: no next call runs while more than this waits to be sent.
    static constexpr qint64 kPendingBeforeNextCall = 1024 * 1024;

    void watchStall()
    {
        if (m_stall.isActive() || m_closing) return;
        m_stallSeen = m_ch->sentOut();
        m_stall.start(m_srv->m_cfg.stallTimeoutMs);
    }

    // A connection whose client took nothing of its reply for the whole
    // stall time is closed and its memory freed. Progress is what left, not
    // what waits: pieces still coming make the waiting part grow for a client
    // that reads steadily.
    void stallCheck()
    {
        if (m_closing) return;
        const qint64 pending = m_ch->pendingOut();
        if (pending == 0) return;
        if (m_ch->sentOut() == m_stallSeen) {
            qCWarning(lcServer) << m_peer << "took nothing of" << pending << "bytes in" << m_srv->m_cfg.stallTimeoutMs
                                << "ms; closed";
            close();
            return;
        }
        m_stallSeen = m_ch->sentOut();
        m_stall.start(m_srv->m_cfg.stallTimeoutMs);
    }

    // Takes the next whole frame when no call is running. Frames answered
    // here without a worker (refusals) count toward what waits to be sent too.
    void process()
    {
        int answeredHere = 0;
        while (!m_busy && !m_closing) {
            if (m_ch->pendingOut() > kPendingBeforeNextCall) {
                watchStall();
                return;
            }
            if (m_in.size() < 4) {
                armWait(m_in.isEmpty());
                return;
            }
            const quint32 len = qFromBigEndian<quint32>(m_in.constData());
            if (len > quint32(wire::kMaxCallFrameBytes)) {
                send(errorReply(wire::ErrorCode::BadFrame, QStringLiteral("Quadro grande demais; conexão encerrada.")));
                closeAfterWrite();
                return;
            }
            if (m_in.size() < qsizetype(4 + len)) {
                armWait(false);
                return;
            }
            const QByteArray payload = m_in.mid(4, len);
            m_in.remove(0, 4 + len);
            handle(payload);
            resumeHeldInput();
            // Frames answered here without a worker (refusals) go a batch at a
            // time: the other connections are served between batches.
            if (!m_busy && ++answeredHere >= kFramesPerTurn) {
                QMetaObject::invokeMethod(this, [this] { process(); }, Qt::QueuedConnection);
                return;
            }
        }
    }
    static constexpr int kFramesPerTurn = 256;
    static constexpr int kLoginChecksMax = 16;

    // Before the hello the hello deadline runs; inside a frame, the frame's; between frames, the idle one.
    void armWait(bool betweenFrames)
    {
        const Config &cfg = m_srv->m_cfg;
        if (!m_helloDone) return;  // the hello deadline keeps running
        const int ms = betweenFrames ? cfg.idleTimeoutMs : cfg.frameTimeoutMs;
        // A frame's deadline counts from its first byte, not from the latest.
        if (m_timer.isActive() && m_waitingIdle == betweenFrames) return;
        m_waitingIdle = betweenFrames;
        if (ms > 0) m_timer.start(ms);
        else m_timer.stop();
    }

    void handle(const QByteArray &payload)
    {
        if (!m_helloDone) {
            hello(payload);
            return;
        }
        if (m_srv->m_draining) {
            // Stopping: a new call is refused as when the server is full.
            m_ch->write(Server::busyFrame());
            return;
        }
        QString why;
        auto call = wire::decodeCall(payload, &why);
        if (!call) {
            qCInfo(lcServer) << m_peer << "unreadable call:" << why;
            send(errorReply(wire::ErrorCode::BadFrame, QStringLiteral("Chamada inválida.")));
            return;
        }
        if (m_statusOnly && call->object != QLatin1String(kStatusObject)) {
            qCWarning(lcServer).noquote() << m_peer << "refused:" << call->method.left(60) << "without an operator";
            send(errorReply(wire::ErrorCode::NotAuthenticated, QStringLiteral("Informe o operador e a senha.")));
            return;
        }
        m_method = call->method.left(60);
        m_audit = auditOf(*call);
        m_clock.start();
        m_busy = true;
        m_timer.stop();
        // A duplicate descriptor, so that the socket closing meanwhile can never
        // leave the worker on a number reused by another connection. The worker
        // reads the next call only when nothing is waiting here before it.
        const int fd = m_ch->duplicate();
        // Not while input is held back: older bytes still wait in the channel.
        // (Never for a connection held to the status call: each of its calls is looked at here.)
        const bool mayRead = fd >= 0 && m_in.isEmpty() && !m_heldBack && !m_statusOnly;
        if (mayRead) m_ch->pauseReading(true);
        m_srv->dispatch(m_id, *call, fd, mayRead, m_pieces, who(), m_operator);
    }

    // The client in the log: its address, and the operator once one logged in.
    QString who() const { return m_operator.isEmpty() ? m_peer : m_peer + QStringLiteral(" operador ") + m_operator; }

    void hello(const QByteArray &payload)
    {
        const Config &cfg = m_srv->m_cfg;
        const auto h = wire::decodeHello(payload);
        if (!h) {
            refuse(QStringLiteral("Conexão não identificada."));
            return;
        }
        if (!cfg.token.isEmpty() && !sameSecret(h->token, cfg.token)) {
            // Answered later, and later still as an address keeps failing, so
            // guessing is slow; a right token is never held back.
            bool over = false;
            const int wait = m_srv->authFailed(m_peer, &over);
            qCWarning(lcServer) << m_peer << "gave a wrong token; answered in" << wait << "ms";
            refuseLater(wait, over, QStringLiteral("Credencial do servidor de aplicação inválida."));
            return;
        }
        if (m_srv->m_operators) {
            login(*h);
            return;
        }
        accept(h->pieces);
    }

    void accept(bool pieces)
    {
        m_helloDone = true;
        m_pieces = pieces;
        m_timer.stop();
        send(wire::Reply{});
    }

    void refuse(const QString &message)
    {
        send(errorReply(wire::ErrorCode::NotAuthenticated, message));
        closeAfterWrite();
    }

    // Where the database decides who sees what, every connection logs in as an
    // operator, checked by the database itself off the event loop; its calls
    // then run under the operator's role.
    void login(const wire::Hello &h)
    {
        const Config &cfg = m_srv->m_cfg;
        if (h.operatorName.isEmpty()) {
            // A monitor (appserver --check) asks only the status: nothing an operator sees.
            qCInfo(lcServer).noquote() << m_peer << "connected without an operator: the status call only";
            m_statusOnly = true;
            accept(h.pieces);
            return;
        }
        if (!isOperatorName(h.operatorName)) {
            // No role has such a name: a failed login like any other, never a different answer.
            loggedIn(LoginResult::Refused, QStringLiteral("not an operator's code"), h.operatorName, h.pieces);
            return;
        }
        if (cfg.tlsCert.isEmpty() && !isLoopback(m_peer)) {
            qCWarning(lcServer).noquote() << m_peer << "refused: the password of" << h.operatorName << "came over plain TCP";
            refuse(QStringLiteral("A senha do operador só pode ir ao servidor de aplicação por TLS; configure Tls=true."));
            return;
        }
        // Each check holds a thread and a database session for a moment: a burst
        // of logins waits its turn at the door, as a full server's clients do.
        if (m_srv->m_logins.size() >= kLoginChecksMax) {
            qCWarning(lcServer).noquote() << m_peer << "login of" << h.operatorName << "refused:" << kLoginChecksMax
                                          << "logins being checked already";
            refuse(QStringLiteral("Servidor de aplicação ocupado; tente novamente."));
            return;
        }
        m_busy = true;
        m_timer.stop();
        Server *srv = m_srv;
        const quint64 id = m_id;
        const QString url = cfg.database, role = srv->m_serverRole, name = h.operatorName, password = h.password;
        const bool pieces = h.pieces;
        QThread *check = QThread::create([srv, id, url, role, name, password, pieces] {
            QString detail;
            const LoginResult r = verifyOperator(url, role, name, password, &detail);
            QMetaObject::invokeMethod(srv, [srv, id, r, detail, name, pieces] {
                if (Session *s = srv->m_sessions.value(id)) s->loggedIn(r, detail, name, pieces);
            }, Qt::QueuedConnection);
        });
        srv->m_logins.insert(check);
        // Guarded: a server that stopped meanwhile deleted the thread already.
        connect(check, &QThread::finished, srv, [srv, guard = QPointer<QThread>(check)] {
            if (!guard) return;
            srv->m_logins.remove(guard.data());
            guard->deleteLater();
        });
        check->start();
    }

    void loggedIn(LoginResult r, const QString &detail, const QString &name, bool pieces)
    {
        m_busy = false;
        if (r == LoginResult::Ok) {
            m_operator = name;
            qCInfo(lcServer).noquote() << m_peer << "operador" << name << "entrou";
            accept(pieces);  // frames sent behind the hello follow once its answer has gone out
            return;
        }
        if (r == LoginResult::NotServerRole) {
            qCWarning(lcServer).noquote() << m_peer << "operador" << name << "refused:" << detail;
            refuse(QStringLiteral("O servidor de aplicação não pode atender este operador; fale com o administrador."));
            return;
        }
        if (r == LoginResult::Unavailable) {
            qCWarning(lcServer).noquote() << m_peer << "login of" << name << "failed: the database did not answer:" << detail;
            refuse(QStringLiteral("Banco de dados indisponível; tente novamente."));
            return;
        }
        // Slower for each failure of the address and of the operator, so that
        // neither a password nor the names of operators can be guessed fast.
        bool overPeer = false, overName = false;
        const int wait = std::max(m_srv->authFailed(m_peer, &overPeer),
                                  m_srv->authFailed(QStringLiteral("operador ") + name, &overName));
        qCWarning(lcServer).noquote() << m_peer << "failed login of operador" << name << "; answered in" << wait << "ms:" << detail;
        refuseLater(wait, overPeer || overName, QStringLiteral("Operador ou senha inválidos."));
    }

    // A wrong credential is answered later, and later still as its address (or
    // operator) keeps failing, so guessing is slow; past the allowance it says so.
    void refuseLater(int waitMs, bool over, const QString &message)
    {
        m_busy = true;
        m_timer.stop();
        QTimer::singleShot(waitMs, this, [this, over, message] {
            refuse(over ? QStringLiteral("Muitas tentativas com credencial inválida; tente mais tarde.") : message);
        });
    }

    // The whole frame in one write.
    qint64 send(const wire::Reply &r)
    {
        const QByteArray out = wire::replyFrame(r);
        m_ch->write(out);
        return out.size();
    }

    void closeAfterWrite()
    {
        m_closing = true;
        m_timer.stop();
        m_stall.stop();
        m_ch->onReadable = nullptr;
        m_ch->onClosed = nullptr;
        m_ch->onDrained = nullptr;
        m_srv->forget(m_id);
        m_ch->onFinished = [this] { deleteLater(); };
        // A client that never reads does not hold the connection open.
        QTimer::singleShot(5000, this, &QObject::deleteLater);
        m_ch->closeAfterWrite();
    }

    Server *m_srv;
    quint64 m_id;
    std::unique_ptr<Channel> m_ch;
    QString m_peer, m_method, m_audit;
    QString m_operator;  // who logged in, where operators do; its calls run under its role
    bool m_statusOnly = false;  // no operator where operators log in: the status call alone
    QByteArray m_in;
    QTimer m_timer, m_stall;
    qint64 m_stallSeen = 0;
    QElapsedTimer m_clock;
    bool m_helloDone = false, m_busy = false, m_closing = false, m_waitingIdle = false, m_heldBack = false;
    bool m_pieces = false;  // the client reads large replies in pieces
};

namespace {
// Whether a TLS handshake with this certificate and key succeeds: one over
// loopback with the server's own material. A key that does not belong to the
// certificate fails here, at start, instead of in every client's handshake.
bool tlsPairWorks(const QByteArray &cert, const QByteArray &key, QSsl::KeyAlgorithm alg, QString *detail)
{
    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, 0)) {
        *detail = listener.errorString();
        return false;
    }
    QSslSocket client;
    client.setPeerVerifyMode(QSslSocket::VerifyNone);
    QSslSocket server;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool failed = false;
    auto fail = [&](const QString &why) {
        if (!failed) *detail = why;
        failed = true;
        loop.quit();
    };
    auto check = [&] {
        if (client.isEncrypted() && server.isEncrypted()) loop.quit();
    };
    QObject::connect(&listener, &QTcpServer::newConnection, &loop, [&] {
        QTcpSocket *in = listener.nextPendingConnection();
        const qintptr fd = in->socketDescriptor();
        in->setParent(nullptr);
        // The descriptor moves to the TLS socket.
        if (!server.setSocketDescriptor(::dup(int(fd)))) return fail(server.errorString());
        delete in;
        server.setLocalCertificate(QSslCertificate(cert, QSsl::Pem));
        server.setPrivateKey(QSslKey(key, alg, QSsl::Pem));
        server.setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(&server, &QSslSocket::encrypted, &loop, check);
        QObject::connect(&server, &QAbstractSocket::errorOccurred, &loop, [&] { fail(server.errorString()); });
        server.startServerEncryption();
    });
    QObject::connect(&client, &QSslSocket::encrypted, &loop, check);
    QObject::connect(&client, &QSslSocket::sslErrors, &client, [&](const QList<QSslError> &) { client.ignoreSslErrors(); });
    QObject::connect(&client, &QAbstractSocket::errorOccurred, &loop, [&] { fail(client.errorString()); });
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), listener.serverPort());
    deadline.start(5000);
    loop.exec();
    if (!failed && !(client.isEncrypted() && server.isEncrypted())) *detail = QStringLiteral("handshake timed out");
    return !failed && client.isEncrypted() && server.isEncrypted();
}

// Connections the open-file limit leaves room for, after the server's own files.
int connectionsAllowed(int workers)
{
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return 10000;
    const long room = long(rl.rlim_cur) - 64 - 4L * workers;
    return int(std::clamp<long>(room, 16, 100000));
}
}  // namespace

Server::Server(Config cfg, QObject *parent)
    : QTcpServer(parent), m_cfg(std::move(cfg)), m_auth(m_cfg.authFailuresAllowed), m_authPrune(new QTimer(this))
{
    // Addresses that stopped failing are forgotten, so the table shrinks back after a storm.
    m_authPrune->setInterval(30000);
    connect(m_authPrune, &QTimer::timeout, this, [this] { m_auth.prune(QDateTime::currentMSecsSinceEpoch()); });
    m_authPrune->start();
    if (m_cfg.metricsIntervalMs > 0) {
        m_loadLog = new QTimer(this);
        m_loadLog->setInterval(m_cfg.metricsIntervalMs);
        connect(m_loadLog, &QTimer::timeout, this, [this] { logLoad(); });
        m_loadLog->start();
    }
    connect(this, &QTcpServer::acceptError, this, &Server::acceptFailed);
    // Every server answers for its own health, whatever objects it hosts.
    registerObject(QString::fromLatin1(kStatusObject), [] { return std::make_unique<StatusObject>(); });
}

Server::~Server() { stop(); }

void Server::registerObject(const QString &name, ObjectFactory f)
{
    m_prototypes.insert(name, std::shared_ptr<ServerObject>(f()));
    m_factories.insert(name, std::move(f));
}

bool Server::start(QString *why)
{
    if (!m_cfg.tlsCert.isEmpty() || !m_cfg.tlsKey.isEmpty()) {
        if (!QSslSocket::supportsSsl()) {
            *why = QStringLiteral("TLS indisponível nesta instalação.");
            return false;
        }
        QFile cf(m_cfg.tlsCert), kf(m_cfg.tlsKey);
        if (!cf.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("Não foi possível ler o certificado TLS %1.").arg(m_cfg.tlsCert);
            return false;
        }
        if (!kf.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("Não foi possível ler a chave TLS %1.").arg(m_cfg.tlsKey);
            return false;
        }
        m_cert = cf.readAll();
        m_key = kf.readAll();
        const QSslCertificate cert(m_cert, QSsl::Pem);
        if (cert.isNull()) {
            *why = QStringLiteral("O certificado TLS %1 não é um certificado PEM válido.").arg(m_cfg.tlsCert);
            return false;
        }
        // The key's type is read from the key itself.
        m_keyAlgorithm = 0;
        for (QSsl::KeyAlgorithm a : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
            if (!QSslKey(m_key, a, QSsl::Pem).isNull()) {
                m_keyAlgorithm = int(a);
                break;
            }
        }
        if (m_keyAlgorithm == 0) {
            *why = QStringLiteral("A chave TLS %1 não é uma chave privada PEM válida (RSA, EC ou DSA).").arg(m_cfg.tlsKey);
            return false;
        }
        QString detail;
        if (cert.publicKey().algorithm() != QSsl::KeyAlgorithm(m_keyAlgorithm) ||
            !tlsPairWorks(m_cert, m_key, QSsl::KeyAlgorithm(m_keyAlgorithm), &detail)) {
            qCWarning(lcServer) << "TLS key" << m_cfg.tlsKey << "and certificate" << m_cfg.tlsCert << "fail together:" << detail;
            *why = QStringLiteral("A chave TLS %1 não corresponde ao certificado %2.").arg(m_cfg.tlsKey, m_cfg.tlsCert);
            return false;
        }
        const QDateTime now = QDateTime::currentDateTimeUtc();
        if (cert.expiryDate() < now)
            qCWarning(lcServer) << "the TLS certificate" << m_cfg.tlsCert << "expired on" << cert.expiryDate().toString(Qt::ISODate)
                                << "; clients that verify it will refuse the connection";
        else if (cert.effectiveDate() > now)
            qCWarning(lcServer) << "the TLS certificate" << m_cfg.tlsCert << "is valid only from"
                                << cert.effectiveDate().toString(Qt::ISODate);
    }
    if (!checkDatabaseRole(why)) return false;
    m_pool = std::make_unique<WorkerPool>(m_cfg, m_factories);
    if (!m_pool->start(why)) {
        m_pool.reset();
        return false;
    }
    // Never more connections than the open-file limit leaves room for: past
    // it accept() fails and the connections would hang instead of hearing "busy".
    const int allowed = connectionsAllowed(m_cfg.workers);
    m_maxConnections = m_cfg.maxConnections > 0 ? std::min(m_cfg.maxConnections, allowed) : allowed;
    if (m_cfg.maxConnections > allowed)
        qCWarning(lcServer) << "--max-connections" << m_cfg.maxConnections << "is more than the open-file limit allows;"
                            << "using" << allowed;
    // One descriptor kept in reserve: when the process runs out, it is given up
    // for a moment to accept the waiting client and tell it the server is busy.
    if (m_spareFd < 0) m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!listen(m_cfg.address, m_cfg.port)) {
        *why = QStringLiteral("Não foi possível escutar em %1:%2: %3").arg(m_cfg.address.toString()).arg(m_cfg.port).arg(errorString());
        m_pool.reset();
        return false;
    }
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    qCInfo(lcServer) << "listening on" << serverAddress().toString() << serverPort() << "workers" << m_cfg.workers
                     << "max connections" << m_maxConnections << "open files" << qint64(files.rlim_cur) << "tls"
                     << !m_cfg.tlsCert.isEmpty();
    return true;
}

bool Server::checkDatabaseRole(QString *why)
{
    // The sessions are read-only either way; a role that could write anyway is
    // a configuration fault an administrator should hear of, by name.
    const QString name = QStringLiteral("appserver-role-check");
    QStringList writable;
    QString role;
    try {
        QSqlDatabase db = dbconnect::open(m_cfg.database, name, dbconnect::Mode::ReadOnly);
        role = dbconnect::roleOf(db);
        writable = dbconnect::writableTables(db);
        m_serverRole = role;
        m_operators = databaseHasOperators(db);
        if (m_operators)
            qCInfo(lcServer).noquote() << "the database grants companies to operators: every connection logs in as one;"
                                       << "calls run under the operator's role (the server's is" << role + ")";
    } catch (const dbconnect::Error &) {
        dbconnect::close(name);
        return true;  // the workers' sessions say why the database cannot be used
    }
    dbconnect::close(name);
    if (writable.isEmpty()) return true;
    const QString tables = writable.mid(0, 8).join(QStringLiteral(", ")) + (writable.size() > 8 ? QStringLiteral("…") : QString());
    if (m_cfg.requireReadOnlyRole) {
        *why = QStringLiteral("O papel %1 do banco de dados pode gravar em %2 tabela(s) (%3); use um papel somente "
                              "leitura (db/readonly_role.sql).").arg(role).arg(writable.size()).arg(tables);
        return false;
    }
    qCWarning(lcServer).noquote() << "the database role" << role << "can write to" << writable.size() << "tables (" + tables +
                                         "); give the servers a read-only role (db/readonly_role.sql) and start them with "
                                         "--require-readonly-role";
    return true;
}

int Server::drain(int boundMs)
{
    m_draining = true;
    close();  // no new connection
    QElapsedTimer clock;
    clock.start();
    const auto busy = [this] { return busySessions(); };
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (busy() == 0 || clock.elapsed() >= boundMs) loop.quit();
    });
    tick.start(10);
    if (busy() > 0) loop.exec();
    const int left = busy();
    const int connections = int(m_sessions.size());
    stop();
    qCWarning(lcServer).noquote() << QStringLiteral("stopped after %1 ms: %2 connection(s) closed, %3 of them still busy")
                                         .arg(clock.elapsed())
                                         .arg(connections)
                                         .arg(left);
    return left;
}

void Server::stop()
{
    close();
    // A login being checked ends within the database's connect timeout; its
    // answer, queued for this server, is dropped with it.
    for (QThread *t : std::as_const(m_logins)) t->wait();
    qDeleteAll(m_logins);
    m_logins.clear();
    if (m_spareFd >= 0) ::close(m_spareFd);
    m_spareFd = -1;
    if (m_pool) m_pool->stop();
    const auto sessions = m_sessions;
    m_sessions.clear();
    for (Session *s : sessions) delete s;
    m_pool.reset();
}

QByteArray Server::busyFrame()
{
    return wire::replyFrame(errorReply(wire::ErrorCode::Transport, QStringLiteral("Servidor de aplicação ocupado; tente novamente.")));
}

void Server::noteRefused(const QString &why)
{
    // One line per burst of refusals, not one per connection.
    ++m_refused;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_refusedLoggedAt < 10000) return;
    qCWarning(lcServer).noquote() << why << "; refused" << m_refused << "connection(s) since the last such line";
    m_refused = 0;
    m_refusedLoggedAt = now;
}

QSslSocket *Server::tlsSocket(qintptr fd)
{
    auto *ssl = new QSslSocket;
    if (!ssl->setSocketDescriptor(fd)) {
        delete ssl;
        ::close(int(fd));
        return nullptr;
    }
    ssl->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ssl->setLocalCertificate(QSslCertificate(m_cert, QSsl::Pem));
    ssl->setPrivateKey(QSslKey(m_key, QSsl::KeyAlgorithm(m_keyAlgorithm), QSsl::Pem));
    ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
    return ssl;
}

void Server::refuseBusy(qintptr fd)
{
    if (m_cfg.tlsCert.isEmpty()) {
        const QByteArray busy = busyFrame();
        (void)::send(int(fd), busy.constData(), size_t(busy.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(int(fd));
        return;
    }
    // Over TLS the refusal is said after the handshake, as on plain TCP; a
    // bounded number of such handshakes at a time, each for at most 5 s.
    if (m_tlsRefusals >= 64) {
        ::close(int(fd));
        return;
    }
    QSslSocket *ssl = tlsSocket(fd);
    if (!ssl) return;
    ++m_tlsRefusals;
    QObject::connect(ssl, &QSslSocket::encrypted, ssl, [ssl] {
        ssl->write(busyFrame());
        ssl->disconnectFromHost();
    });
    QObject::connect(ssl, &QObject::destroyed, this, [this] { --m_tlsRefusals; });
    QObject::connect(ssl, &QAbstractSocket::disconnected, ssl, &QObject::deleteLater);
    QTimer::singleShot(5000, ssl, &QObject::deleteLater);
    ssl->startServerEncryption();
}

void Server::acceptFailed(QAbstractSocket::SocketError error)
{
    // Out of descriptors (or another accept failure): Qt stops accepting. The
    // reserve descriptor makes room to tell the waiting client the server is
    // busy; accepting resumes shortly after, without spinning.
    noteRefused(QStringLiteral("accepting a connection failed (%1: %2)").arg(int(error)).arg(errorString()));
    if (m_spareFd >= 0) {
        ::close(m_spareFd);
        m_spareFd = -1;
        const int fd = ::accept4(int(socketDescriptor()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            const QByteArray busy = busyFrame();
            (void)::send(fd, busy.constData(), size_t(busy.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
        }
        m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    QTimer::singleShot(100, this, [this] {
        if (isListening()) resumeAccepting();
    });
}

void Server::incomingConnection(qintptr fd)
{
    const bool tls = !m_cfg.tlsCert.isEmpty();
    if (m_sessions.size() >= m_maxConnections) {
        noteRefused(QStringLiteral("connection cap %1 reached").arg(m_maxConnections));
        refuseBusy(fd);
        return;
    }
    std::unique_ptr<Channel> ch;
    if (tls) {
        QSslSocket *ssl = tlsSocket(fd);
        if (!ssl) return;
        ch = tlsChannel(ssl);
    } else {
        ch = plainChannel(int(fd));
    }
    const quint64 id = ++m_seq;
    auto *s = new Session(this, id, std::move(ch));
    qCDebug(lcServer) << s->peer() << "connected;" << m_sessions.size() + 1 << "connections";
    m_sessions.insert(id, s);
}

namespace {
// Owns a duplicated descriptor wherever the job goes, dropped jobs included.
struct DirectFd {
    int fd;
    explicit DirectFd(int f) : fd(f) {}
    ~DirectFd() { close(); }
    void close()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    DirectFd(const DirectFd &) = delete;
    DirectFd &operator=(const DirectFd &) = delete;
};

// Sends what the socket takes now, without waiting: a client slow to read
// gets the rest from the event loop and never holds a worker. After pieces,
// the reply's last frame (and what the socket did not take of them).
Delivery deliver(const wire::Reply &r, int fd, qint64 cap, PieceSender *pieces)
{
    Delivery d;
    d.ok = r.ok();
    d.error = int(r.error);
    const bool streamed = pieces && pieces->started();
    if (streamed) {
        wire::Reply failed;
        d.unsent = pieces->finish(r, &failed);
        d.ok = failed.ok();
        d.error = int(failed.error);
        d.bytes = pieces->frameBytes();
    } else {
        d.unsent = wire::replyFrame(r);
        d.bytes = d.unsent.size();
    }
    d.rows = r.rows >= 0 ? r.rows : r.packet.rows.size();
    if (!streamed && d.unsent.size() - 4 > cap) {
        // Never sent: a desktop would refuse it whole after waiting for it.
        qCWarning(lcServer) << "a reply of" << d.unsent.size() << "bytes is over the cap of" << cap << "and was refused";
        const wire::Reply refused = errorReply(wire::ErrorCode::BadValue, QString::fromUtf8(wire::kReplyTooLargeMessage));
        d.ok = false;
        d.error = int(refused.error);
        d.unsent = wire::replyFrame(refused);
        d.bytes = d.unsent.size();
    }
    if (fd < 0) return d;
    const qint64 sent = wire::sendNow(fd, d.unsent.constData(), d.unsent.size());
    // A client gone away: nothing is left to send, and the event loop sees the connection close.
    if (sent < 0) d.unsent.clear();
    else d.unsent.remove(0, sent);
    return d;
}
}  // namespace

wire::Reply Server::precheck(const wire::Call &call) const
{
    const auto proto = m_prototypes.value(call.object);
    if (!proto)
        return errorReply(wire::ErrorCode::UnknownObject,
                          QStringLiteral("Objeto '%1' desconhecido no servidor.").arg(quoted(call.object)));
    return checkCall(*proto, call);
}

void Server::dispatch(quint64 id, const wire::Call &call, int directFd, bool mayRead, bool pieces, const QString &peer,
                      const QString &role)
{
    auto fd = std::make_shared<DirectFd>(directFd);
    const wire::Reply early = precheck(call);
    if (!early.ok()) {
        const Delivery d = deliver(early, -1, m_cfg.maxReplyBytes, nullptr);
        QMetaObject::invokeMethod(this, [this, id, d] { finished(id, d); }, Qt::QueuedConnection);
        return;
    }
    struct Chain {
        int calls = 0;
        QString method;
        QElapsedTimer clock;
    };
    auto chain = std::make_shared<Chain>();
    std::shared_ptr<PieceSender> sender;
    if (pieces) {
        // Pieces a worker cannot send itself go through this loop, in order, before the reply's end.
        // A client gone is told to the worker through `gone`, so that it stops
        // making a reply nobody will read.
        auto gone = std::make_shared<std::atomic<bool>>(false);
        sender = std::make_shared<PieceSender>(fd->fd, m_cfg.maxReplyBytes, [this, id, gone](QByteArray bytes) {
            QMetaObject::invokeMethod(this, [this, id, bytes, gone] {
                Session *s = m_sessions.value(id);
                if (!s || !s->writePiece(bytes)) gone->store(true);
            }, Qt::QueuedConnection);
        }, gone);
    }
    m_pool->submit(call, role, sender, [this, id, fd, mayRead, peer, chain, sender](const wire::Reply &r) -> std::optional<wire::Call> {
        Delivery d = deliver(r, fd->fd, m_cfg.maxReplyBytes, sender.get());
        if (chain->calls > 0)
            qCInfo(lcServer).noquote() << peer << chain->method << chain->clock.elapsed() << "ms"
                                       << (d.ok ? QStringLiteral("ok") : QStringLiteral("erro %1").arg(d.error)) << d.bytes
                                       << "bytes (seguida)";
        // The desktop's next call, taken from the socket when it comes at once
        // and no other desktop's call is waiting for a worker.
        // Not while the server stops: a call taken here would be answered
        // instead of refused, and would hold the stop for its whole chain.
        if (mayRead && fd->fd >= 0 && d.unsent.isEmpty() && chain->calls < kChainedCallsMax && m_pool->idle() &&
            !m_draining.load()) {
            if (auto next = nextCall(fd->fd, &d.readAhead)) {
                ++chain->calls;
                chain->method = next->method.left(60);
                chain->clock.start();
                return next;
            }
        }
        d.chained = chain->calls;
        fd->close();  // now, not when the worker takes its next job
        QMetaObject::invokeMethod(this, [this, id, d] { finished(id, d); }, Qt::QueuedConnection);
        return std::nullopt;
    });
}

std::optional<wire::Call> Server::nextCall(int fd, QByteArray *readAhead) const
{
    // Briefly: a desktop walking a history asks again within a fraction of a
    // millisecond. Awake for the first tens of microseconds, where most such
    // calls come, so that taking one costs no wake-up; asleep for the rest.
    if (!wire::arrivesWithin(fd, kNextCallSpinNs)) {
        pollfd p{fd, POLLIN, 0};
        const timespec wait{0, kNextCallWaitNs - kNextCallSpinNs};
        if (::ppoll(&p, 1, &wait, nullptr) <= 0 || !(p.revents & POLLIN)) return std::nullopt;
    }
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    const ssize_t n = ::recv(fd, bytes.data(), size_t(bytes.size()), MSG_DONTWAIT);
    if (n <= 0) return std::nullopt;  // gone or nothing: the event loop sees to it
    bytes.resize(n);
    // Exactly one whole, sound call: anything else goes back to the event loop,
    // in order, with its usual answers.
    if (n >= 4) {
        const quint32 len = qFromBigEndian<quint32>(bytes.constData());
        if (qint64(len) + 4 == n && len <= quint32(wire::kMaxCallFrameBytes)) {
            auto call = wire::decodeCall(bytes.mid(4));
            if (call && precheck(*call).ok()) return call;
        }
    }
    *readAhead = bytes;
    return std::nullopt;
}

void Server::finished(quint64 session, const Delivery &delivery)
{
    // The client may have gone while its call ran.
    if (Session *s = m_sessions.value(session)) s->replied(delivery);
}

void Server::forget(quint64 session) { m_sessions.remove(session); }

int Server::busySessions() const
{
    int n = 0;
    for (const Session *s : std::as_const(m_sessions)) n += s->quiet() ? 0 : 1;
    return n;
}

void Server::noteCall(qint64 ms, bool ok)
{
    ++m_calls;
    if (!ok) ++m_errors;
    // Past the sample size new latencies take old ones' places in turn, so
    // memory stays bounded and the percentiles still reach the whole interval.
    if (m_latencies.size() < kLatencySamples) m_latencies << ms;
    else m_latencies[m_calls % kLatencySamples] = ms;
}

void Server::logLoad()
{
    if (!lcServer().isInfoEnabled()) return;
    std::sort(m_latencies.begin(), m_latencies.end());
    const auto pct = [this](double p) {
        return m_latencies.isEmpty() ? qint64(0) : m_latencies[std::min<qsizetype>(m_latencies.size() - 1, qsizetype(p * m_latencies.size()))];
    };
    const int busy = busySessions();
    qCInfo(lcServer).noquote() << QStringLiteral("load over %1 s: %2 calls, %3 errors, p50 %4 ms, p99 %5 ms, %6 connections, "
                                                 "%7 busy, %8 queued")
                                      .arg(m_cfg.metricsIntervalMs / 1000.0)
                                      .arg(m_calls)
                                      .arg(m_errors)
                                      .arg(pct(0.5))
                                      .arg(pct(0.99))
                                      .arg(m_sessions.size())
                                      .arg(busy)
                                      .arg(m_pool ? m_pool->queued() : 0);
    m_calls = m_errors = 0;
    m_latencies.clear();
}

int Server::authFailed(const QString &peer, bool *over)
{
    return m_auth.failed(peer, QDateTime::currentMSecsSinceEpoch(), over);
}

ServerThread::ServerThread(Config cfg, std::function<void(Server &)> registrar)
    : m_cfg(std::move(cfg)), m_registrar(std::move(registrar))
{
}

ServerThread::~ServerThread() { stop(); }

bool ServerThread::start(QString *why)
{
    m_thread.start();
    QSemaphore done;
    bool ok = false;
    auto *starter = new QObject;
    starter->moveToThread(&m_thread);
    QMetaObject::invokeMethod(starter, [&] {
        m_server = new Server(m_cfg);
        m_registrar(*m_server);
        ok = m_server->start(why);
        if (ok) m_port = m_server->serverPort();
        delete starter;
        done.release();
    }, Qt::QueuedConnection);
    done.acquire();
    if (!ok) stop();
    return ok;
}

void ServerThread::stop()
{
    if (!m_thread.isRunning()) return;
    QSemaphore done;
    auto *stopper = new QObject;
    stopper->moveToThread(&m_thread);
    QMetaObject::invokeMethod(stopper, [&] {
        delete m_server;
        m_server = nullptr;
        delete stopper;
        done.release();
    }, Qt::QueuedConnection);
    done.acquire();
    m_thread.quit();
    m_thread.wait();
}

}  // namespace appsrv
