// The totals line under the history grid: how many operations are shown and
// the sum of each money column, worked out once per retrieval or conversion
// (never while painting) and laid out in the columns' order on screen.
#include "Cli_trq01300.h"

#include "consiste.h"
#include "dataset.h"
#include "dbgrid.h"

#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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
    btnLimparFiltro = new QPushButton(QStringLiteral("&Limpar filtro"), tshPadrao);
    btnLimparFiltro->setObjectName(QStringLiteral("btnLimparFiltro"));
    btnLimparFiltro->setAccessibleName(QStringLiteral("Limpar filtro"));
    // Like the toolbar's buttons it takes no focus (Alt+L from the keyboard):
    // hidden once pressed, it would hand the focus to the header, and the next
    // click on the grid would count as leaving the header.
    btnLimparFiltro->setFocusPolicy(Qt::NoFocus);
    btnLimparFiltro->hide();
    auto *line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(lblTotais, 1);
    line->addWidget(btnLimparFiltro);
    static_cast<QBoxLayout *>(tshPadrao->layout())->addLayout(line);
    connect(btnLimparFiltro, &QPushButton::clicked, this, [this] { limpaFiltroHistorico(); });
    connect(cdsHistoricoBem, &TClientDataSet::contentReset, this, [this] {
        m_filtro.clear();  // a new retrieval shows every row
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
    QVector<int> cells;
    for (const char *f : kMoneyFields) cells << h->FieldByName(QLatin1String(f))->Index();
    QVector<qint64> sums(cells.size(), 0);  // in cents: the sum is the column's, exactly
    const bool narrowed = dbgPadrao->RowFilterActive();
    if (narrowed) t.linhas = 0;
    for (int r = 0; r < h->RecordCount(); ++r) {
        if (narrowed) {
            if (dbgPadrao->isRowHidden(r)) continue;
            ++t.linhas;
        }
        // With an index, a converted sum adds converted rows only.
        if (foraDasSomas(r)) {
            ++t.semConversao;
            continue;
        }
        for (int i = 0; i < cells.size(); ++i) sums[i] += MoneyCents(h->valueAt(r, cells[i]).toDouble());
    }
    for (int i = 0; i < cells.size(); ++i) t.somas.insert(QLatin1String(kMoneyFields[i]), double(sums[i]) / 100);
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
        btnLimparFiltro->hide();
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
    if (!m_filtro.isEmpty()) parts.prepend(QStringLiteral("Filtro: %1").arg(m_filtro));
    lblTotais->setText(parts.join(QStringLiteral("   ·   ")));
    lblTotais->show();
    btnLimparFiltro->setVisible(!m_filtro.isEmpty());
}

int TfrmHistoricoBem::filtraHistorico(const QString &groupField, const std::optional<QString> &group, const QString &kind,
                                      const QString &caption)
{
    TClientDataSet *h = cdsHistoricoBem;
    const int g = h->FieldByName(groupField)->Index();
    QHash<QString, QString> words;
    const int kept = dbgPadrao->SetRowFilter([&](int row) {
        // The rows the summary's cell counted (converted or not).
        if (group && h->valueAt(row, g).toString() != *group) return false;
        return kind.isEmpty() || palavraDoTipo(row, words) == kind;
    });
    m_filtro = caption;
    atualizaTotais();
    return kept;
}

void TfrmHistoricoBem::limpaFiltroHistorico()
{
    dbgPadrao->ClearRowFilter();
    m_filtro.clear();
    atualizaTotais();
}

bool TfrmHistoricoBem::foraDasSomas(int row) const
{
    if (edtSgIndice->text().isEmpty()) return false;
    TClientDataSet *h = cdsHistoricoBem;
    return h->valueAt(row, h->FieldByName(QStringLiteral("IDINDFINOK"))->Index()).toString() != QLatin1String("S");
}

QString TfrmHistoricoBem::palavraDoTipo(int row, QHash<QString, QString> &cache) const
{
    TField *kind = cdsHistoricoBem->FieldByName(QStringLiteral("IDIDENTOPERABEM"));
    const QString code = cdsHistoricoBem->valueAt(row, kind->Index()).toString();
    auto w = cache.find(code);
    if (w == cache.end()) w = cache.insert(code, kind->DisplayTextAt(row));
    return w.value().isEmpty() ? code : w.value();
}
