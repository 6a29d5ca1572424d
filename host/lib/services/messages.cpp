#include "messages.h"
#include "dispatch.h"

#include <QFile>

TMessages::TMessages(QObject *parent, const QString &name) : QObject(parent) { setObjectName(name); }

void TMessages::LoadFromFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw host::EHostError(QStringLiteral("Tabela de mensagens '%1' não encontrada.").arg(path));
    QStringList lines;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        QString line = QString::fromUtf8(raw);
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (!line.isEmpty()) lines << line;  // trailing blanks of a text are kept
    }
    SetLines(lines);
}

void TMessages::SetLines(const QStringList &lines) { m_lines = lines; }

QString TMessages::Msg(const QString &key) const
{
    const QString prefix = key + QLatin1Char('|');
    for (const QString &l : m_lines)
        if (l.startsWith(prefix)) return l.mid(prefix.size());
    return {};
}
