// Cold start to a usable window: backoffice started as a user starts it (the
// embedded default, a home of its own) until its main window has painted,
// against a Qt hello-world window doing the same, both in new processes.
// Usage: bench_coldstart [runs]   (default 10; QT_QPA_PLATFORM offscreen
// unless set). The first start of backoffice, which makes the demo database,
// is reported apart.
#include "cmdline.h"
#include "firstpaintquits.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// The reference: the least a Qt program does to show a window.
int helloWorld(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setCentralWidget(new QLabel(QStringLiteral("Olá")));
    w.resize(1024, 700);
    FirstPaintQuits quits;
    w.installEventFilter(&quits);
    w.show();
    return app.exec();
}

double timed(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s did not start and end cleanly:\n%s\n", qPrintable(program), p.readAllStandardError().constData());
        std::exit(1);
    }
    return t.nsecsElapsed() / 1e6;
}

void spread(const char *what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%-34s min %.0f, median %.0f, max %.0f ms\n", what, v.front(), v[v.size() / 2], v.back());
}
}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--hello") == 0) return helloWorld(argc, argv);
    QCoreApplication app(argc, argv);
    const cmdline::Args args = cmdline::parseArgs(argc, argv, {}, {}, 1, "bench_coldstart [runs]");
    bool ok = true;
    const int runs = args.positional.isEmpty() ? 10 : args.positional[0].toInt(&ok);
    if (!ok || runs < 1) return cmdline::fail("bench_coldstart", QStringLiteral("número de execuções inválido"));
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.value("QT_QPA_PLATFORM").isEmpty()) env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home.path());
    env.remove("XDG_DATA_HOME");
    env.remove("XDG_CONFIG_HOME");
    const QString dir = QCoreApplication::applicationDirPath();
    const double first = timed(dir + "/backoffice", {"--exit-when-shown"}, env);
    std::vector<double> ours, hello, ratio;
    for (int i = 0; i < runs; ++i) {
        ours.push_back(timed(dir + "/backoffice", {"--exit-when-shown"}, env));
        hello.push_back(timed(QCoreApplication::applicationFilePath(), {"--hello"}, env));
        ratio.push_back(ours.back() / hello.back());
    }
    std::printf("cold start to the main window painted (platform %s), %d runs:\n", qPrintable(env.value("QT_QPA_PLATFORM")), runs);
    std::printf("%-34s %.0f ms\n", "backoffice, first start (makes the demo)", first);
    spread("backoffice", ours);
    spread("Qt hello-world window", hello);
    std::sort(ratio.begin(), ratio.end());
    std::printf("%-34s min %.2f, median %.2f, max %.2f (goal 2)\n", "ratio", ratio.front(), ratio[ratio.size() / 2], ratio.back());
    return 0;
}
