#include "gridexport.h"
#include "busy.h"
#include "codec.h"
#include "consiste.h"
#include "dataset.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "hostlog.h"
#include "prompter.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QSaveFile>
#include <QStringEncoder>
#include <xlsxwriter.h>
#include <cmath>

namespace host {

namespace {

// The visible columns in the order the user sees them.
QVector<int> shownColumns(TDBGrid *g)
{
    QVector<int> cols;
    QHeaderView *h = g->horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (c >= 0 && c < g->Columns().size() && !g->isColumnHidden(c) && g->ColumnField(c)) cols << c;
    }
    return cols;
}

// A text cell as the grid shows it; a failing display handler leaves it empty.
QString shownText(TField *f, int row)
{
    try {
        return f->DisplayTextAt(row);
    } catch (...) {
        return {};
    }
}

QVector<TField *> fieldsOf(TDBGrid *g, const QVector<int> &cols)
{
    QVector<TField *> out;
    for (int c : cols) out << g->ColumnField(c);
    return out;
}

QString exportTitle(TDBGrid *g, int c) { return g->OnExportTitle ? g->OnExportTitle(c) : g->ColumnTitle(c); }

bool numeric(const TField *f) { return f->Kind() == TFieldKind::Float; }
bool dated(const TField *f) { return f->Kind() == TFieldKind::DateTime; }

QString csvField(const QString &t)
{
    if (!t.contains(QLatin1Char(';')) && !t.contains(QLatin1Char('"')) && !t.contains(QLatin1Char('\n')) &&
        !t.contains(QLatin1Char('\r')) && t.trimmed() == t)
        return t;
    QString q = t;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// The grid's float format in the spreadsheet's terms ("#,##0.00" reads the same).
QString excelNumberFormat(const TField *f)
{
    const QString fmt = f->DisplayFormat.trimmed();
    return fmt.isEmpty() ? QStringLiteral("#,##0.00########") : fmt;
}

}  // namespace

bool exportGridCsv(TDBGrid *g, const QString &file, QString *why)
{
    TClientDataSet *ds = g->DataSet();
    const QVector<int> cols = shownColumns(g);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        qCWarning(lcGrid) << "export" << file << out.errorString();
        *why = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    QString text;
    text.reserve(1 << 20);
    text += QChar(0xFEFF);
    QStringList head;
    for (int c : cols) head << csvField(exportTitle(g, c));
    text += head.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    const int rows = ds ? ds->RecordCount() : 0;
    const QVector<TField *> fields = fieldsOf(g, cols);
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < cols.size(); ++i) {
            TField *f = fields[i];
            // Numbers and dates without any prefix a display handler adds; the rest as shown.
            QString t;
            if (numeric(f) || dated(f)) {
                const QVariant v = ds->valueAt(r, f->Index());
                if (!v.isNull()) t = f->DefaultText(v, true);
            } else {
                t = shownText(f, r);
            }
            if (i) text += QLatin1Char(';');
            text += csvField(t);
        }
        text += QStringLiteral("\r\n");
        if (text.size() > (1 << 20)) {
            out.write(text.toUtf8());
            text.clear();
        }
        if ((r & 255) == 255 || r + 1 == rows) BusyProgress(QStringLiteral("exportando"), r + 1, rows);
    }
    out.write(text.toUtf8());
    if (!out.commit()) {
        qCWarning(lcGrid) << "export" << file << out.errorString();
        *why = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

bool exportGridXlsx(TDBGrid *g, const QString &file, QString *why)
{
    TClientDataSet *ds = g->DataSet();
    const QVector<int> cols = shownColumns(g);
    const QString tmp = file + QStringLiteral(".tmp");
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;  // rows go straight to disk
    const QByteArray tmpDir = QDir::tempPath().toLocal8Bit();
    options.tmpdir = const_cast<char *>(tmpDir.constData());
    const QByteArray path = QFile::encodeName(tmp);
    lxw_workbook *wb = workbook_new_opt(path.constData(), &options);
    if (!wb) {
        *why = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format *dateFmt = workbook_add_format(wb);
    format_set_num_format(dateFmt, "dd/mm/yyyy");
    lxw_format *dateTimeFmt = workbook_add_format(wb);
    format_set_num_format(dateTimeFmt, "dd/mm/yyyy hh:mm:ss");
    QVector<lxw_format *> numFmt(cols.size(), nullptr);
    for (int i = 0; i < cols.size(); ++i) {
        TField *f = g->ColumnField(cols[i]);
        if (numeric(f)) {
            numFmt[i] = workbook_add_format(wb);
            format_set_num_format(numFmt[i], excelNumberFormat(f).toUtf8().constData());
        }
        worksheet_write_string(ws, 0, lxw_col_t(i), exportTitle(g, cols[i]).toUtf8().constData(), bold);
        worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i), std::max(8.0, g->columnWidth(cols[i]) / 7.0), nullptr);
    }
    const int rows = ds ? ds->RecordCount() : 0;
    const QVector<TField *> fields = fieldsOf(g, cols);
    QByteArray utf8;
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (int r = 0; r < rows; ++r) {
        const lxw_row_t xr = lxw_row_t(r + 1);
        for (int i = 0; i < cols.size(); ++i) {
            TField *f = fields[i];
            const QVariant v = ds->valueAt(r, f->Index());
            if (numeric(f)) {
                if (!v.isNull() && std::isfinite(v.toDouble())) worksheet_write_number(ws, xr, lxw_col_t(i), v.toDouble(), numFmt[i]);
            } else if (dated(f)) {
                if (v.isNull()) continue;
                const QDateTime dt = wire::fromOleDate(v.toDouble());
                if (!dt.isValid()) continue;
                lxw_datetime d = {dt.date().year(), dt.date().month(), dt.date().day(), dt.time().hour(), dt.time().minute(),
                                  double(dt.time().second())};
                worksheet_write_datetime(ws, xr, lxw_col_t(i), &d, dt.time() == QTime(0, 0) ? dateFmt : dateTimeFmt);
            } else {
                const QString t = shownText(f, r);
                if (t.isEmpty()) continue;
                utf8.resize(t.size() * 3 + 1);
                char *end = toUtf8.appendToBuffer(utf8.data(), t);  // one buffer for every cell
                *end = '\0';
                worksheet_write_string(ws, xr, lxw_col_t(i), utf8.constData(), nullptr);
            }
        }
        if ((r & 255) == 255 || r + 1 == rows) BusyProgress(QStringLiteral("exportando"), r + 1, rows);
    }
    const lxw_error err = workbook_close(wb);
    if (err != LXW_NO_ERROR) {
        qCWarning(lcGrid) << "export" << file << lxw_strerror(err);
        QFile::remove(tmp);
        *why = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    // The old file is replaced only by a complete workbook.
    QFile::remove(file);
    if (!QFile::rename(tmp, file)) {
        QFile::remove(tmp);
        *why = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

void ExportarGrade(TDBGrid *grid, const QString &suggestedName)
{
    TClientDataSet *ds = grid ? grid->DataSet() : nullptr;
    if (!ds || ds->IsEmpty()) MensErro(QStringLiteral("Não há linhas para exportar."), true);
    const QString file = prompter()->saveFile(QStringLiteral("Exportar"), suggestedName,
                                              QStringLiteral("Planilha Excel (*.xlsx);;Texto separado por ponto e vírgula (*.csv)"));
    if (file.isEmpty()) return;
    QString why;
    bool ok = false;
    RunBusy(grid->window(), 6, [&] {
        ok = file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? exportGridCsv(grid, file, &why)
                                                                      : exportGridXlsx(grid, file, &why);
    });
    if (!ok) MensErro(why, true);
}

}  // namespace host
