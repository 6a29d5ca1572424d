#pragma once
// A grid's rows as it shows them (visible columns in their order, with their
// titles and displayed texts), laid on A4 landscape pages: a header on every
// page, the column titles, long texts wrapped, "Página N de M", and the
// totals after the last row.
#include "host_export.h"
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class TDBGrid;

namespace host {

struct PrintHeader {
    QString title;      // the report's name, first line of every page
    QStringList lines;  // company, period, criteria, operator and time...
    QString totals;     // after the last row; empty: none
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
