// The whole 120,000-row history of the large demo received and printed by
// appserver-call --csv, a new process each run, against the server's own time
// for the call (its log line) and against the reply's size for the client's
// peak memory. The server is the real appserver program on loopback.
// Usage: bench_call [sqlite-file] [runs]   (default 5 runs)
#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {
struct Run {
    double wallMs = 0, serverMs = 0, peakMb = 0, replyMb = 0;
};

// A new appserver-call process: its wall time and peak resident memory.
bool callOnce(const QString &program, const QStringList &args, Run *run)
{
    std::vector<QByteArray> owned{program.toLocal8Bit()};
    for (const QString &a : args) owned.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    const int err = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (err != 0) return false;
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid) return false;
    run->wallMs = t.nsecsElapsed() / 1e6;
    run->peakMb = use.ru_maxrss * 1024.0 / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void spread(const char *what, std::vector<double> v, const char *unit, const char *goal = "")
{
    std::sort(v.begin(), v.end());
    std::printf("%-40s min %.2f, median %.2f, max %.2f %s%s\n", what, v.front(), v[v.size() / 2], v.back(), unit, goal);
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const cmdline::Args given = cmdline::parseArgs(argc, argv, {}, {}, 2, "bench_call [arquivo-sqlite] [execuções]");
    const QString file = bench::largeDemo(given.positional.value(0));
    bool ok = true;
    const int runs = given.positional.size() > 1 ? given.positional[1].toInt(&ok) : 5;
    if (!ok || runs < 1) return cmdline::fail("bench_call", QStringLiteral("número de execuções inválido"));
    const QString dir = QCoreApplication::applicationDirPath();
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QTemporaryDir tmp;
    const QString log = tmp.filePath("appserver.log");
    QProcess server;
    server.setStandardErrorFile(log);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.start(dir + "/appserver", {"--db", "sqlite:" + file, "--listen", QStringLiteral("127.0.0.1:%1").arg(port),
                                      "--log-level", "info", "--metrics-interval", "0"});
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        QTcpSocket s;
        s.connectToHost("127.0.0.1", port);
        up = s.waitForConnected(100);
        if (!up) QThread::msleep(100);
    }
    if (!up) return cmdline::fail("bench_call", QStringLiteral("o servidor não subiu"));
    QStringList args{"--server", QStringLiteral("127.0.0.1:%1").arg(port), "--csv", "Trq01300.rdmHistoricoBem",
                     "GetHistoricoOpBem"};
    // As appserver-call writes them: a text, "date:" for the empty date, "ref:" before a reference.
    for (const wire::Arg &a : bench::wholeHistoryArgs(QStringLiteral("01")))
        args << (a.kind == wire::ArgKind::Date ? QStringLiteral("date:")
                 : a.kind == wire::ArgKind::TextRef ? "ref:" + a.text
                                                     : a.text);
    static const QRegularExpression line(QStringLiteral(" GetHistoricoOpBem (\\d+) ms ok (\\d+) bytes"));
    std::vector<Run> all;
    qsizetype seen = 0;
    for (int i = 0; i <= runs; ++i) {  // the first warms the database's pages
        Run run;
        if (!callOnce(dir + "/appserver-call", args, &run)) return cmdline::fail("bench_call", QStringLiteral("a chamada falhou"));
        // The server logs the call once its last byte left: read that line.
        QRegularExpressionMatch m;
        for (int wait = 0; wait < 200 && !m.hasMatch(); ++wait) {
            QFile f(log);
            f.open(QIODevice::ReadOnly);
            f.seek(seen);
            const QByteArray more = f.readAll();
            m = line.match(QString::fromUtf8(more));
            if (m.hasMatch()) seen += more.size();
            else QThread::msleep(10);
        }
        if (!m.hasMatch()) return cmdline::fail("bench_call", QStringLiteral("linha do servidor não encontrada"));
        run.serverMs = m.captured(1).toDouble();
        run.replyMb = m.captured(2).toDouble() / 1e6;
        if (i > 0) all.push_back(run);
    }
    server.terminate();
    server.waitForFinished(10000);
    std::vector<double> wall, serverMs, ratio, peak, memRatio;
    for (const Run &r : all) {
        wall.push_back(r.wallMs);
        serverMs.push_back(r.serverMs);
        ratio.push_back(r.wallMs / r.serverMs);
        peak.push_back(r.peakMb);
        memRatio.push_back(r.peakMb / r.replyMb);
    }
    std::printf("whole history of company 01 through appserver-call --csv, %d runs, reply %.1f MB:\n", runs, all.front().replyMb);
    spread("appserver-call, started to ended", wall, "ms");
    spread("the server's time for the call", serverMs, "ms");
    spread("ratio", ratio, "", " (goal 1.1)");
    spread("appserver-call peak resident memory", peak, "MB");
    spread("peak memory / reply", memRatio, "", " (goal 1.5)");
    return 0;
}
