#pragma once
// Counts this machine's established TCP connections to a local port, as the
// kernel lists them: for checking that a client really hung up.
#include <QFile>
#include <QStringList>

inline int establishedTo(quint16 port)
{
    int n = 0;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly)) continue;
        f.readLine();  // the header
        while (!f.atEnd()) {
            const QStringList cols = QString::fromLatin1(f.readLine()).simplified().split(' ');
            if (cols.size() < 4) continue;
            const quint16 remote = quint16(cols[2].section(':', 1, 1).toUInt(nullptr, 16));
            if (remote == port && cols[3] == QLatin1String("01")) ++n;  // 01: ESTABLISHED
        }
    }
    return n;
}
