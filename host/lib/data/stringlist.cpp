#include "stringlist.h"

int TStringList::IndexOfName(const QString &name) const
{
    for (int i = 0; i < Lines.size(); ++i) {
        const int eq = Lines[i].indexOf(QLatin1Char('='));
        if (eq >= 0 && Lines[i].left(eq).compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString TStringList::Value(const QString &name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? QString() : Lines[i].mid(Lines[i].indexOf(QLatin1Char('=')) + 1);
}

void TStringList::SetValue(const QString &name, const QString &value)
{
    const int i = IndexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0) Lines.removeAt(i);
        return;
    }
    if (i >= 0) Lines[i] = name + QLatin1Char('=') + value;
    else Lines << name + QLatin1Char('=') + value;
}
