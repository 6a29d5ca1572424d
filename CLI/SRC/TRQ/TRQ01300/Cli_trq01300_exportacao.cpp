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

QAction *TfrmHistoricoBem::acaoDoMenu(const char *name, const QString &text, const QKeySequence &key,
                                      const std::function<void()> &run)
{
    // An item of the screen's "Operação" menu whose shortcut works wherever the
    // focus is inside the screen, and only there.
    QAction *a = mnuOperacao->addAction(text);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(a);
    connect(a, &QAction::triggered, this, run);
    return a;
}

void TfrmHistoricoBem::wireExport()
{
    mnuExportar = acaoDoMenu("mnuExportar", QStringLiteral("Exportar para planilha…"), Qt::CTRL | Qt::Key_E,
                             [this] { host::dispatch([this] { mnuExportarClick(); }); });
    for (TDBGrid *g : {dbgPadrao, dbgEspecOper, dbgCTBLOper}) {
        g->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(g, &QWidget::customContextMenuRequested, this, [this, g](const QPoint &at) {
            QMenu menu(g);
            QAction *exportar = menu.addAction(QStringLiteral("Exportar para planilha…"));
            QAction *imprimir = menu.addAction(QStringLiteral("Imprimir…"));
            const bool rows = g->DataSet() && g->DataSet()->Active() && !g->DataSet()->IsEmpty();
            exportar->setEnabled(rows);
            imprimir->setEnabled(rows);
            QAction *chosen = menu.exec(g->viewport()->mapToGlobal(at));
            if (chosen == exportar) host::dispatch([this, g] { Exportar(g); });
            else if (chosen == imprimir) host::dispatch([this, g] { Imprimir(g); });
        });
    }
    dbgPadrao->OnExportColumns = [this](QVector<TExportColumn> &cols) { colunasExportadas(cols); };
}

void TfrmHistoricoBem::colunasExportadas(QVector<TExportColumn> &cols)
{
    // With an index, every column holds one unit: each value in reais, then
    // converted in a column of its own that only converted rows fill, and
    // the conversion mark with the index beside them. A sum of a converted
    // column adds converted values only.
    const QString indice = edtSgIndice->text();
    if (indice.isEmpty()) return;
    TClientDataSet *h = cdsHistoricoBem;
    TField *marca = h->FieldByName(QStringLiteral("IDINDFINOK"));
    const auto convertida = [h, marca](int row) { return h->valueAt(row, marca->Index()).toString() == QLatin1String("S"); };
    QVector<TExportColumn> out;
    for (const TExportColumn &c : cols) {
        const QString field = c.Field->FieldName();
        if (field == QLatin1String("IDINDFINOK")) {
            TExportColumn ok = c;
            ok.Title = QStringLiteral("Convertido");
            ok.Text = [convertida](int row) { return convertida(row) ? QStringLiteral("Sim") : QStringLiteral("Não"); };
            TExportColumn qual = c;
            qual.Title = QStringLiteral("Índice");
            qual.Text = [indice](int) { return indice; };
            qual.RowHasValue = convertida;
            out << ok << qual;
            continue;
        }
        if (!field.endsWith(QLatin1Char('2')) || c.Field->Kind() != TFieldKind::Float) {
            out << c;
            continue;
        }
        TExportColumn reais = c;
        reais.Title = QStringLiteral("%1 (R$)").arg(c.Title);
        reais.Field = h->FieldByName(field.chopped(1));
        TExportColumn convertido = c;
        convertido.Title = QStringLiteral("%1 (%2)").arg(c.Title, indice);
        convertido.RowHasValue = convertida;
        out << reais << convertido;
    }
    cols = out;
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
