#include "appserver.h"
#include "codec.h"
#include "rdmhistoricobem.h"
#include "trq01300_methods.h"
#include "workerpool.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <QtEndian>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace appsrv {

// One client connection, served by the server's event loop. Bytes are gathered
// until a whole frame is there, however they arrive; one call at a time runs
// on the pool, and the frames behind it wait in the buffer.
class Session : public QObject {
public:
    Session(Server *srv, quint64 id, QTcpSocket *sock) : m_srv(srv), m_id(id), m_sock(sock)
    {
        m_sock->setParent(this);
        m_peer = m_sock->peerAddress().toString();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            qCInfo(lcServer) << m_peer << "timed out" << (m_helloDone ? "between frames" : "before its hello");
            close();
        });
        connect(m_sock, &QIODevice::readyRead, this, &Session::readable);
        connect(m_sock, &QAbstractSocket::disconnected, this, &Session::close);
        connect(m_sock, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError) qCInfo(lcServer) << m_peer << m_sock->errorString();
            close();
        });
        m_timer.start(m_srv->m_cfg.helloTimeoutMs);
    }

    void begin(bool tls)
    {
        auto *ssl = qobject_cast<QSslSocket *>(m_sock);
        if (!tls || !ssl) return;
        connect(ssl, &QSslSocket::sslErrors, this, [this] { close(); });
        connect(ssl, &QSslSocket::encrypted, this, &Session::readable);
        ssl->startServerEncryption();
    }

    void replied(const Delivery &d)
    {
        if (m_closing) return;
        m_busy = false;
        if (!d.unsent.isEmpty()) m_sock->write(d.unsent);
        qCInfo(lcServer).noquote() << m_peer << m_method << m_clock.elapsed() << "ms"
                                   << (d.ok ? QStringLiteral("ok") : QStringLiteral("erro %1").arg(d.error)) << d.bytes
                                   << "bytes";
        process();
    }

    void close()
    {
        if (m_closing) return;
        m_closing = true;
        m_timer.stop();
        m_sock->disconnect(this);
        m_sock->abort();
        m_srv->forget(m_id);
        deleteLater();
    }

private:
    void readable()
    {
        auto *ssl = qobject_cast<QSslSocket *>(m_sock);
        if (m_closing || (ssl && !ssl->isEncrypted())) return;
        m_in += m_sock->readAll();
        process();
    }

    // Takes the next whole frame when no call is running.
    void process()
    {
        while (!m_busy && !m_closing) {
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
        }
    }

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
        QString why;
        auto call = wire::decodeCall(payload, &why);
        if (!call) {
            qCInfo(lcServer) << m_peer << "unreadable call:" << why;
            send(errorReply(wire::ErrorCode::BadFrame, QStringLiteral("Chamada inválida.")));
            return;
        }
        m_method = call->method.left(60);
        m_clock.start();
        m_busy = true;
        m_timer.stop();
        m_srv->dispatch(m_id, *call, directFd());
    }

    void hello(const QByteArray &payload)
    {
        const Config &cfg = m_srv->m_cfg;
        const auto h = wire::decodeHello(payload);
        if (!h) {
            send(errorReply(wire::ErrorCode::NotAuthenticated, QStringLiteral("Conexão não identificada.")));
            closeAfterWrite();
            return;
        }
        if (!cfg.token.isEmpty()) {
            if (!m_srv->authAllowed(m_peer)) {
                qCWarning(lcServer) << m_peer << "refused: too many failed hellos";
                send(errorReply(wire::ErrorCode::NotAuthenticated,
                                QStringLiteral("Muitas tentativas com credencial inválida; tente mais tarde.")));
                closeAfterWrite();
                return;
            }
            if (!sameSecret(h->token, cfg.token)) {
                m_srv->authFailed(m_peer);
                qCWarning(lcServer) << m_peer << "gave a wrong token";
                // Answered a little later, so guessing is slow.
                m_busy = true;
                m_timer.stop();
                QTimer::singleShot(300, this, [this] {
                    send(errorReply(wire::ErrorCode::NotAuthenticated, QStringLiteral("Credencial do servidor de aplicação inválida.")));
                    closeAfterWrite();
                });
                return;
            }
        }
        m_helloDone = true;
        m_timer.stop();
        send(wire::Reply{});
    }

    // A plain connection with nothing left to send lets the worker answer on
    // the socket itself, sparing the reply two thread hand-overs. A duplicate
    // descriptor, so that the socket closing meanwhile can never leave the
    // worker writing to a number reused by another connection.
    int directFd() const
    {
        if (!m_srv->m_cfg.tlsCert.isEmpty() || m_sock->bytesToWrite() > 0) return -1;
        const qintptr fd = m_sock->socketDescriptor();
        return fd < 0 ? -1 : ::fcntl(int(fd), F_DUPFD_CLOEXEC, 0);
    }

    // The whole frame in one write.
    qint64 send(const wire::Reply &r)
    {
        const QByteArray out = wire::replyFrame(r);
        m_sock->write(out);
        return out.size();
    }

    void closeAfterWrite()
    {
        m_closing = true;
        m_timer.stop();
        m_sock->disconnect(this);
        m_srv->forget(m_id);
        QTcpSocket *s = m_sock;
        connect(s, &QAbstractSocket::disconnected, this, &QObject::deleteLater);
        // A client that never reads does not hold the connection open.
        QTimer::singleShot(5000, this, &QObject::deleteLater);
        s->disconnectFromHost();
    }

    Server *m_srv;
    quint64 m_id;
    QTcpSocket *m_sock;  // a QSslSocket when the server speaks TLS
    QString m_peer, m_method;
    QByteArray m_in;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_helloDone = false, m_busy = false, m_closing = false, m_waitingIdle = false;
};

namespace {
// Connections the open-file limit leaves room for, after the server's own files.
int connectionsAllowed(int workers)
{
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return 10000;
    const long room = long(rl.rlim_cur) - 64 - 4L * workers;
    return int(std::clamp<long>(room, 16, 100000));
}
}  // namespace

Server::Server(Config cfg, QObject *parent) : QTcpServer(parent), m_cfg(std::move(cfg)) {}

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
        if (cert.publicKey().algorithm() != QSsl::KeyAlgorithm(m_keyAlgorithm)) {
            *why = QStringLiteral("A chave TLS %1 não corresponde ao certificado %2.").arg(m_cfg.tlsKey, m_cfg.tlsCert);
            return false;
        }
    }
    m_pool = std::make_unique<WorkerPool>(m_cfg, m_factories);
    if (!m_pool->start(why)) {
        m_pool.reset();
        return false;
    }
    m_maxConnections = m_cfg.maxConnections > 0 ? m_cfg.maxConnections : connectionsAllowed(m_cfg.workers);
    if (!listen(m_cfg.address, m_cfg.port)) {
        *why = QStringLiteral("Não foi possível escutar em %1:%2: %3").arg(m_cfg.address.toString()).arg(m_cfg.port).arg(errorString());
        m_pool.reset();
        return false;
    }
    qCInfo(lcServer) << "listening on" << serverAddress().toString() << serverPort() << "workers" << m_cfg.workers
                     << "max connections" << m_maxConnections << "tls" << !m_cfg.tlsCert.isEmpty();
    return true;
}

void Server::stop()
{
    close();
    if (m_pool) m_pool->stop();
    const auto sessions = m_sessions;
    m_sessions.clear();
    for (Session *s : sessions) delete s;
    m_pool.reset();
}

void Server::incomingConnection(qintptr fd)
{
    const bool tls = !m_cfg.tlsCert.isEmpty();
    // Plain connections skip the TLS socket's extra buffer and relays.
    QTcpSocket *sock = tls ? new QSslSocket : new QTcpSocket;
    if (!sock->setSocketDescriptor(fd)) {
        delete sock;
        return;
    }
    if (m_sessions.size() >= m_maxConnections) {
        qCWarning(lcServer) << "connection cap" << m_maxConnections << "reached; refusing" << sock->peerAddress().toString();
        if (m_cfg.tlsCert.isEmpty()) {
            sock->write(wire::replyFrame(
                errorReply(wire::ErrorCode::Transport, QStringLiteral("Servidor de aplicação ocupado; tente novamente."))));
            sock->flush();
        }
        sock->abort();
        delete sock;
        return;
    }
    sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (auto *ssl = qobject_cast<QSslSocket *>(sock)) {
        ssl->setLocalCertificate(QSslCertificate(m_cert, QSsl::Pem));
        ssl->setPrivateKey(QSslKey(m_key, QSsl::KeyAlgorithm(m_keyAlgorithm), QSsl::Pem));
        ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
    }
    const quint64 id = ++m_seq;
    auto *s = new Session(this, id, sock);
    m_sessions.insert(id, s);
    s->begin(tls);
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
// gets the rest from the event loop and never holds a worker.
Delivery deliver(const wire::Reply &r, int fd)
{
    Delivery d;
    d.ok = r.ok();
    d.error = int(r.error);
    d.unsent = wire::replyFrame(r);
    d.bytes = d.unsent.size();
    qint64 sent = 0;
    while (fd >= 0 && sent < d.unsent.size()) {
        const ssize_t n = ::send(fd, d.unsent.constData() + sent, size_t(d.unsent.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) sent += n;
        else if (n < 0 && errno == EINTR) continue;
        else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        else {
            // The client went away; the event loop sees the connection close.
            sent = d.unsent.size();
            break;
        }
    }
    if (sent > 0) d.unsent.remove(0, sent);
    return d;
}
}  // namespace

void Server::dispatch(quint64 id, const wire::Call &call, int directFd)
{
    auto fd = std::make_shared<DirectFd>(directFd);
    const auto proto = m_prototypes.value(call.object);
    wire::Reply early;
    if (!proto) {
        early = errorReply(wire::ErrorCode::UnknownObject,
                           QStringLiteral("Objeto '%1' desconhecido no servidor.").arg(quoted(call.object)));
    } else {
        early = checkCall(*proto, call);
    }
    if (!early.ok()) {
        const Delivery d = deliver(early, -1);
        QMetaObject::invokeMethod(this, [this, id, d] { finished(id, d); }, Qt::QueuedConnection);
        return;
    }
    m_pool->submit(call, [this, id, fd](const wire::Reply &r) {
        const Delivery d = deliver(r, fd->fd);
        fd->close();  // now, not when the worker takes its next job
        QMetaObject::invokeMethod(this, [this, id, d] { finished(id, d); }, Qt::QueuedConnection);
    });
}

void Server::finished(quint64 session, const Delivery &delivery)
{
    // The client may have gone while its call ran.
    if (Session *s = m_sessions.value(session)) s->replied(delivery);
}

void Server::forget(quint64 session) { m_sessions.remove(session); }

bool Server::authAllowed(const QString &peer)
{
    const auto it = m_authFailures.find(peer);
    if (it == m_authFailures.end()) return true;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - it->second > 60000) {
        m_authFailures.erase(it);
        return true;
    }
    return it->first < m_cfg.authFailuresAllowed;
}

void Server::authFailed(const QString &peer)
{
    auto &f = m_authFailures[peer];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (f.first == 0 || now - f.second > 60000) f = {0, now};
    ++f.first;
}

void registerStandardObjects(Server &s)
{
    s.registerObject(QString::fromLatin1(trq01300::kObjectName), [] { return std::make_unique<trq01300::RdmHistoricoBem>(); });
}

ServerThread::ServerThread(Config cfg, std::function<void(Server &)> registrar)
    : m_cfg(std::move(cfg)), m_registrar(registrar ? std::move(registrar) : registerStandardObjects)
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
