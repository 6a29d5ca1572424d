#pragma once
// A grid's rows as it shows them (visible columns in their order, with their
// titles and displayed texts), laid on A4 landscape pages as accounting
// reports are: numbers, dates and codes on one line (as wide as their widest
// value, or cut with "…"), texts wrapped within three lines, a readable type
// size; columns that do not fit the page's width go on to further pages, the
// key columns repeated on each. A header on every page, "Página N de M", and
// the totals after the last row.
#include "host_export.h"
#include <QString>
#include <QStringList>
#include <functional>

class QPagedPaintDevice;
class TDBGrid;

namespace host {

struct PrintHeader {
    QString title;      // the report's name, first line of every page
    QStringList lines;  // company, period, criteria, operator and time...
    QString totals;     // after the last row; empty: none
    // Fields printed on every page's band (operation number, date, asset…).
    QStringList keyFields;
    // A cell's text on paper where it differs from the screen's (a mark drawn
    // as a picture there); given the grid's column, the row and the text shown.
    std::function<QString(int column, int row, const QString &shown)> paperText;
};

// Paints every page on the device (a printer or a PDF writer), with progress
// and Esc behind the busy animation; false with a Portuguese reason (empty
// when the user stopped it).
HOST_EXPORT bool printGrid(QPagedPaintDevice *device, TDBGrid *grid, const PrintHeader &header, QString *why);
// The same pages to a PDF file.
HOST_EXPORT bool exportGridPdf(TDBGrid *grid, const PrintHeader &header, const QString &file, QString *why);
// A print preview of the grid, from which the user prints or saves a PDF.
HOST_EXPORT void ImprimirGrade(TDBGrid *grid, const PrintHeader &header, const QString &suggestedPdf);

}  // namespace host
