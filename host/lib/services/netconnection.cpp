#include "netconnection.h"
#include "codec.h"
#include "dispatch.h"
#include "hostlog.h"
#include "tlstrust.h"

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
    struct Endpoint {
        QString host;
        quint16 port;
    };
    QVector<Endpoint> endpoints;
    for (const QString &entry : Host.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString e = entry.trimmed();
        const int colon = e.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const int port = colon > 0 ? e.mid(colon + 1).toInt(&ok) : 0;
        if (ok && port > 0 && port < 65536) endpoints.push_back({e.left(colon), quint16(port)});
        else endpoints.push_back({e, quint16(Port)});
    }
    if (endpoints.isEmpty()) endpoints.push_back({Host, quint16(Port)});
    // After a loss the next server is tried first; one message when none answers.
    const int start = m_current < 0 ? 0 : (m_current + 1) % endpoints.size();
    QString first;
    for (int i = 0; i < endpoints.size(); ++i) {
        const int at = (start + i) % endpoints.size();
        QString reason;
        if (connectTo(endpoints[at].host, endpoints[at].port, &reason)) {
            if (i > 0 || (m_current >= 0 && m_current != at))
                qCWarning(lcHost) << "now served by" << endpoints[at].host << endpoints[at].port;
            m_current = at;
            return true;
        }
        if (first.isEmpty()) first = reason;
    }
    m_current = -1;
    *why = endpoints.size() == 1 ? first : QStringLiteral("Nenhum servidor de aplicação respondeu (%1).").arg(Host);
    return false;
}

bool TNetConnection::connectTo(const QString &host, quint16 port, QString *why)
{
    m_sock = std::make_unique<QSslSocket>();
    m_sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QString unreachable = QStringLiteral("Não foi possível conectar ao servidor de aplicação %1:%2.").arg(host).arg(port);
    if (useTls()) {
        const wire::TlsTrust trust{TlsCaFile, TlsFingerprint, TlsSkipVerify};
        if (TlsSkipVerify) qCWarning(lcHost) << "TLS without verifying the server's certificate";
        if (!wire::prepareTls(m_sock.get(), host, trust, why)) {
            m_sock.reset();
            return false;
        }
        m_sock->connectToHostEncrypted(host, port);
        if (!m_sock->waitForEncrypted(10000)) {
            qCWarning(lcHost) << "TLS connection to" << host << port << "failed:" << m_sock->errorString();
            const bool untrusted = !m_sock->sslHandshakeErrors().isEmpty();
            const bool handshake = m_sock->error() == QAbstractSocket::SslHandshakeFailedError ||
                                   m_sock->error() == QAbstractSocket::RemoteHostClosedError;
            const QString mismatch = !untrusted && handshake ? wire::mismatchMessage(host, port, true, 3000) : QString();
            *why = untrusted ? QStringLiteral("O certificado do servidor de aplicação %1:%2 não é confiável.").arg(host).arg(port)
                   : !mismatch.isEmpty() ? mismatch
                                         : unreachable;
            m_sock.reset();
            return false;
        }
        if (!wire::checkPinnedCertificate(m_sock.get(), trust, why)) {
            m_sock->abort();
            m_sock.reset();
            return false;
        }
    } else {
        m_sock->connectToHost(host, port);
        if (!m_sock->waitForConnected(10000)) {
            qCWarning(lcHost) << "connection to" << host << port << "failed:" << m_sock->errorString();
            *why = unreachable;
            m_sock.reset();
            return false;
        }
    }
    m_sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const bool login = !Operator.isEmpty();
    if (login && !useTls() && !m_sock->peerAddress().isLoopback()) {
        *why = QStringLiteral("A senha do operador só pode ir ao servidor de aplicação por TLS; configure Tls=true.");
        m_sock->abort();
        m_sock.reset();
        return false;
    }
    wire::Reply answer;
    if (!wire::writeFrame(m_sock.get(), wire::encodeHello({Token, true, login ? Operator : QString(), login ? Password : QString()}), TimeoutMs) ||
        !readAnswer(&answer, why)) {
        if (why->isEmpty()) *why = QStringLiteral("O servidor de aplicação não respondeu.");
        m_sock.reset();
        // A plain hello to a server that speaks TLS gets no frame back.
        if (!useTls()) {
            const QString mismatch = wire::mismatchMessage(host, port, false, 3000);
            if (!mismatch.isEmpty()) *why = mismatch;
        }
        return false;
    }
    if (!answer.ok()) {
        *why = answer.message;
        m_sock.reset();
        return false;
    }
    return true;
}

bool TNetConnection::useTls() const
{
    // Trust settings without UseTls still mean TLS: never a plain connection in its place.
    return UseTls || !TlsCaFile.isEmpty() || !TlsFingerprint.isEmpty() || TlsSkipVerify;
}

bool TNetConnection::readAnswer(wire::Reply *answer, QString *why)
{
    QString unreadable;
    const auto st = wire::readReply(m_sock.get(), answer, TimeoutMs, &unreadable);
    if (st == wire::ReadStatus::Ok) return true;
    // What arrives later belongs to this call: the connection cannot serve another.
    m_sock->abort();
    if (st == wire::ReadStatus::Unreadable) qCWarning(lcHost) << "unreadable reply:" << unreadable;
    *why = st == wire::ReadStatus::Unreadable ? QStringLiteral("Resposta inválida do servidor de aplicação: %1.").arg(unreadable)
           : st == wire::ReadStatus::TooLarge ? QStringLiteral("Resposta do servidor de aplicação grande demais.")
           : st == wire::ReadStatus::Timeout
               ? QStringLiteral("Tempo esgotado aguardando o servidor de aplicação (%1 s).").arg(TimeoutMs / 1000)
               : QStringLiteral("O servidor de aplicação encerrou a conexão.");
    return false;
}

bool TNetConnection::stillOpen()
{
    if (!Connected()) return false;
    // A close the server made while we were idle shows up only when the socket
    // is looked at: on a plain connection one peek at its descriptor.
    switch (wire::idleState(m_sock.get())) {
    case wire::IdleState::Open: return true;
    case wire::IdleState::Closed: return false;
    case wire::IdleState::Unread: m_sock->abort(); return false;
    case wire::IdleState::Unknown: break;
    }
    m_sock->waitForReadyRead(0);
    if (m_sock->state() != QAbstractSocket::ConnectedState) return false;
    if (m_sock->bytesAvailable() > 0) {
        // Bytes nobody asked for (a reply to a call given up on): start afresh.
        m_sock->abort();
        return false;
    }
    return true;
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
    wire::Reply answer;
    // A connection closed while idle is opened again; once the call's bytes
    // went out it is never sent again, whatever happens to the answer.
    if (!stillOpen()) {
        m_sock.reset();
        if (BeforeConnect) BeforeConnect(this);
        if (!ensureConnected(&fail.message)) return fail;
    }
    if (!wire::writeFrame(m_sock.get(), payload, TimeoutMs)) {
        qCWarning(lcHost) << "sending" << method << "failed:" << m_sock->errorString();
        m_sock->abort();
        m_sock.reset();
        if (BeforeConnect) BeforeConnect(this);
        if (!ensureConnected(&fail.message)) return fail;
        if (!wire::writeFrame(m_sock.get(), payload, TimeoutMs)) {
            m_sock->abort();
            fail.message = QStringLiteral("Falha ao enviar a chamada ao servidor de aplicação.");
            return fail;
        }
    }
    if (!readAnswer(&answer, &fail.message)) return fail;
    if (answer.ok()) {
        int k = 0;
        for (const TNetArg &a : args) {
            if (a.arg.kind != wire::ArgKind::TextRef) continue;
            if (a.ref && k < answer.refs.size()) *a.ref = answer.refs[k];
            ++k;
        }
    }
    qCDebug(lcHost).noquote() << "call" << method << (answer.ok() ? "answered:" : "refused:") << answer.packet.rows.size()
                              << "row(s) in" << clock.elapsed() << "ms";
    return answer;
}

wire::DataPacket CheckResultServ(const wire::Reply &result, bool abort, int)
{
    if (result.ok()) return result.packet;
    MensErro(result.message.isEmpty() ? QStringLiteral("Falha na chamada ao servidor de aplicação.") : result.message,
             abort);
    return {};
}
