// Printing the grid in use (preview, printer or PDF), with the query's header
// on every page and the totals after the last row.
#include "Cli_trq01300.h"
#include "Cli_trq01301.h"
#include "module.h"

#include "dateeditplus.h"
#include "dataset.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "gridprint.h"
#include "hostlog.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "vantiro.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

using trq01300::frmFiltroHistOpBem;

void TfrmHistoricoBem::wirePrint()
{
    mnuImprimir = acaoDoMenu("mnuImprimir", QStringLiteral("Imprimir…"), Qt::CTRL | Qt::Key_P, [this] {
        if (sbtImprimir->isEnabled()) sbtImprimir->click();
    });
    sbtImprimir->setToolTip(QStringLiteral("Imprimir (Ctrl+P)"));
    mnuResumo = acaoDoMenu("mnuResumo", QStringLiteral("Resumo do período…"), Qt::CTRL | Qt::Key_R,
                           [this] { host::dispatch([this] { mnuResumoClick(); }); });
    connect(sbtImprimir, &QToolButton::clicked, this, [this] { host::dispatch([this] { sbtImprimirClick(); }); });
}

host::PrintHeader TfrmHistoricoBem::cabecalhoImpressao(TDBGrid *grid) const
{
    host::PrintHeader h;
    h.title = grid == dbgPadrao      ? windowTitle()
              : grid == dbgEspecOper ? QStringLiteral("Especificações da Operação")
                                     : QStringLiteral("Contabilização da Operação");
    h.lines << QStringLiteral("Empresa: %1 - %2").arg(medCdEmpresa->Text().trimmed(), edtNmEmpresa->text());
    const QDate ini = depDtInicial->GetDate(), fim = depDtFinal->GetDate();
    h.lines << (ini.isValid() && fim.isValid() ? QStringLiteral("Período: %1 a %2").arg(ini.toString(QStringLiteral("dd/MM/yyyy")),
                                                                                         fim.toString(QStringLiteral("dd/MM/yyyy")))
                                               : QStringLiteral("Período: todo o histórico"));
    h.lines << (edtSgIndice->text().isEmpty() ? QStringLiteral("Índice: nenhum (valores em reais)")
                                              : QStringLiteral("Índice: %1 - %2").arg(edtSgIndice->text(), edtNmIndice->text()));
    if (frmFiltroHistOpBem) h.lines << QStringLiteral("Critérios: %1").arg(frmFiltroHistOpBem->criteriosResumo());
    // Narrowed by the summary: the print holds the rows shown, and says which.
    if (grid == dbgPadrao && !m_filtro.isEmpty()) h.lines << QStringLiteral("Filtro: %1").arg(m_filtro);
    if (grid != dbgPadrao)
        h.lines << QStringLiteral("Operação: %1").arg(cdsHistoricoBem->FieldByName(QStringLiteral("NRSEQOPERABEM"))->AsString());
    h.lines << QStringLiteral("Operador: %1   ·   Impresso em %2")
                   .arg(Vantiro::Operator(), QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    if (grid == dbgPadrao) {
        h.totals = lblTotais->text();
        // On every page's band: which operation, when, of which asset.
        h.keyFields = {QStringLiteral("NRSEQOPERABEM"), QStringLiteral("DTOPERABEM"), QStringLiteral("CDBEMATIVO")};
        // The conversion mark is a picture on screen; on paper, a word.
        TDBGrid *g = dbgPadrao;
        TClientDataSet *hist = cdsHistoricoBem;
        h.paperText = [g, hist](int column, int row, const QString &shown) {
            if (g->Columns().value(column).FieldName != QLatin1String("IDINDFINOK")) return shown;
            return hist->valueAt(row, hist->FieldByName(QStringLiteral("IDINDFINOK"))->Index()).toString() == QLatin1String("S")
                       ? QStringLiteral("Sim")
                       : QStringLiteral("Não");
        };
    }
    return h;
}

void TfrmHistoricoBem::sbtImprimirClick()
{
    // The grid the user is in, or the one of the page shown, as the export does.
    TDBGrid *grid = pgcPadrao->ActivePage() == tshDadosComp ? dbgEspecOper : dbgPadrao;
    for (TDBGrid *g : {dbgPadrao, dbgEspecOper, dbgCTBLOper})
        if (g->hasFocus()) grid = g;
    Imprimir(grid);
}

void TfrmHistoricoBem::Imprimir(TDBGrid *grid)
{
    const QString empresa = medCdEmpresa->Text().trimmed();
    host::ImprimirGrade(grid, cabecalhoImpressao(grid),
                        QStringLiteral("%1_%2.pdf").arg(grid == dbgPadrao ? QStringLiteral("Historico_Operacoes_Bem")
                                                                          : QStringLiteral("Detalhes_Operacao"),
                                                        empresa.isEmpty() ? QStringLiteral("empresa") : empresa));
}

bool TfrmHistoricoBem::SalvarPdf(const QString &file)
{
    QString why;
    const bool ok = host::exportGridPdf(dbgPadrao, cabecalhoImpressao(dbgPadrao), file, &why);
    if (!ok) qCWarning(lcGrid).noquote() << "pdf" << file << "not written:" << why;
    return ok;
}
