#pragma once
// OLE dates, as dates travel: days since 30 December 1899, the fraction being
// the time of day.
#include <QDateTime>
#include <QVariant>

namespace wire {

double toOleDate(const QDateTime &dt);
double toOleDate(const QDate &d);
QDateTime fromOleDate(double ole);
// OLE date of a database value (QDateTime, QDate or ISO text); NaN when empty or unreadable.
double oleFromSql(const QVariant &v);

}  // namespace wire
