#include "tlstrust.h"

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

}  // namespace wire
