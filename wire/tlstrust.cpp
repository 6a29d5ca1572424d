#include "tlstrust.h"
#include <QTcpSocket>
#include "codec.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

namespace wire {

namespace {
QByteArray normalised(const QString &fingerprint)
{
    QString hex = fingerprint;
    hex.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    return hex.toLower().toLatin1();
}
}  // namespace

bool prepareTls(QSslSocket *sock, const QString &host, const TlsTrust &trust, QString *why)
{
    if (trust.skipVerify || !trust.fingerprint.isEmpty()) {
        // A pinned certificate is checked by its fingerprint once the handshake is done.
        sock->setPeerVerifyMode(QSslSocket::VerifyNone);
        return true;
    }
    QSslConfiguration conf = sock->sslConfiguration();
    if (!trust.caFile.isEmpty()) {
        const QList<QSslCertificate> cas = QSslCertificate::fromPath(trust.caFile, QSsl::Pem);
        if (cas.isEmpty()) {
            *why = QStringLiteral("Não foi possível ler os certificados de autoridade em %1.").arg(trust.caFile);
            return false;
        }
        conf.addCaCertificates(cas);
    }
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    sock->setSslConfiguration(conf);
    sock->setPeerVerifyName(host);
    return true;
}

bool checkPinnedCertificate(QSslSocket *sock, const TlsTrust &trust, QString *why)
{
    if (trust.skipVerify || trust.fingerprint.isEmpty()) return true;
    const QByteArray got = sock->peerCertificate().digest(QCryptographicHash::Sha256).toHex();
    if (got == normalised(trust.fingerprint)) return true;
    *why = QStringLiteral("O certificado do servidor de aplicação não confere com a impressão digital configurada.");
    return false;
}

QString mismatchMessage(const QString &host, quint16 port, bool tlsExpected, int msecs)
{
    if (tlsExpected) {
        // A frame the server cannot read as a hello: it answers in plain TCP
        // with an error, and counts no wrong token.
        QTcpSocket plain;
        plain.connectToHost(host, port);
        QByteArray answer;
        if (plain.waitForConnected(msecs) && writeFrame(&plain, QByteArray(1, char(0xff)), msecs) &&
            readFrame(&plain, &answer, 4096, msecs) == ReadStatus::Ok && decodeReply(answer))
            return QStringLiteral("O servidor de aplicação %1:%2 não usa TLS; retire Tls, TlsCaFile e TlsFingerprint da "
                                  "configuração ou ligue o TLS no servidor.").arg(host).arg(port);
        return {};
    }
    QSslSocket tls;
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    tls.connectToHostEncrypted(host, port);
    if (tls.waitForEncrypted(msecs))
        return QStringLiteral("O servidor de aplicação %1:%2 exige TLS; configure Tls=true.").arg(host).arg(port);
    return {};
}

}  // namespace wire
