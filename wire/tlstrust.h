#pragma once
// How a client trusts the application server's certificate: the system's
// authorities (plus a CA file, if given), or a pinned SHA-256 fingerprint of
// the certificate. Accepting any certificate takes an explicit setting.
#include <QString>

class QSslSocket;

namespace wire {

struct TlsTrust {
    QString caFile;
    QString fingerprint;      // hex, with or without colons
    bool skipVerify = false;  // accept any certificate (tests, laboratories)
};

// Sets the socket up before connectToHostEncrypted; false with a Portuguese reason.
bool prepareTls(QSslSocket *sock, const QString &host, const TlsTrust &trust, QString *why);
// After the handshake: the pinned fingerprint, when one is set; false with a reason.
bool checkPinnedCertificate(QSslSocket *sock, const TlsTrust &trust, QString *why);

// After a connection failed in a way a TLS mismatch explains, finds out what the
// server speaks (a TLS handshake, then a plain frame); used only to word the
// message. With tlsExpected, "" unless the server answers in plain TCP, and the
// reverse.
QString mismatchMessage(const QString &host, quint16 port, bool tlsExpected, int msecs);

}  // namespace wire
