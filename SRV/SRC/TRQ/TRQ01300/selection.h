#pragma once
// Selection strings: 'C1','C2' (quotes doubled inside). Parsed into codes that
// are matched exactly through bound parameters, never spliced into SQL.
#include <QStringList>

namespace trq01300 {
QStringList parseSelection(const QString &sel);
// Codes of a situation string such as "_1_2_" (or a single code "3").
QStringList parseSituation(const QString &s);
}  // namespace trq01300
