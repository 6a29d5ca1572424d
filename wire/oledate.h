#pragma once
// OLE dates, as dates travel: days since 30 December 1899, the fraction being
// the time of day.
#include <QDateTime>
#include <QVariant>

namespace wire {

// The days a date may take: from year 100 to year 9999 (both ends excluded here).
constexpr double kOleDaysBeforeFirst = -657435.0;  // 31 December 99
constexpr double kOleDaysPastLast = 2958466.0;     // 1 January 10000
inline bool isOleDate(double ole) { return ole > kOleDaysBeforeFirst && ole < kOleDaysPastLast; }  // false for NaN

double toOleDate(const QDateTime &dt);
double toOleDate(const QDate &d);
QDateTime fromOleDate(double ole);
// OLE date of a database value (QDateTime, QDate or ISO text); NaN when empty or unreadable.
double oleFromSql(const QVariant &v);

}  // namespace wire
