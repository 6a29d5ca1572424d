#include "netconnection.h"
#include "codec.h"
#include "dispatch.h"

#include <QDate>
#include <QElapsedTimer>
#include <QSslSocket>

TNetArg TNetArg::Val(const QString &text)
{
    TNetArg a;
    a.arg.kind = wire::ArgKind::Text;
    a.arg.text = text;
    return a;
}

TNetArg TNetArg::Ref(QString &var)
{
    TNetArg a;
    a.arg.kind = wire::ArgKind::TextRef;
    a.arg.text = var;
    a.ref = &var;
    return a;
}

TNetArg TNetArg::Date(const QDate &d)
{
    TNetArg a;
    a.arg.kind = wire::ArgKind::Date;
    a.arg.dateEmpty = !d.isValid();
    a.arg.date = d.isValid() ? wire::toOleDate(d) : 0;
    return a;
}

TNetArg TNetArg::DateOle(double ole)
{
    TNetArg a;
    a.arg.kind = wire::ArgKind::Date;
    a.arg.date = ole;
    return a;
}

TNetConnection::TNetConnection(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
}

TNetConnection::~TNetConnection() { Disconnect(); }

bool TNetConnection::Connected() const
{
    return m_sock && m_sock->state() == QAbstractSocket::ConnectedState;
}

void TNetConnection::Connect()
{
    if (BeforeConnect) BeforeConnect(this);
    QString why;
    if (!ensureConnected(&why)) throw host::EHostError(why);
}

void TNetConnection::Disconnect()
{
    if (!m_sock) return;
    m_sock->abort();
    m_sock.reset();
}

bool TNetConnection::ensureConnected(QString *why)
{
    if (Connected()) return true;
    m_sock = std::make_unique<QSslSocket>();
    m_sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (UseTls) {
        m_sock->setPeerVerifyMode(QSslSocket::VerifyNone);  // private deployments use their own certificates
        m_sock->connectToHostEncrypted(Host, quint16(Port));
        if (!m_sock->waitForEncrypted(10000)) {
            *why = QStringLiteral("Não foi possível conectar ao servidor de aplicação %1:%2 (%3).")
                       .arg(Host).arg(Port).arg(m_sock->errorString());
            m_sock.reset();
            return false;
        }
    } else {
        m_sock->connectToHost(Host, quint16(Port));
        if (!m_sock->waitForConnected(10000)) {
            *why = QStringLiteral("Não foi possível conectar ao servidor de aplicação %1:%2 (%3).")
                       .arg(Host).arg(Port).arg(m_sock->errorString());
            m_sock.reset();
            return false;
        }
    }
    m_sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray answer;
    if (!roundTrip(wire::encodeHello({Token}), &answer, why)) {
        m_sock.reset();
        return false;
    }
    const auto r = wire::decodeReply(answer);
    if (!r || !r->ok()) {
        *why = r ? r->message : QStringLiteral("Resposta inválida do servidor de aplicação.");
        m_sock.reset();
        return false;
    }
    return true;
}

bool TNetConnection::roundTrip(const QByteArray &payload, QByteArray *answer, QString *why)
{
    if (!wire::writeFrame(m_sock.get(), payload, TimeoutMs)) {
        *why = QStringLiteral("Falha ao enviar a chamada ao servidor de aplicação.");
        return false;
    }
    const auto st = wire::readFrame(m_sock.get(), answer, wire::kMaxFrameBytes, TimeoutMs);
    if (st == wire::ReadStatus::Ok) return true;
    *why = st == wire::ReadStatus::TooLarge ? QStringLiteral("Resposta do servidor de aplicação grande demais.")
                                            : QStringLiteral("O servidor de aplicação não respondeu.");
    m_sock->abort();
    return false;
}

wire::Reply TNetConnection::Call(const QString &method, const QVector<TNetArg> &args)
{
    return CallObject(ServerName, method, args);
}

wire::Reply TNetConnection::CallObject(const QString &object, const QString &method,
                                       const QVector<TNetArg> &args)
{
    ++m_calls;
    QElapsedTimer clock;
    clock.start();
    struct Tally {
        QElapsedTimer &clock;
        qint64 &total;
        ~Tally() { total += clock.nsecsElapsed(); }
    } tally{clock, m_callNs};
    wire::Call c{object, method, {}};
    for (const TNetArg &a : args) c.args << a.arg;
    const QByteArray payload = wire::encodeCall(c);
    wire::Reply fail;
    fail.error = wire::ErrorCode::Transport;
    QByteArray answer;
    bool sent = false;
    // A connection that died since the last call (server restarted) is opened
    // again once; a call that reached the server is never repeated.
    for (int attempt = 0; attempt < 2 && !sent; ++attempt) {
        const bool wasConnected = Connected();
        if (!wasConnected) {
            if (BeforeConnect) BeforeConnect(this);
            if (!ensureConnected(&fail.message)) return fail;
        }
        if (!wire::writeFrame(m_sock.get(), payload, TimeoutMs)) {
            m_sock->abort();
            fail.message = QStringLiteral("Falha ao enviar a chamada ao servidor de aplicação.");
            continue;
        }
        const auto st = wire::readFrame(m_sock.get(), &answer, wire::kMaxFrameBytes, TimeoutMs);
        if (st == wire::ReadStatus::Ok) { sent = true; break; }
        m_sock->abort();
        fail.message = st == wire::ReadStatus::TooLarge ? QStringLiteral("Resposta do servidor de aplicação grande demais.")
                                                        : QStringLiteral("O servidor de aplicação encerrou a conexão.");
        // Only a connection that was already open may have been stale.
        if (!wasConnected) break;
    }
    if (!sent) return fail;
    QString why;
    auto r = wire::decodeReply(answer, &why);
    if (!r) {
        fail.message = QStringLiteral("Resposta inválida do servidor de aplicação: %1.").arg(why);
        return fail;
    }
    if (r->ok()) {
        int k = 0;
        for (const TNetArg &a : args) {
            if (a.arg.kind != wire::ArgKind::TextRef) continue;
            if (a.ref && k < r->refs.size()) *a.ref = r->refs[k];
            ++k;
        }
    }
    return *r;
}

wire::DataPacket CheckResultServ(const wire::Reply &result, bool abort, int)
{
    if (result.ok()) return result.packet;
    MensErro(result.message.isEmpty() ? QStringLiteral("Falha na chamada ao servidor de aplicação.") : result.message,
             abort);
    return {};
}
