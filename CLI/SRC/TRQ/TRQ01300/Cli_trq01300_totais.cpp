// The totals line under the history grid: how many operations are shown and
// the sum of each money column, worked out once per retrieval or conversion
// (never while painting) and laid out in the columns' order on screen.
#include "Cli_trq01300.h"

#include "consiste.h"
#include "dataset.h"
#include "dbgrid.h"

#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QToolButton>

namespace {
const char *const kMoneyFields[] = {"VROPERABEM2", "VRJADEPROPEBEM2", "VRFALDEPROPEBEM2"};
}  // namespace

void TfrmHistoricoBem::buildTotals()
{
    lblTotais = new QLabel(tshPadrao);
    lblTotais->setObjectName(QStringLiteral("lblTotais"));
    lblTotais->setAccessibleName(QStringLiteral("Totais"));
    lblTotais->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblTotais->hide();
    tshPadrao->layout()->addWidget(lblTotais);
    connect(cdsHistoricoBem, &TClientDataSet::contentReset, this, [this] {
        if (m_walks == 0) atualizaTotais();
    });
    connect(cdsHistoricoBem, &TClientDataSet::stateChanged, this, [this] {
        if (!cdsHistoricoBem->Active()) atualizaTotais();
    });
    // Moving, hiding or showing a column changes only how the sums are laid out.
    connect(dbgPadrao->horizontalHeader(), &QHeaderView::sectionMoved, this, [this] { mostraTotais(); });
    connect(dbgPadrao->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int, int old, int now) {
        if ((old == 0) != (now == 0)) mostraTotais();
    });
}

TotaisHistorico TfrmHistoricoBem::calculaTotais() const
{
    TotaisHistorico t;
    TClientDataSet *h = cdsHistoricoBem;
    if (!h->Active()) return t;
    t.linhas = h->RecordCount();
    t.comIndice = !edtSgIndice->text().isEmpty();
    const int mark = h->FieldByName(QStringLiteral("IDINDFINOK"))->Index();
    QVector<int> cells;
    for (const char *f : kMoneyFields) cells << h->FieldByName(QLatin1String(f))->Index();
    QVector<double> sums(cells.size(), 0.0);
    for (int r = 0; r < t.linhas; ++r) {
        // With an index, a converted sum adds converted rows only.
        if (t.comIndice && h->valueAt(r, mark).toString() != QLatin1String("S")) {
            ++t.semConversao;
            continue;
        }
        for (int i = 0; i < cells.size(); ++i) sums[i] += h->valueAt(r, cells[i]).toDouble();
    }
    for (int i = 0; i < cells.size(); ++i) t.somas.insert(QLatin1String(kMoneyFields[i]), sums[i]);
    return t;
}

void TfrmHistoricoBem::atualizaTotais()
{
    m_totais = calculaTotais();
    mostraTotais();
    // Something to print only while the history holds rows.
    sbtImprimir->setEnabled(cdsHistoricoBem->Active() && !cdsHistoricoBem->IsEmpty());
}

void TfrmHistoricoBem::mostraTotais()
{
    if (!cdsHistoricoBem->Active()) {
        lblTotais->clear();
        lblTotais->hide();
        return;
    }
    QStringList parts;
    parts << (m_totais.linhas == 1 ? QStringLiteral("1 operação")
                                   : QStringLiteral("%1 operações").arg(hostLocale().toString(m_totais.linhas)));
    const QString prefix = m_totais.comIndice ? edtSgIndice->text() + QLatin1Char(' ') : QString();
    QHeaderView *head = dbgPadrao->horizontalHeader();
    for (int v = 0; v < head->count(); ++v) {
        const int c = head->logicalIndex(v);
        if (c < 0 || c >= dbgPadrao->Columns().size() || dbgPadrao->isColumnHidden(c)) continue;
        const QString field = dbgPadrao->Columns().at(c).FieldName;
        if (!m_totais.somas.contains(field)) continue;
        parts << QStringLiteral("%1: %2%3").arg(dbgPadrao->ColumnTitle(c), prefix,
                                                FormatFloat(QStringLiteral("#,##0.00"), m_totais.somas.value(field)));
    }
    if (m_totais.comIndice && m_totais.semConversao > 0)
        parts << QStringLiteral("%1 sem conversão").arg(hostLocale().toString(m_totais.semConversao));
    lblTotais->setText(parts.join(QStringLiteral("   ·   ")));
    lblTotais->show();
}
