#pragma once
// What the CSV and XLSX writers share: which columns go out, under which
// titles, and how a cell reads.
#include <QString>
#include <QVector>

class TDBGrid;
class TField;

namespace host::exportdetail {

// The visible columns in the order the user sees them.
QVector<int> shownColumns(TDBGrid *g);
QVector<TField *> fieldsOf(TDBGrid *g, const QVector<int> &cols);
QString exportTitle(TDBGrid *g, int column);
// A text cell as the grid shows it; a failing display handler leaves it empty.
QString shownText(TField *f, int row);
bool numeric(const TField *f);
bool dated(const TField *f);
QString cannotWrite(const QString &file);

}  // namespace host::exportdetail
