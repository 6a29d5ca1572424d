// Building a history packet and sending it onto a socket, in pieces as the
// server does, against reading the same rows with the same SQL in the same
// process.
// Usage: bench_history [sqlite-file] [rounds]   (default 5; generates the large
// demo database when absent)
#include "benchsupport.h"
#include "codec.h"
#include "dbconnect.h"
#include "generator.h"
#include "piecesender.h"
#include "rdmhistoricobem.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const cmdline::Args given = cmdline::parseArgs(argc, argv, {}, {}, 2, "bench_history [arquivo-sqlite] [rodadas]");
    const QString file = bench::largeDemo(given.positional.value(0));
    QSqlDatabase db = dbconnect::open("sqlite:" + file, "bench", true);
    const QVector<wire::Arg> args = bench::wholeHistoryArgs(QStringLiteral("01"));
    trq01300::RdmHistoricoBem obj;
    QElapsedTimer t;
    std::vector<double> raw, packet, ratio;
    int rows = 0;
    qint64 bytes = 0;
    const int rounds = given.positional.size() > 1 ? std::max(1, given.positional[1].toInt()) : 5;
    for (int round = 0; round <= rounds; ++round) {  // the first warms the pages
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
        const double rawMs = t.nsecsElapsed() / 1e6;
        // Server path, as a server runs it for a desktop: the packet written
        // in pieces onto a socket while the rows are read; a thread on the
        // other end takes the bytes as a client would.
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 1;
        QByteArray received;
        std::thread reader([&] {
            QByteArray chunk(1 << 20, Qt::Uninitialized);
            // Kept in the first round only, to be checked: a client reads into memory it already has.
            for (ssize_t n; (n = ::read(pair[1], chunk.data(), size_t(chunk.size()))) > 0;) {
                if (round == 0) received.append(chunk.constData(), n);
                bytes += round == 0 ? n : 0;
            }
        });
        ::fcntl(pair[0], F_SETFL, ::fcntl(pair[0], F_GETFL) | O_NONBLOCK);
        t.start();
        appsrv::PieceSender sender(pair[0], wire::kMaxFrameBytes, nullptr);
        const wire::Reply r = obj.invokeStreaming("GetHistoricoOpBem", args, db, &sender);
        wire::Reply failed;
        const QByteArray rest = sender.started() ? sender.finish(r, &failed) : wire::replyFrame(r);
        // What the socket did not take at once is sent as the server's event loop would.
        for (qsizetype at = 0; at < rest.size();) {
            const ssize_t n = ::send(pair[0], rest.constData() + at, size_t(rest.size() - at), MSG_NOSIGNAL);
            if (n > 0) at += n;
            else ::poll(std::array<pollfd, 1>{pollfd{pair[0], POLLOUT, 0}}.data(), 1, 1000);
        }
        const double packetMs = t.nsecsElapsed() / 1e6;
        if (round > 0) {
            raw.push_back(rawMs);
            packet.push_back(packetMs);
            ratio.push_back(packetMs / rawMs);
        }
        ::close(pair[0]);
        reader.join();
        ::close(pair[1]);
        if (round == 0) {
            QBuffer in(&received);
            in.open(QIODevice::ReadOnly);
            wire::Reply back;
            QString why;
            rows = wire::readReply(&in, &back, 1000, &why) == wire::ReadStatus::Ok && back.ok() ? back.packet.rows.size() : -1;
        }
        if ((round == 0 && n != rows) || sink == 0) { std::fprintf(stderr, "row counts differ: %d vs %d\n", n, rows); return 1; }
    }
    const auto spread = [](const char *what, std::vector<double> v, int decimals, const char *goal) {
        std::sort(v.begin(), v.end());
        std::printf("%-34s min %.*f, median %.*f, max %.*f%s\n", what, decimals, v.front(), decimals, v[v.size() / 2], decimals,
                    v.back(), goal);
    };
    std::printf("history rows: %d, packet %.1f MB, %d rounds (ratio: each round's packet over its raw query)\n", rows,
                bytes / 1e6, rounds);
    spread("raw query, all values read (ms)", raw, 0, "");
    spread("history packet built and sent (ms)", packet, 0, "");
    spread("ratio", ratio, 2, " (goal 1.15)");
    return 0;
}
