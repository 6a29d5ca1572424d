// appserver-call --server HOST:PORT [--token-file F] [--csv] OBJECT METHOD ARG...
// ARG: TEXT (by value), ref:TEXT (by reference), date:DD/MM/YYYY (date:, the empty date).
#include "cmdline.h"
#include "codec.h"
#include "packettext.h"
#include "tlstrust.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QSslSocket>
#include <cstdio>

namespace {
// The server's own sentence, as it stands: scripts compare it.
int fail(const QString &m)
{
    std::fprintf(stderr, "%s\n", qPrintable(m));
    return 1;
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Faz uma chamada ao servidor de aplicação."));
    p.addHelpOption();
    p.addOption({"server", "HOST:PORTA do servidor.", "HOST:PORT"});
    p.addOption({"token-file", "Arquivo com a credencial.", "F"});
    p.addOption({"tls", "Conecta com TLS, verificando o certificado do servidor."});
    p.addOption({"tls-ca", "Certificados de autoridade (PEM) além dos do sistema.", "F"});
    p.addOption({"tls-fingerprint", "Impressão digital SHA-256 do certificado do servidor.", "HEX"});
    p.addOption({"tls-insecure", "Aceita qualquer certificado (somente para testes)."});
    p.addOption({"csv", "Imprime o pacote como CSV."});
    p.addOption({"operator", "Entra como este operador (servidor cujo banco concede empresas a operadores).", "OPERADOR"});
    p.addOption({"password-file", "Arquivo com a senha do operador.", "F"});
    p.addPositionalArgument("OBJECT", "Objeto do servidor.");
    p.addPositionalArgument("METHOD", "Método.");
    p.addPositionalArgument("ARG", "TEXTO, ref:TEXTO ou date:DD/MM/AAAA.", "[ARG...]");
    p.process(app);
    const QStringList pos = p.positionalArguments();
    QString host;
    quint16 port = 0;
    if (pos.size() < 2 || !cmdline::parseHostPort(p.value("server"), &host, &port)) {
        std::fprintf(stderr, "uso: appserver-call --server HOST:PORTA [--token-file F] [--csv] OBJETO METODO ARG...\n");
        return 2;
    }
    wire::Call call{pos[0], pos[1], {}};
    for (const QString &a : pos.mid(2)) {
        wire::Arg arg;
        if (a.startsWith(QLatin1String("ref:"))) {
            arg.kind = wire::ArgKind::TextRef;
            arg.text = a.mid(4);
        } else if (a.startsWith(QLatin1String("date:"))) {
            arg.kind = wire::ArgKind::Date;
            if (a.size() == 5) arg.dateEmpty = true;
            else {
                const QDate d = QDate::fromString(a.mid(5), "dd/MM/yyyy");
                if (!d.isValid()) return fail(QStringLiteral("data inválida: %1").arg(a));
                arg.date = wire::toOleDate(d);
            }
        } else {
            arg.text = a;
        }
        call.args << arg;
    }
    QString token;
    QString why;
    if (p.isSet("token-file") && !cmdline::readSmallFile(p.value("token-file"), 4096, &token, &why)) return fail(why);
    // The operator's password from a file, never from the command line, where ps shows it.
    const QString op = p.value("operator").toUpper();
    QString password;
    if (!op.isEmpty() && !p.isSet("password-file")) return fail(QStringLiteral("--operator pede --password-file"));
    if (p.isSet("password-file") && !cmdline::readSmallFile(p.value("password-file"), wire::kPasswordMax, &password, &why))
        return fail(why);
    QSslSocket sock;
    // Any TLS option means TLS: never a plain connection in its place.
    const bool tls = p.isSet("tls") || p.isSet("tls-ca") || p.isSet("tls-fingerprint") || p.isSet("tls-insecure");
    if (tls) {
        const wire::TlsTrust trust{p.value("tls-ca"), p.value("tls-fingerprint"), p.isSet("tls-insecure")};
        if (!wire::prepareTls(&sock, host, trust, &why)) return fail(why);
        sock.connectToHostEncrypted(host, port);
        if (!sock.waitForEncrypted(10000)) {
            const QString mismatch = sock.sslHandshakeErrors().isEmpty()
                                         ? wire::mismatchMessage(host, port, true, 3000)
                                         : QString();
            return fail(mismatch.isEmpty() ? QStringLiteral("conexão falhou: %1").arg(sock.errorString()) : mismatch);
        }
        if (!wire::checkPinnedCertificate(&sock, trust, &why)) return fail(why);
    } else {
        sock.connectToHost(host, port);
        if (!sock.waitForConnected(10000)) return fail(QStringLiteral("conexão falhou: %1").arg(sock.errorString()));
    }
    FILE *out = stdout;
    const bool csv = p.isSet("csv");
    const auto printRefs = [&](const wire::Reply &r) {
        for (int i = 0; i < r.refs.size(); ++i) std::fprintf(csv ? stderr : out, "ref %d: %s\n", i + 1, qPrintable(r.refs[i]));
    };
    // A large reply comes in pieces: each is printed as it arrives and let
    // go, so the rows never pile up here.
    bool printed = false;
    const auto printPiece = [&](wire::Reply &r) {
        if (!printed) printRefs(r);
        appsrv::printPacket(out, r.packet, csv, !printed);
        printed = true;
        r.packet.rows.clear();
    };
    wire::Reply r;
    if (!op.isEmpty() && !tls && !sock.peerAddress().isLoopback())
        return fail(QStringLiteral("a senha do operador só vai por TLS a outro computador; use --tls"));
    const QByteArray frames[] = {wire::encodeHello({token, true, op, password}), wire::encodeCall(call)};
    for (const QByteArray &frame : frames) {
        QString unreadable;
        if (!wire::writeFrame(&sock, frame, 30000)) return fail(QStringLiteral("o servidor não respondeu"));
        // Only the call's answer is printed as it comes (not the hello's).
        const bool isCall = &frame != &frames[0];
        const wire::ReadStatus st =
            wire::readReply(&sock, &r, 120000, &unreadable, isCall ? std::function<void(wire::Reply &)>(printPiece) : nullptr);
        if (st == wire::ReadStatus::Unreadable) return fail(QStringLiteral("resposta inválida"));
        if (st != wire::ReadStatus::Ok) {
            const QString mismatch = tls ? QString() : wire::mismatchMessage(host, port, false, 3000);
            return fail(mismatch.isEmpty() ? QStringLiteral("o servidor não respondeu") : mismatch);
        }
        // After pieces were printed, a failure still ends the program as one.
        if (!r.ok()) return fail(r.message);
    }
    if (printed) return 0;
    printRefs(r);
    appsrv::printPacket(out, r.packet, csv);
    return 0;
}
