#pragma once
// Selections are parsed into codes that are matched exactly through bound
// parameters, never spliced into SQL.
#include "selectionstring.h"

namespace trq01300 {
using wire::parseSelection;
// Codes of a situation string such as "_1_2_" (or a single code "3").
QStringList parseSituation(const QString &s);
}  // namespace trq01300
