#pragma once
// Selections are parsed into codes that are matched exactly through bound
// parameters, never spliced into SQL.
#include "selectionstring.h"
#include "trq01300_layouts.h"

namespace trq01300 {
using wire::parseSelection;
// Codes of a situation string such as "_1_2_" (or a single code "3").
QStringList parseSituation(const QString &s);

// Reason keys saved before the separator (the two codes joined with nothing)
// are still read, matched as they always were.
using layout::kReasonKeySeparator;
// The key as an SQL expression of a type column and a reason column.
QString reasonKeySql(const QString &typeColumn, const QString &reasonColumn);
QString joinedReasonKeySql(const QString &typeColumn, const QString &reasonColumn);
struct ReasonKeys {
    QStringList exact;   // with the separator
    QStringList joined;  // saved in the old form
};
ReasonKeys splitReasonKeys(const QStringList &keys);
}  // namespace trq01300
