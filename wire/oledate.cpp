#include "oledate.h"

#include <cmath>

namespace wire {

namespace {
const QDate kOleEpoch(1899, 12, 30);
}  // namespace

double toOleDate(const QDateTime &dt)
{
    const double days = kOleEpoch.daysTo(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // OLE dates before the epoch keep the time as a positive fraction.
    return days >= 0 ? days + frac : days - frac;
}

double toOleDate(const QDate &d) { return kOleEpoch.daysTo(d); }

QDateTime fromOleDate(double ole)
{
    // Days past year 9999 or before year 100 are no date (nor are NaN and the
    // infinities, which would not even convert to a day count).
    if (!isOleDate(ole)) return {};
    const double whole = ole >= 0 ? std::floor(ole) : std::ceil(ole);
    const double frac = std::abs(ole - whole);
    const QDate d = kOleEpoch.addDays(qint64(whole));
    const qint64 ms = qRound64(frac * 86400000.0);
    return QDateTime(d, QTime(0, 0), Qt::UTC).addMSecs(ms);
}

namespace {
// Reads N digits at p; -1 when a character is no digit.
int digits(const QChar *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "YYYY-MM-DD", optionally followed by " HH:MM:SS" or "THH:MM:SS" (fractions
// ignored), as SQLite holds dates. Parsed by hand: this runs for every date
// cell of every packet.
double oleFromIsoText(const QString &s)
{
    if (s.size() < 10 || s.at(4) != QLatin1Char('-') || s.at(7) != QLatin1Char('-')) return std::nan("");
    const QChar *p = s.constData();
    const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
    if (y < 0 || mo < 0 || d < 0 || !QDate::isValid(y, mo, d)) return std::nan("");
    double days = double(QDate(y, mo, d).toJulianDay() - kOleEpoch.toJulianDay());
    if (s.size() >= 19 && (s.at(10) == QLatin1Char(' ') || s.at(10) == QLatin1Char('T'))) {
        const int h = digits(p + 11, 2), mi = digits(p + 14, 2), se = digits(p + 17, 2);
        if (h < 0 || mi < 0 || se < 0 || h > 23 || mi > 59 || se > 59) return std::nan("");
        const double frac = (h * 3600 + mi * 60 + se) / 86400.0;
        days = days >= 0 ? days + frac : days - frac;
    }
    return days;
}
}  // namespace

double oleFromSql(const QVariant &v)
{
    if (!v.isValid() || v.isNull()) return std::nan("");
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.isValid() ? toOleDate(QDateTime(dt.date(), dt.time(), Qt::UTC)) : std::nan("");
    }
    case QMetaType::QDate: return v.toDate().isValid() ? toOleDate(v.toDate()) : std::nan("");
    case QMetaType::QString: return oleFromIsoText(v.toString().trimmed());
    default: return oleFromIsoText(v.toString().trimmed());
    }
}

}  // namespace wire
