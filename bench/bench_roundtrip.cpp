// Remote call round trip on loopback against a raw TCP echo of the same size.
// Usage: bench_roundtrip [calls] [--calls-only|--echo-only]   Prints both
// medians and their ratio; with one side only, runs that side alone, for
// counting its system calls (bench/syscalls_per_call).

#include "benchsupport.h"
#include "appserver.h"
#include "codec.h"
#include "netconnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {
// A server object that answers at once: measures the call machinery alone.
class Echo : public appsrv::ServerObject {
public:
    QString name() const override { return "Bench.Echo"; }
    QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const override
    {
        return {{"ping", {wire::ArgKind::TextRef}}};
    }
    wire::Reply invoke(const QString &, const QVector<wire::Arg> &a, QSqlDatabase &) override
    {
        wire::Reply r;
        r.refs << a[0].text;
        return r;
    }
};

// Echoes whatever arrives, on a thread of its own.
class RawEcho : public QThread {
public:
    quint16 port = 0;
    void run() override
    {
        QTcpServer srv;
        srv.listen(QHostAddress::LocalHost, 0);
        port = srv.serverPort();
        ready = true;
        if (!srv.waitForNewConnection(10000)) return;
        QTcpSocket *s = srv.nextPendingConnection();
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        while (s->state() == QAbstractSocket::ConnectedState) {
            if (!s->waitForReadyRead(2000)) break;
            s->write(s->readAll());
            s->waitForBytesWritten(2000);
        }
    }
    std::atomic<bool> ready{false};
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const cmdline::Args args = cmdline::parseArgs(argc, argv, {}, {"calls-only", "echo-only"}, 1,
                                                  "bench_roundtrip [N] [--calls-only|--echo-only]");
    bool okN = true;
    const int n = args.positional.isEmpty() ? 20000 : args.positional[0].toInt(&okN);
    if (!okN || n < 1) return cmdline::fail("bench_roundtrip", QStringLiteral("N inválido: %1").arg(args.positional.value(0)));
    const bool calls = !args.options.contains("echo-only"), echoes = !args.options.contains("calls-only");
    const auto server = bench::startServer("sqlite::memory:", [](appsrv::Server &s) {
        s.registerObject("Bench.Echo", [] { return std::make_unique<Echo>(); });
    });
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = server->port();
    net.ServerName = "Bench.Echo";
    net.Connect();
    QString payload = QString(24, 'x');
    // The same bytes a call frame and its reply carry, echoed raw.
    wire::Call c{"Bench.Echo", "ping", {}};
    wire::Arg a;
    a.kind = wire::ArgKind::TextRef;
    a.text = payload;
    c.args << a;
    const QByteArray frame = wire::frame(wire::encodeCall(c));
    RawEcho echo;
    echo.start();
    while (!echo.ready) QThread::msleep(1);
    QTcpSocket raw;
    raw.connectToHost("127.0.0.1", echo.port);
    raw.waitForConnected(3000);
    raw.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    std::vector<double> tCall, tRaw;
    QElapsedTimer t;
    for (int round = 0; round < 2; ++round) {  // the first round warms up
        tCall.clear();
        tRaw.clear();
        for (int i = 0; i < n; ++i) {
            if (calls) {
                t.start();
                const wire::Reply r = net.Call("ping", {TNetArg::Ref(payload)});
                tCall.push_back(t.nsecsElapsed() / 1000.0);
                if (!r.ok()) { std::fprintf(stderr, "%s\n", qPrintable(r.message)); return 1; }
            }
            if (!echoes) continue;
            t.start();
            raw.write(frame);
            raw.waitForBytesWritten(1000);
            qint64 got = 0;
            while (got < frame.size()) {
                if (!raw.bytesAvailable()) raw.waitForReadyRead(1000);
                got += raw.readAll().size();
            }
            tRaw.push_back(t.nsecsElapsed() / 1000.0);
        }
    }
    raw.disconnectFromHost();
    echo.wait();
    if (!calls || !echoes) {
        std::printf("%s: median %.1f us over %d\n", calls ? "remote calls" : "raw echoes", median(calls ? tCall : tRaw), n);
        return 0;
    }
    const double mc = median(tCall), mr = median(tRaw);
    std::printf("remote call round trip: median %.1f us over %d calls\n", mc, n);
    std::printf("raw TCP echo, same size: median %.1f us\n", mr);
    std::printf("ratio %.2f (budget 1.30)\n", mc / mr);
    return 0;
}
