// The application server under many desktops, on the small demo database (or
// the PostgreSQL database given):
//  1. N idle connections held after their hello (default 1,000), with the
//     server's thread count and a new client served while they stay;
//  2. C clients x K mixed calls each (default 50 x 1,000): errors and latency
//     percentiles;
//  3. a mutation fuzzer over valid frames for S seconds (default 180): the
//     server must keep answering and its memory stay flat;
//  4. with --selection N, one history call whose asset criterion lists N codes.
// Usage: bench_load [--db URL] [--idle N] [--clients C] [--calls K] [--fuzz S] [--selection N]
#include "appserver.h"
#include "benchsupport.h"
#include "codec.h"
#include "dbconnect.h"
#include "generator.h"
#include "netconnection.h"
#include "trq01300_methods.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

using A = TNetArg;

namespace {

long statusField(const char *name)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(name)) return line.mid(int(strlen(name))).trimmed().split(' ').first().toLong();
    return -1;
}

TNetConnection *client(quint16 port)
{
    auto *c = new TNetConnection;
    c->Host = "127.0.0.1";
    c->Port = port;
    c->ServerName = trq01300::kObjectName;
    return c;
}

// The 23 criteria of the history call with no restriction: each selection
// empty and its flag "T", every situation. The situation has no flag, so past it
// the flags sit on the even slots.
QVector<QString> allCriteria()
{
    QVector<QString> crit(23);
    for (int k = 0; k < 23; ++k) crit[k] = k < 10 ? (k % 2 ? "T" : "") : k == 10 ? "_1_2_3_" : (k % 2 ? "" : "T");
    return crit;
}

constexpr int kCallKinds = 5;

// Operations that exist (number, asset), read once before the clients start,
// so that the detail calls ask for real operations.
QVector<QPair<QString, QString>> g_operations;

void readOperations(TNetConnection &c)
{
    QVector<TNetArg> args{A::Val("01"), A::Date(QDate()), A::Date(QDate())};
    QString dt = "T";
    QVector<QString> crit = allCriteria();
    args << A::Ref(dt);
    for (QString &x : crit) args << A::Ref(x);
    const wire::Reply r = c.Call("GetHistoricoOpBem", args);
    const int op = r.packet.indexOf("NRSEQOPERABEM"), bem = r.packet.indexOf("CDBEMATIVO");
    for (int i = 0; r.ok() && op >= 0 && bem >= 0 && i < r.packet.rows.size() && g_operations.size() < 5000; ++i)
        g_operations.push_back({r.packet.rows.value(i, op).toString(), r.packet.rows.value(i, bem).toString()});
}

// One of the calls a desktop makes, chosen by i.
wire::Reply mixedCall(TNetConnection &c, int i)
{
    QString ref = "0001", empty, t = "T", op = QString::number(1 + i % 1400).rightJustified(8, '0');
    switch (i % kCallKinds) {
    case 0: return c.Call("getSetor", {A::Val("T")});
    case 1: return c.Call("getIndFin", {A::Ref(ref), A::Val(QDate(2024, 1, 1).addDays(i % 700).toString("dd/MM/yyyy"))});
    case 2: {
        const auto &o = g_operations.isEmpty() ? QPair<QString, QString>{op, "000001"} : g_operations[(i / kCallKinds) % g_operations.size()];
        return c.Call("GetEspecOper", {A::Val("01"), A::Val("R"), A::Val(o.first), A::Val(o.second)});
    }
    case 3: return c.Call("getBem", {A::Val("01"), A::Ref(empty), A::Ref(t)});
    default: {
        QVector<TNetArg> args{A::Val("01"), A::Date(QDate(2024, 3, 1).addDays(i % 300)), A::Date(QDate(2024, 3, 8).addDays(i % 300))};
        QString dt;
        static thread_local QVector<QString> crit;
        crit = allCriteria();
        args << A::Ref(dt);
        for (QString &x : crit) args << A::Ref(x);
        return c.Call("GetHistoricoOpBem", args);
    }
    }
}

double pct(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * v.size()))];
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString url;
    int idle = 1000, clients = 50, calls = 1000, fuzzSeconds = 180, selection = 0;
    const cmdline::Args args = cmdline::parseArgs(argc, argv, {"db", "idle", "clients", "calls", "fuzz", "selection"}, {}, 0,
                                                  "bench_load [--db URL] [--idle N] [--clients C] [--calls K] [--fuzz S] [--selection N]");
    url = args.value("db");
    for (auto [name, value] : {std::pair{"idle", &idle}, {"clients", &clients}, {"calls", &calls}, {"fuzz", &fuzzSeconds},
                               {"selection", &selection}}) {
        if (!args.options.contains(name)) continue;
        bool ok = false;
        *value = args.value(name).toInt(&ok);
        if (!ok || *value < 0) return cmdline::fail("bench_load", QStringLiteral("--%1 inválido").arg(name));
    }
    QTemporaryDir dir;
    if (url.isEmpty()) {
        url = "sqlite:" + dir.filePath("demo.db");
        demo::generate(dbconnect::open(url, "gen", dbconnect::Mode::Create), {});
        dbconnect::close("gen");
    }
    const auto server = bench::startServer(url);
    const quint16 port = server->port();
    std::printf("database %s, %d workers\n", qPrintable(url.section('@', -1)), appsrv::Config().workers);
    int status = 0;

    // 4. A long selection costs in proportion to its codes.
    if (selection > 0) {
        QStringList codes;
        for (int i = 0; i < selection; ++i) codes << QString::number(i + 1).rightJustified(6, '0');
        std::unique_ptr<TNetConnection> c(client(port));
        QVector<TNetArg> args{A::Val("01"), A::Date(QDate(2024, 1, 1)), A::Date(QDate(2024, 3, 31))};
        QString dt;
        QVector<QString> crit = allCriteria();
        crit[2] = codes.join(',');
        crit[3].clear();
        args << A::Ref(dt);
        for (QString &x : crit) args << A::Ref(x);
        QElapsedTimer t;
        t.start();
        const wire::Reply r = c->Call("GetHistoricoOpBem", args);
        std::printf("history with %d asset codes: %s, %lld rows, %lld ms\n", selection, r.ok() ? "ok" : qPrintable(r.message),
                    static_cast<long long>(r.packet.rows.size()), t.elapsed());
        idle = clients = 0;
        fuzzSeconds = 0;
    }

    // 1. Idle connections.
    if (idle > 0) {
        const long threadsBefore = statusField("Threads:");
        std::vector<std::unique_ptr<QTcpSocket>> held;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < idle; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost("127.0.0.1", port);
            if (!s->waitForConnected(5000)) break;
            s->write(wire::frame(wire::encodeHello({})));
            QByteArray answer;
            if (wire::readFrame(s.get(), &answer, wire::kMaxFrameBytes, 5000) != wire::ReadStatus::Ok) break;
            held.push_back(std::move(s));
        }
        const long threadsHeld = statusField("Threads:");
        std::unique_ptr<TNetConnection> fresh(client(port));
        QElapsedTimer ct;
        ct.start();
        const bool served = fresh->Call("getSetor", {A::Val("T")}).ok();
        std::printf("idle connections held: %zu of %d in %lld ms; threads %ld before, %ld with them held; "
                    "a new client %s in %.1f ms\n",
                    held.size(), idle, t.elapsed(), threadsBefore, threadsHeld, served ? "served" : "NOT served",
                    ct.nsecsElapsed() / 1e6);
        if (int(held.size()) < idle || !served || threadsHeld > threadsBefore + 2) status = 2;
    }

    // 2. Many clients, mixed calls.
    if (clients > 0) {
        {
            std::unique_ptr<TNetConnection> c(client(port));
            readOperations(*c);
            std::printf("  %lld operations for the detail calls\n", static_cast<long long>(g_operations.size()));
        }
        std::vector<double> lat;
        std::mutex m;
        std::atomic<int> errors{0};
        std::atomic<long long> rowsOfKind[kCallKinds] = {};
        QElapsedTimer t;
        t.start();
        std::vector<QThread *> threads;
        for (int c = 0; c < clients; ++c) {
            threads.push_back(QThread::create([&, c] {
                std::unique_ptr<TNetConnection> net(client(port));
                std::vector<double> mine;
                mine.reserve(calls);
                for (int i = 0; i < calls; ++i) {
                    QElapsedTimer ct;
                    ct.start();
                    const int which = c * 7919 + i;
                    const wire::Reply r = mixedCall(*net, which);
                    mine.push_back(ct.nsecsElapsed() / 1e6);
                    rowsOfKind[which % kCallKinds] += r.packet.rows.size();
                    if (!r.ok()) {
                        if (errors.fetch_add(1) < 5) std::printf("  error: %s\n", qPrintable(r.message));
                    }
                }
                std::lock_guard<std::mutex> lock(m);
                lat.insert(lat.end(), mine.begin(), mine.end());
            }));
            threads.back()->start();
        }
        for (QThread *th : threads) {
            th->wait();
            delete th;
        }
        std::printf("%d clients x %d mixed calls in %.1f s: %d errors; latency p50 %.1f ms, p95 %.1f ms, p99 %.1f ms\n",
                    clients, calls, t.elapsed() / 1000.0, int(errors), pct(lat, 0.5), pct(lat, 0.95), pct(lat, 0.99));
        if (errors > 0) status = 2;
        // Figures that include no rows of some kind of call measure nothing of it.
        const char *kinds[kCallKinds] = {"getSetor", "getIndFin", "GetEspecOper", "getBem", "GetHistoricoOpBem"};
        std::printf("  rows read:");
        for (int k = 0; k < kCallKinds; ++k) {
            std::printf(" %s %lld", kinds[k], static_cast<long long>(rowsOfKind[k]));
            if (rowsOfKind[k] == 0) status = 2;
        }
        std::printf("%s\n", status == 2 ? "  (a kind of call read no rows)" : "");
    }

    // 3. Fuzzer: valid frames with bytes flipped, cut, repeated or grown.
    if (fuzzSeconds > 0) {
        QVector<QByteArray> seeds;
        QString empty, t = "T", ref = "0001";
        seeds << wire::encodeHello({}) << wire::encodeCall({trq01300::kObjectName, "getSetor", {A::Val("T").arg}})
              << wire::encodeCall({trq01300::kObjectName, "getIndFin", {A::Ref(ref).arg, A::Val("04/03/2020").arg}})
              << wire::encodeCall({trq01300::kObjectName, "getBem", {A::Val("01").arg, A::Ref(empty).arg, A::Ref(t).arg}});
        QRandomGenerator rng(1300);
        QElapsedTimer t0;
        t0.start();
        long rssStart = -1, frames = 0, aliveChecks = 0, dead = 0;
        while (t0.elapsed() < fuzzSeconds * 1000) {
            QTcpSocket s;
            s.connectToHost("127.0.0.1", port);
            if (!s.waitForConnected(2000)) { ++dead; continue; }
            if (rng.bounded(4) != 0) s.write(wire::frame(seeds[0]));  // usually past the hello
            for (int k = 0; k < 20; ++k) {
                QByteArray p = seeds[rng.bounded(seeds.size())];
                switch (rng.bounded(5)) {
                case 0: for (int f = 0; f < 1 + int(rng.bounded(8)); ++f) p[rng.bounded(p.size())] = char(rng.bounded(256)); break;
                case 1: p.truncate(rng.bounded(p.size())); break;
                case 2: p.insert(rng.bounded(p.size()), QByteArray(int(rng.bounded(64)), char(rng.bounded(256)))); break;
                case 3: p = p.repeated(1 + int(rng.bounded(4))); break;
                default: break;
                }
                QByteArray f = wire::frame(p);
                if (rng.bounded(10) == 0) qToBigEndian<quint32>(rng.generate(), f.data());  // a lying length
                s.write(f);
                ++frames;
            }
            s.flush();
            s.waitForReadyRead(20);
            s.abort();
            if (++aliveChecks % 200 == 0) {
                std::unique_ptr<TNetConnection> probe(client(port));
                if (!probe->Call("getSetor", {A::Val("T")}).ok()) ++dead;
                const long rss = statusField("VmRSS:");
                if (rssStart < 0 && t0.elapsed() > 10000) rssStart = rss;
            }
        }
        std::unique_ptr<TNetConnection> probe(client(port));
        const bool alive = probe->Call("getSetor", {A::Val("T")}).ok();
        const long rssEnd = statusField("VmRSS:");
        std::printf("fuzzer: %ld mutated frames over %d s; server %s; failed probes %ld; RSS %ld kB after 10 s, %ld kB at the end\n",
                    frames, fuzzSeconds, alive ? "answering" : "NOT answering", dead, rssStart, rssEnd);
        if (!alive || dead > 0 || (rssStart > 0 && rssEnd > rssStart * 3 / 2)) status = 2;
    }
    server->stop();
    return status;
}
