#pragma once
// Selection strings: the marked codes joined as 'C1','C2', each quoted with
// quotes doubled inside, so a selection is never empty when something is marked.
#include <QStringList>

namespace wire {
QString joinSelection(const QStringList &codes);
// Codes of a selection string; a bare list "C1, C2" is read too.
QStringList parseSelection(const QString &sel);
}  // namespace wire
