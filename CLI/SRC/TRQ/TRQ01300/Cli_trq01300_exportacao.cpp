// Taking the screen's grids to a spreadsheet: from each grid's context menu and
// from the "Operação" menu.
#include "Cli_trq01300.h"

#include "adoibquery.h"
#include "dateeditplus.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "gridexport.h"
#include "maskedit.h"
#include "pagecontrol.h"

#include <QAction>
#include <QMenu>

namespace {
QString dateForName(const QDate &d) { return d.isValid() ? d.toString(QStringLiteral("dd-MM-yyyy")) : QStringLiteral("inicio"); }
}  // namespace

void TfrmHistoricoBem::wireExport()
{
    mnuExportar = mnuOperacao->addAction(QStringLiteral("Exportar para planilha…"));
    mnuExportar->setObjectName(QStringLiteral("mnuExportar"));
    mnuExportar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuExportar->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(mnuExportar);
    connect(mnuExportar, &QAction::triggered, this, [this] { host::dispatch([this] { mnuExportarClick(); }); });
    for (TDBGrid *g : {dbgPadrao, dbgEspecOper, dbgCTBLOper}) {
        g->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(g, &QWidget::customContextMenuRequested, this, [this, g](const QPoint &at) {
            QMenu menu(g);
            QAction *exportar = menu.addAction(QStringLiteral("Exportar para planilha…"));
            exportar->setEnabled(g->DataSet() && !g->DataSet()->IsEmpty());
            if (menu.exec(g->viewport()->mapToGlobal(at)) == exportar) host::dispatch([this, g] { Exportar(g); });
        });
    }
    // Converted values carry the index in the column's title, not in each cell.
    dbgPadrao->OnExportTitle = [this](int c) {
        const QString title = dbgPadrao->ColumnTitle(c);
        const QString field = dbgPadrao->Columns().at(c).FieldName;
        const bool converted = field == QLatin1String("VROPERABEM2") || field == QLatin1String("VRJADEPROPEBEM2") ||
                               field == QLatin1String("VRFALDEPROPEBEM2");
        return converted && !edtSgIndice->text().isEmpty() ? QStringLiteral("%1 (%2)").arg(title, edtSgIndice->text()) : title;
    };
}

void TfrmHistoricoBem::mnuExportarClick()
{
    // The grid the user is in, or the one of the page shown.
    for (TDBGrid *g : {dbgPadrao, dbgEspecOper, dbgCTBLOper})
        if (g->hasFocus()) return Exportar(g);
    Exportar(pgcPadrao->ActivePage() == tshDadosComp ? dbgEspecOper : dbgPadrao);
}

void TfrmHistoricoBem::Exportar(TDBGrid *grid)
{
    const QString what = grid == dbgPadrao      ? QStringLiteral("Historico_Operacoes_Bem")
                         : grid == dbgEspecOper ? QStringLiteral("Especificacoes_Operacao")
                                                : QStringLiteral("Contabilizacao_Operacao");
    const QString empresa = qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
    const QString name = QStringLiteral("%1_%2_%3_a_%4.xlsx")
                             .arg(what, empresa.isEmpty() ? QStringLiteral("empresa") : empresa,
                                  dateForName(depDtInicial->GetDate()),
                                  depDtFinal->GetDate().isValid() ? dateForName(depDtFinal->GetDate()) : QStringLiteral("fim"));
    host::ExportarGrade(grid, name);
}
