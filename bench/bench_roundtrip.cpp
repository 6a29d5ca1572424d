// Remote call round trip on loopback against two echoes of the same bytes: one
// on Qt sockets and the floor, a blocking POSIX echo (send, then recv until the
// frame is back; the other side recv then send on a thread of its own).
// Usage: bench_roundtrip [calls] [--runs R] [--calls-only|--echo-only]
// Each run measures the three in turn, N round trips each after a warm-up;
// prints every run's medians and, over the runs, min/median/max of each and of
// the two ratios. With one side only, runs that side alone, for counting its
// system calls (bench/syscalls_per_call).

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
#include <functional>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
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
        // Waits as long as the calls measured before its turn take: it ends
        // when the other side disconnects.
        while (s->state() == QAbstractSocket::ConnectedState) {
            if (!s->waitForReadyRead(600000)) break;
            s->write(s->readAll());
            s->waitForBytesWritten(2000);
        }
    }
    std::atomic<bool> ready{false};
};

// The floor: blocking POSIX sockets, no event loop, no Qt.
class PosixEcho : public QThread {
public:
    quint16 port = 0;
    std::atomic<bool> ready{false};
    int listener = -1;
    void run() override
    {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        const int c = ::accept(listener, reinterpret_cast<sockaddr *>(&a), &len);
        if (c < 0) return;
        const int one = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            if (::send(c, buf, size_t(n), MSG_NOSIGNAL) != n) break;
        }
        ::close(c);
    }
    bool listen()
    {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return false;
        port = ntohs(a.sin_port);
        return true;
    }
    ~PosixEcho() override
    {
        if (listener >= 0) ::close(listener);
    }
};

int posixConnect(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) return -1;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const cmdline::Args args = cmdline::parseArgs(argc, argv, {"runs"}, {"calls-only", "echo-only"}, 1,
                                                  "bench_roundtrip [N] [--runs R] [--calls-only|--echo-only]");
    bool okN = true, okR = true;
    const int n = args.positional.isEmpty() ? 20000 : args.positional[0].toInt(&okN);
    const int runs = args.value("runs", "10").toInt(&okR);
    if (!okN || n < 1 || !okR || runs < 1) return cmdline::fail("bench_roundtrip", QStringLiteral("N ou R inválido"));
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
    PosixEcho floor;
    if (!floor.listen()) return cmdline::fail("bench_roundtrip", QStringLiteral("eco POSIX não escuta"));
    floor.start();
    const int fd = posixConnect(floor.port);
    if (fd < 0) return cmdline::fail("bench_roundtrip", QStringLiteral("eco POSIX não conecta"));
    QElapsedTimer t;
    const auto timeCalls = [&] {
        std::vector<double> v;
        for (int i = 0; i < n; ++i) {
            t.start();
            const wire::Reply r = net.Call("ping", {TNetArg::Ref(payload)});
            v.push_back(t.nsecsElapsed() / 1000.0);
            if (!r.ok()) {
                std::fprintf(stderr, "%s\n", qPrintable(r.message));
                std::exit(1);
            }
        }
        return median(v);
    };
    const auto timeQtEcho = [&] {
        std::vector<double> v;
        for (int i = 0; i < n; ++i) {
            t.start();
            raw.write(frame);
            raw.waitForBytesWritten(1000);
            qint64 got = 0;
            while (got < frame.size()) {
                if (!raw.bytesAvailable()) raw.waitForReadyRead(1000);
                got += raw.readAll().size();
            }
            v.push_back(t.nsecsElapsed() / 1000.0);
        }
        return median(v);
    };
    const auto timePosixEcho = [&] {
        std::vector<double> v;
        char buf[4096];
        for (int i = 0; i < n; ++i) {
            t.start();
            ::send(fd, frame.constData(), size_t(frame.size()), MSG_NOSIGNAL);
            qint64 got = 0;
            while (got < frame.size()) {
                const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
                if (r <= 0) std::exit(1);
                got += r;
            }
            v.push_back(t.nsecsElapsed() / 1000.0);
        }
        return median(v);
    };
    if (!calls || !echoes) {
        // One side alone (twice: warm-up and measured), for strace.
        const auto side = calls ? std::function<double()>(timeCalls) : std::function<double()>(timeQtEcho);
        side();
        std::printf("%s: median %.1f us over %d\n", calls ? "remote calls" : "raw echoes", side(), n);
        return 0;
    }
    timeCalls();  // warm-up
    timeQtEcho();
    timePosixEcho();
    std::vector<double> mc, mq, mp, rq, rp;
    for (int run = 0; run < runs; ++run) {
        mc.push_back(timeCalls());
        mq.push_back(timeQtEcho());
        mp.push_back(timePosixEcho());
        rq.push_back(mc.back() / mq.back());
        rp.push_back(mc.back() / mp.back());
        std::printf("run %d: call %.1f us, Qt echo %.1f us, POSIX echo %.1f us\n", run + 1, mc.back(), mq.back(), mp.back());
    }
    ::close(fd);
    raw.disconnectFromHost();
    echo.wait();
    floor.wait();
    const auto spread = [](const char *what, std::vector<double> v, const char *unit) {
        std::sort(v.begin(), v.end());
        std::printf("%-32s min %.2f, median %.2f, max %.2f%s\n", what, v.front(), v[v.size() / 2], v.back(), unit);
    };
    std::printf("over %d runs of %d round trips each (medians per run):\n", runs, n);
    spread("remote call round trip", mc, " us");
    spread("Qt echo, same bytes", mq, " us");
    spread("POSIX blocking echo, same bytes", mp, " us");
    spread("ratio to the Qt echo", rq, "");
    spread("ratio to the POSIX echo", rp, " (goal 1.5)");
    return 0;
}
