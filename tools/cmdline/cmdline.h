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
// A program's options kept in a file, one "name = value" per line, named as
// the long options ("workers = 8"); "#" or ";" begins a comment line, blank
// lines are skipped, a value may stand in double quotes. At most 64 KB; a name
// not among allowed, one given twice or a line without "=" is refused with
// the line's number in *why, so that a typo never passes unnoticed.
bool readOptionsFile(const QString &path, const QStringList &allowed, QHash<QString, QString> *values, QString *why);
// "true"/"false" (also yes/no, 1/0, on/off) of an options file; false when
// the text is none of them.
bool parseSwitch(const QString &text, bool *on);

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
