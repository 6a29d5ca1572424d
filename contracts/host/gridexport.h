#pragma once
// A grid's rows as it shows them, to a CSV file (pt_BR: ";" between fields,
// decimal comma, UTF-8 with a byte-order mark) or to an XLSX workbook (numbers
// as numbers and dates as dates, with the grid's formats). Visible columns in
// their on-screen order, with their titles; coded fields as the words shown.
#include "host_export.h"
#include <QString>

class TDBGrid;

namespace host {

// Both return false with a Portuguese reason; the detail is logged.
HOST_EXPORT bool exportGridCsv(TDBGrid *grid, const QString &file, QString *why);
HOST_EXPORT bool exportGridXlsx(TDBGrid *grid, const QString &file, QString *why);

// Asks where to save (proposing the name given) and exports, behind the busy
// animation with its progress; the format follows the chosen file's suffix.
HOST_EXPORT void ExportarGrade(TDBGrid *grid, const QString &suggestedName);

}  // namespace host
