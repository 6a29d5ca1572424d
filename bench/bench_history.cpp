// Building and serialising a history packet of N rows against reading the same
// rows with the same SQL in the same process.
// Usage: bench_history [sqlite-file]   (generates the large demo database when absent)
#include "benchsupport.h"
#include "codec.h"
#include "dbconnect.h"
#include "generator.h"
#include "rdmhistoricobem.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const cmdline::Args given = cmdline::parseArgs(argc, argv, {}, {}, 1, "bench_history [arquivo-sqlite]");
    const QString file = bench::largeDemo(given.positional.value(0));
    QSqlDatabase db = dbconnect::open("sqlite:" + file, "bench", true);
    QVector<wire::Arg> args(27);
    args[0].text = "01";
    args[1].kind = args[2].kind = wire::ArgKind::Date;
    args[1].dateEmpty = args[2].dateEmpty = true;
    for (int i = 3; i < 27; ++i) args[i].kind = wire::ArgKind::TextRef;
    args[3].text = "T";
    for (int i : {5, 7, 9, 11, 13, 16, 18, 20, 22, 24, 26}) args[i].text = "T";
    args[14].text = "_1_2_3_";
    trq01300::RdmHistoricoBem obj;
    QElapsedTimer t;
    double best[2] = {1e18, 1e18};
    int rows = 0;
    qint64 bytes = 0;
    for (int round = 0; round < 3; ++round) {
        // Raw: the same statement, every value read.
        t.start();
        const trq01300::HistoryStatement st = trq01300::historyStatement(args);
        QSqlQuery q = trq01300::run(db, st.sql, st.filter);
        const int cols = st.target.size();
        qint64 sink = 0;
        int n = 0;
        while (q.next()) {
            for (int c = 0; c < cols; ++c) sink += q.value(c).isNull() ? 0 : 1;
            ++n;
        }
        best[0] = std::min(best[0], t.nsecsElapsed() / 1e6);
        // Server path: packet built, encoded and framed into a buffer.
        t.start();
        const wire::Reply r = obj.invoke("GetHistoricoOpBem", args, db);
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        wire::writeReply(&buf, r, 1000);
        best[1] = std::min(best[1], t.nsecsElapsed() / 1e6);
        const auto back = wire::decodeReply(out.mid(4));
        rows = back ? back->packet.rows.size() : -1;
        bytes = out.size();
        if (n != rows || sink == 0) { std::fprintf(stderr, "row counts differ: %d vs %d\n", n, rows); return 1; }
    }
    std::printf("history rows: %d, packet %.1f MB\n", rows, bytes / 1e6);
    std::printf("raw query, all values read: %.0f ms\n", best[0]);
    std::printf("history packet built and sent: %.0f ms\n", best[1]);
    std::printf("ratio %.2f (budget 1.50)\n", best[1] / best[0]);
    return 0;
}
