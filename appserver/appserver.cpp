#include "appserver.h"
#include "codec.h"
#include "dbconnect.h"
#include "rdmhistoricobem.h"
#include "trq01300_methods.h"
#include <map>

#include <QFile>
#include <QSemaphore>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

namespace appsrv {

wire::Reply checkCall(const ServerObject &obj, const wire::Call &c)
{
    for (const auto &m : obj.methods()) {
        if (m.first != c.method) continue;
        if (c.args.size() != m.second.size())
            return errorReply(wire::ErrorCode::BadArguments, QStringLiteral("Método %1 espera %2 argumentos, recebeu %3.")
                                                              .arg(c.method).arg(m.second.size()).arg(c.args.size()));
        for (int i = 0; i < c.args.size(); ++i) {
            const bool wantDate = m.second[i] == wire::ArgKind::Date;
            const bool isDate = c.args[i].kind == wire::ArgKind::Date;
            if (wantDate != isDate)
                return errorReply(wire::ErrorCode::BadArguments,
                                  QStringLiteral("Método %1: o argumento %2 deve ser %3.")
                                      .arg(c.method).arg(i + 1)
                                      .arg(wantDate ? QStringLiteral("uma data") : QStringLiteral("um texto")));
        }
        return {};
    }
    return errorReply(wire::ErrorCode::UnknownMethod,
                      QStringLiteral("Método '%1' desconhecido no objeto %2.").arg(c.method, obj.name()));
}

// One client connection, served on its own thread.
class Connection : public QThread {
public:
    Connection(Server *srv, qintptr fd, int seq) : m_srv(srv), m_fd(fd), m_seq(seq) {}
    void run() override;
private:
    bool send(QSslSocket &s, const wire::Reply &r) { return wire::writeReply(&s, r, 30000); }
    Server *m_srv;
    qintptr m_fd;
    int m_seq;
};

void Connection::run()
{
    QSslSocket sock;
    if (!sock.setSocketDescriptor(m_fd)) return;
    sock.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const Config &cfg = m_srv->m_cfg;
    if (!cfg.tlsCert.isEmpty()) {
        QFile cf(cfg.tlsCert), kf(cfg.tlsKey);
        if (!cf.open(QIODevice::ReadOnly) || !kf.open(QIODevice::ReadOnly)) return;
        sock.setLocalCertificate(QSslCertificate(cf.readAll(), QSsl::Pem));
        sock.setPrivateKey(QSslKey(kf.readAll(), QSsl::Rsa, QSsl::Pem));
        sock.setPeerVerifyMode(QSslSocket::VerifyNone);
        sock.startServerEncryption();
        // A plain client never completes the handshake and is dropped here.
        if (!sock.waitForEncrypted(10000)) return;
    }
    const QString connName = QStringLiteral("appsrv-%1").arg(m_seq);
    std::map<QString, std::unique_ptr<ServerObject>> objects;
    bool authenticated = false;
    std::optional<QSqlDatabase> db;
    auto dbFor = [&]() -> QSqlDatabase & {
        if (!db) db = dbconnect::open(cfg.database, connName, true);
        return *db;
    };
    while (!isInterruptionRequested()) {
        QByteArray payload;
        const auto st = wire::readFrame(&sock, &payload, wire::kMaxCallFrameBytes, 250);
        if (st == wire::ReadStatus::TooLarge) {
            send(sock, errorReply(wire::ErrorCode::BadFrame, QStringLiteral("Quadro grande demais; conexão encerrada.")));
            break;
        }
        if (st != wire::ReadStatus::Ok) {
            if (sock.state() != QAbstractSocket::ConnectedState) break;
            continue;  // timeout: look at the interruption flag again
        }
        if (!authenticated) {
            const auto hello = wire::decodeHello(payload);
            if (!hello) {
                send(sock, errorReply(wire::ErrorCode::NotAuthenticated, QStringLiteral("Conexão não identificada.")));
                break;
            }
            if (!cfg.token.isEmpty() && hello->token != cfg.token) {
                send(sock, errorReply(wire::ErrorCode::NotAuthenticated, QStringLiteral("Credencial do servidor de aplicação inválida.")));
                break;
            }
            authenticated = true;
            send(sock, wire::Reply{});
            continue;
        }
        QString why;
        const auto call = wire::decodeCall(payload, &why);
        wire::Reply reply;
        if (!call) {
            reply = errorReply(wire::ErrorCode::BadFrame, QStringLiteral("Chamada inválida: %1.").arg(why));
        } else if (!m_srv->m_factories.contains(call->object)) {
            reply = errorReply(wire::ErrorCode::UnknownObject, QStringLiteral("Objeto '%1' desconhecido no servidor.").arg(call->object));
        } else {
            auto &obj = objects[call->object];
            if (!obj) obj = m_srv->m_factories.value(call->object)();
            reply = checkCall(*obj, *call);
            if (reply.ok()) {
                try {
                    reply = obj->invoke(call->method, call->args, dbFor());
                } catch (const dbconnect::Error &e) {
                    reply = errorReply(wire::ErrorCode::Database, QString::fromUtf8(e.what()));
                } catch (const std::exception &e) {
                    reply = errorReply(wire::ErrorCode::Internal, QStringLiteral("Erro interno: %1").arg(QString::fromUtf8(e.what())));
                }
            }
        }
        if (!send(sock, reply)) break;
    }
    objects.clear();
    db.reset();
    dbconnect::close(connName);
    sock.disconnectFromHost();
}

Server::Server(Config cfg, QObject *parent) : QTcpServer(parent), m_cfg(std::move(cfg)) {}

Server::~Server() { stop(); }

void Server::registerObject(const QString &name, ObjectFactory f) { m_factories.insert(name, std::move(f)); }

bool Server::start(QString *why)
{
    if (!m_cfg.tlsCert.isEmpty() && !QSslSocket::supportsSsl()) {
        *why = QStringLiteral("TLS indisponível nesta instalação.");
        return false;
    }
    if (!listen(m_cfg.address, m_cfg.port)) {
        *why = QStringLiteral("Não foi possível escutar em %1:%2: %3").arg(m_cfg.address.toString()).arg(m_cfg.port).arg(errorString());
        return false;
    }
    return true;
}

void Server::stop()
{
    close();
    QList<QThread *> threads;
    {
        QMutexLocker lock(&m_mutex);
        threads = m_threads;
        m_threads.clear();
    }
    for (QThread *t : threads) t->requestInterruption();
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
}

int Server::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    int n = 0;
    for (QThread *t : m_threads) n += t->isRunning() ? 1 : 0;
    return n;
}

void Server::incomingConnection(qintptr fd)
{
    auto *c = new Connection(this, fd, ++m_seq);
    QMutexLocker lock(&m_mutex);
    // Forget threads that ended.
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if ((*it)->isFinished()) { delete *it; it = m_threads.erase(it); }
        else ++it;
    }
    m_threads << c;
    c->start();
}

void registerStandardObjects(Server &s)
{
    s.registerObject(QString::fromLatin1(trq01300::kObjectName), [] { return std::make_unique<trq01300::RdmHistoricoBem>(); });
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
