#include "consiste.h"

#include <QLocale>
#include <cmath>
#include "editmask.h"
#include "vantiro.h"

const QLocale &hostLocale()
{
    static const QLocale loc(QLocale::Portuguese, QLocale::Brazil);
    return loc;
}

bool EmptyString(const QString &text)
{
    // An untouched date box reports only its separators.
    for (QChar c : text)
        if (!c.isSpace() && c != QLatin1Char('/') && c != QLatin1Char('_')) return false;
    return true;
}

QString Ajusta(const QString &text, int n)
{
    const QString t = text.trimmed();
    if (t.size() >= n) return t.right(n);
    return QString(n - t.size(), QLatin1Char('0')) + t;
}

QDate PriDiaMes(const QDate &d) { return QDate(d.year(), d.month(), 1); }

QDate UltimoDiaMes(const QDate &d) { return QDate(d.year(), d.month(), d.daysInMonth()); }

QString PictPess(const QString &type) { return Vantiro::PictPess(type); }

QString FormatMaskText(const QString &mask, const QString &value)
{
    const EditMask m(mask);
    return m.layout(value, true);
}

double RoundDecimal(double v, int decimals)
{
    static const double kScale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    if (!std::isfinite(v) || decimals < 0 || decimals > 9) return v;
    const double scale = kScale[decimals];
    const double scaled = v * scale;
    if (std::abs(scaled) >= 9e15) return v;  // past the exact integers: nothing left to round
    double whole = std::round(scaled);       // half away from zero
    // Near a half the binary product may lie on the wrong side of it
    // (1.005 * 100 is 100.4999…): its shortest decimal reading decides.
    const double fraction = std::abs(scaled - std::trunc(scaled));
    if (std::abs(fraction - 0.5) < 1e-6) whole = std::round(QString::number(scaled, 'g', 15).toDouble());
    return whole / scale;
}

double RoundMoney(double v) { return RoundDecimal(v, 2); }

qint64 MoneyCents(double v)
{
    const double cents = RoundDecimal(v, 2) * 100;
    return std::isfinite(cents) && std::abs(cents) < 9e15 ? std::llround(cents) : 0;
}

QString FormatFloat(const QString &picture, double v)
{
    // Literal prefix and suffix around the digit placeholders.
    int first = -1, last = -1;
    for (int i = 0; i < picture.size(); ++i) {
        const QChar c = picture.at(i);
        if (c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') ||
            c == QLatin1Char('.')) {
            if (first < 0) first = i;
            last = i;
        }
    }
    if (first < 0) return picture;
    const QString body = picture.mid(first, last - first + 1);
    const int dot = body.indexOf(QLatin1Char('.'));
    const int decimals = dot < 0 ? 0 : body.size() - dot - 1;
    const bool grouping = body.contains(QLatin1Char(','));
    QLocale loc = hostLocale();
    loc.setNumberOptions(grouping ? QLocale::NumberOptions() : QLocale::OmitGroupSeparator);
    QString num = loc.toString(RoundDecimal(v, decimals), 'f', decimals);
    if (num.startsWith(QLatin1Char('-')) && loc.toDouble(num) == 0) num.remove(0, 1);  // no "-0,00"
    return picture.left(first) + num + picture.mid(last + 1);
}

QString ShortDateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString DateTimeText(const QDateTime &dt)
{
    if (!dt.isValid()) return {};
    QString s = ShortDateText(dt.date());
    if (dt.time() != QTime(0, 0)) s += QLatin1Char(' ') + dt.time().toString(QStringLiteral("HH:mm:ss"));
    return s;
}

QDateTime DateTimeFromText(const QString &text)
{
    // What a user of the pt_BR locale writes or sees: the short and long date
    // and date-time forms, with or without seconds, with or without leading zeros.
    const QString t = text.trimmed();
    static const char *const withTime[] = {"d/M/yyyy H:mm:ss", "d/M/yyyy H:mm"};
    for (const char *f : withTime) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid()) return dt;
    }
    const QDate d = QDate::fromString(t, QStringLiteral("d/M/yyyy"));
    if (d.isValid()) return QDateTime(d, QTime(0, 0));
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    for (QLocale::FormatType f : {QLocale::LongFormat, QLocale::ShortFormat}) {
        const QDateTime dt = br.toDateTime(t, f);
        if (dt.isValid()) return dt;
        const QDate ld = br.toDate(t, f);
        if (ld.isValid()) return QDateTime(ld, QTime(0, 0));
    }
    return {};
}
