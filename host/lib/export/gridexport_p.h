#pragma once
// What the CSV and XLSX writers share: which columns go out, under which
// titles, and how a cell reads.
#include <QString>
#include <QVector>

#include "dbgrid.h"
#include <QVariant>

class TClientDataSet;

namespace host::exportdetail {

// The columns that go out: the visible ones in the order the user sees them,
// as the grid's OnExportColumns makes them.
QVector<TExportColumn> exportColumns(TDBGrid *g);
// A cell as its column exports it: the value of a number or a date (null
// when empty), or a text.
QVariant exportValue(const TExportColumn &c, TClientDataSet *ds, int row);
// A text cell as the grid shows it; a failing display handler leaves it empty.
QString shownText(TField *f, int row);
bool numeric(const TField *f);
bool dated(const TField *f);
QString cannotWrite(const QString &file);

}  // namespace host::exportdetail
