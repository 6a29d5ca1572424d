#pragma once
// Counts the process's open descriptors whose target, as /proc shows it
// ("socket:[123]", "/tmp/x (deleted)"), passes a test: for checking that
// sockets and work files go away.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <unistd.h>

template <typename Test>
int openDescriptors(Test test)
{
    int n = 0;
    const QDir fds("/proc/self/fd");
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t len = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target);
        if (len > 0 && test(QByteArray(target, int(len)))) ++n;
    }
    return n;
}
