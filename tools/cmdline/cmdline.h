#pragma once
// What the command-line programs (server, call, demo generator, benchmarks)
// share: reading an address, a small secret file, and failing in one line.
#include <QString>
#include <QStringList>
#include <QHash>

namespace cmdline {

// "HOST:PORT"; the host may be empty or "*" (every address).
bool parseHostPort(const QString &text, QString *host, quint16 *port);
// The trimmed UTF-8 text of a file of at most maxBytes; false with the reason
// (unreadable, larger) in *why.
bool readSmallFile(const QString &path, qsizetype maxBytes, QString *text, QString *why);
// Prints "tool: message" on stderr and returns code, for main's return.
int fail(const char *tool, const QString &message, int code = 2);

// "--name value" options and positional values of a benchmark-style program.
struct Args {
    QHash<QString, QString> options;
    QStringList positional;
    QString value(const QString &name, const QString &fallback = {}) const { return options.value(name, fallback); }
};
// Takes only the options named (flags take no value and read "1") and at most
// maxPositional values: anything else (an unknown option, a missing value, one
// value too many) prints the usage and ends the program with 2; --help prints
// it and ends with 0.
Args parseArgs(int argc, char **argv, const QStringList &options, const QStringList &flags, int maxPositional,
               const char *usage);

}  // namespace cmdline
