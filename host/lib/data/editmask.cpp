#include "editmask.h"

EditMask::EditMask(const QString &mask)
{
    // Split "body;save;blank" from the right: the blank character may itself be ';'.
    QString body = mask;
    const QStringList parts = mask.split(QLatin1Char(';'));
    if (parts.size() >= 3) {
        const int last = mask.lastIndexOf(QLatin1Char(';'), mask.size() - 2);
        const QString blank = mask.mid(last + 1);
        const int prev = mask.lastIndexOf(QLatin1Char(';'), last - 1);
        body = mask.left(prev);
        m_saveLiterals = mask.mid(prev + 1, last - prev - 1) != QLatin1String("0");
        m_blank = blank.isEmpty() ? QLatin1Char(' ') : blank.at(0);
    } else if (parts.size() == 2) {
        body = parts[0];
        m_saveLiterals = parts[1] != QLatin1String("0");
    }
    int caseMode = 0;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('!')) { m_leading = true; continue; }
        if (c == QLatin1Char('<') && i + 1 < body.size() && body.at(i + 1) == QLatin1Char('>')) {
            caseMode = 0; ++i; continue;
        }
        if (c == QLatin1Char('>')) { caseMode = 1; continue; }
        if (c == QLatin1Char('<')) { caseMode = -1; continue; }
        if (c == QLatin1Char('\\') && i + 1 < body.size()) {
            m_slots.push_back({true, body.at(++i), 0});
            continue;
        }
        static const QString kInput = QStringLiteral("09#LlAaCc");
        if (kInput.contains(c)) m_slots.push_back({false, c, caseMode});
        else m_slots.push_back({true, c, 0});
    }
}

int EditMask::inputSlots() const
{
    int n = 0;
    for (const Slot &s : m_slots) n += s.literal ? 0 : 1;
    return n;
}

bool EditMask::accepts(const Slot &s, QChar c)
{
    switch (s.ch.unicode()) {
    case '0': case '9': return c.isDigit();
    case '#': return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
    case 'L': case 'l': return c.isLetter();
    case 'A': case 'a': return c.isLetterOrNumber();
    default: return !c.isNull();
    }
}

QChar EditMask::applyCase(const Slot &s, QChar c) const
{
    return s.caseMode > 0 ? c.toUpper() : s.caseMode < 0 ? c.toLower() : c;
}

QString EditMask::filter(const QString &raw) const
{
    QString out;
    QVector<const Slot *> inputs;
    for (const Slot &s : m_slots)
        if (!s.literal) inputs << &s;
    for (QChar c : raw) {
        if (out.size() >= inputs.size()) break;
        const Slot &s = *inputs[out.size()];
        if (accepts(s, c)) out += applyCase(s, c);
    }
    return out;
}

QString EditMask::layout(const QString &input, bool withLiterals) const
{
    if (m_slots.isEmpty()) return input;
    const int n = inputSlots();
    QString in = input.left(n);
    const int missing = n - in.size();
    // Missing characters go in front with '!', behind otherwise.
    QString padded = m_leading ? QString(missing, m_blank) + in : in + QString(missing, m_blank);
    QString out;
    int k = 0;
    for (const Slot &s : m_slots) {
        if (s.literal) {
            if (withLiterals) out += s.ch;
        } else {
            out += padded.at(k++);
        }
    }
    return out;
}
