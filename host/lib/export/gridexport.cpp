#include "gridexport.h"
#include "gridexport_p.h"
#include "busy.h"
#include "consiste.h"
#include "dispatch.h"
#include "dataset.h"
#include "dbgrid.h"
#include "prompter.h"

#include <QDir>
#include <QHeaderView>

namespace host {

namespace exportdetail {

QVector<TExportColumn> exportColumns(TDBGrid *g)
{
    QVector<TExportColumn> out;
    QHeaderView *h = g->horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (c < 0 || c >= g->Columns().size() || g->isColumnHidden(c) || !g->ColumnField(c)) continue;
        TExportColumn col;
        col.Title = g->ColumnTitle(c);
        col.Field = g->ColumnField(c);
        col.WidthPx = g->columnWidth(c);
        out << col;
    }
    if (g->OnExportColumns) g->OnExportColumns(out);
    return out;
}

QVariant exportValue(const TExportColumn &c, TClientDataSet *ds, int row)
{
    if (c.RowHasValue && !c.RowHasValue(row)) return {};
    if (c.Text) return c.Text(row);
    if (numeric(c.Field) || dated(c.Field)) return ds->valueAt(row, c.Field->Index());
    return shownText(c.Field, row);
}

QString shownText(TField *f, int row)
{
    try {
        return f->DisplayTextAt(row);
    } catch (...) {
        return {};
    }
}

bool numeric(const TField *f) { return f->Kind() == TFieldKind::Float; }
bool dated(const TField *f) { return f->Kind() == TFieldKind::DateTime; }

QString cannotWrite(const QString &file)
{
    return QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
}

}  // namespace exportdetail

void ExportarGrade(TDBGrid *grid, const QString &suggestedName)
{
    TClientDataSet *ds = grid ? grid->DataSet() : nullptr;
    if (!ds || ds->IsEmpty()) MensErroAborta(QStringLiteral("Não há linhas para exportar."));
    const QString file = prompter()->saveFile(QStringLiteral("Exportar"), suggestedName,
                                              QStringLiteral("Planilha Excel (*.xlsx);;Texto separado por ponto e vírgula (*.csv)"));
    if (file.isEmpty()) return;
    QString why;
    bool ok = false;
    RunBusy(grid->window(), 6, [&] {
        ok = file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? exportGridCsv(grid, file, &why)
                                                                      : exportGridXlsx(grid, file, &why);
    });
    // Stopped with Esc: the user knows, and the old file is still there.
    if (!ok && !why.isEmpty()) MensErroAborta(why);
    const int shown = int(grid->ShownRows().size());
    if (ok)
        prompter()->notice(QStringLiteral("Exportado: %1 %2 para %3")
                               .arg(hostLocale().toString(shown), shown == 1 ? QStringLiteral("linha") : QStringLiteral("linhas"),
                                    QDir::toNativeSeparators(file)));
}

}  // namespace host
