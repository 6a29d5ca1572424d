#include "cmdline.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>

namespace cmdline {

bool parseHostPort(const QString &text, QString *host, quint16 *port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return false;
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p < 0 || p > 65535) return false;
    *host = text.left(colon);
    *port = quint16(p);
    return true;
}

bool readSmallFile(const QString &path, qsizetype maxBytes, QString *text, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("não foi possível ler o arquivo %1").arg(path);
        return false;
    }
    const QByteArray raw = f.read(maxBytes + 1);
    if (raw.size() > maxBytes) {
        *why = QStringLiteral("o arquivo %1 passa de %2 bytes").arg(path).arg(maxBytes);
        return false;
    }
    *text = QString::fromUtf8(raw).trimmed();
    return true;
}

bool readOptionsFile(const QString &path, const QStringList &allowed, QHash<QString, QString> *values, QString *why)
{
    QString text;
    if (!readSmallFile(path, 64 * 1024, &text, why)) return false;
    values->clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';'))) continue;
        const auto refuse = [&](const QString &what) {
            *why = QStringLiteral("%1, linha %2: %3").arg(path).arg(i + 1).arg(what);
            return false;
        };
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) return refuse(QStringLiteral("falta \"=\""));
        const QString name = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (!allowed.contains(name)) return refuse(QStringLiteral("opção desconhecida \"%1\"").arg(name));
        if (values->contains(name)) return refuse(QStringLiteral("\"%1\" aparece mais de uma vez").arg(name));
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        values->insert(name, value);
    }
    return true;
}

bool parseSwitch(const QString &text, bool *on)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("1") || t == QLatin1String("on")) *on = true;
    else if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("0") || t == QLatin1String("off")) *on = false;
    else return false;
    return true;
}

int fail(const char *tool, const QString &message, int code)
{
    std::fprintf(stderr, "%s: %s\n", tool, qPrintable(message));
    return code;
}

Args parseArgs(int argc, char **argv, const QStringList &options, const QStringList &flags, int maxPositional,
               const char *usage)
{
    Args a;
    const auto refuse = [&](const QString &why, int code) {
        if (!why.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(why));
        std::fprintf(code ? stderr : stdout, "uso: %s\n", usage);
        std::exit(code);
    };
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) refuse({}, 0);
        if (arg.startsWith(QLatin1Char('-'))) {
            const QString name = arg.mid(2);
            if (arg.startsWith(QLatin1String("--")) && flags.contains(name)) {
                a.options.insert(name, QStringLiteral("1"));
                continue;
            }
            if (!arg.startsWith(QLatin1String("--")) || !options.contains(name))
                refuse(QStringLiteral("opção desconhecida: %1").arg(arg), 2);
            if (i + 1 >= argc) refuse(QStringLiteral("falta o valor de %1").arg(arg), 2);
            a.options.insert(name, QString::fromLocal8Bit(argv[++i]));
            continue;
        }
        if (a.positional.size() >= maxPositional) refuse(QStringLiteral("argumento a mais: %1").arg(arg), 2);
        a.positional << arg;
    }
    return a;
}

}  // namespace cmdline
