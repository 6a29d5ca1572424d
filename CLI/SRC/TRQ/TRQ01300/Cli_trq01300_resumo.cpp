#include "Cli_trq01300_resumo.h"
#include "Cli_trq01300.h"

#include "consiste.h"
#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "gridexport.h"
#include "gridprint.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char *const kGroups[][2] = {{"NMGRUPOBEM", "Grupo de Bem"},
                                  {"NMTIPOOPERBEM", "Tipo de Operação"},
                                  {"NMFILIAL", "Filial"},
                                  {"NMCENTCUST", "Centro de Custo"}};
const QString kSemNome = QStringLiteral("(sem nome)");
}  // namespace

ResumoPeriodo resumirHistorico(TfrmHistoricoBem *frm, const QString &groupField)
{
    ResumoPeriodo r;
    TClientDataSet *h = frm->cdsHistoricoBem;
    if (!h->Active()) return r;
    const int group = h->FieldByName(groupField)->Index();
    const int value = h->FieldByName(QStringLiteral("VROPERABEM2"))->Index();
    QHash<QString, QString> kindWord;
    for (int row = 0; row < h->RecordCount(); ++row) {
        // With an index, the sums are of converted values; every row is counted.
        const bool somada = !frm->foraDasSomas(row);
        if (!somada) ++r.semConversao;
        QString g = h->valueAt(row, group).toString();
        if (g.isEmpty()) g = kSemNome;
        const QString k = frm->palavraDoTipo(row, kindWord);
        const qint64 v = MoneyCents(h->valueAt(row, value).toDouble());
        for (ResumoCelula *c : {&r.celulas[g][k], &r.porLinha[g], &r.porTipo[k], &r.total}) {
            ++c->quantidade;
            if (!somada) continue;
            ++c->somadas;
            c->centavos += v;
        }
    }
    r.linhas = r.porLinha.keys();
    r.tipos = r.porTipo.keys();
    std::sort(r.linhas.begin(), r.linhas.end(), [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
    std::sort(r.tipos.begin(), r.tipos.end(), [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
    return r;
}

TfrmResumoPeriodo::TfrmResumoPeriodo(TfrmHistoricoBem *screen) : QDialog(screen), m_screen(screen)
{
    setObjectName(QStringLiteral("frmResumoPeriodo"));
    setWindowTitle(QStringLiteral("Resumo do período"));
    auto *lay = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Agrupar por:"), this);
    cbxAgrupar = new QComboBox(this);
    cbxAgrupar->setObjectName(QStringLiteral("cbxAgrupar"));
    for (const auto &g : kGroups) cbxAgrupar->addItem(QString::fromUtf8(g[1]), QString::fromLatin1(g[0]));
    label->setBuddy(cbxAgrupar);
    top->addWidget(label);
    top->addWidget(cbxAgrupar);
    top->addStretch();
    lay->addLayout(top);
    cdsResumo = new TClientDataSet(this, QStringLiteral("cdsResumo"));
    m_src = new TDataSource(this, cdsResumo, QStringLiteral("dtsResumo"));
    dbgResumo = new TDBGrid(this);
    dbgResumo->setObjectName(QStringLiteral("dbgResumo"));
    dbgResumo->setAccessibleName(QStringLiteral("Resumo do período"));
    lay->addWidget(dbgResumo);
    auto *buttons = new QHBoxLayout;
    auto *exportar = new QPushButton(QStringLiteral("&Exportar…"), this);
    auto *imprimir = new QPushButton(QStringLiteral("&Imprimir…"), this);
    auto *fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    buttons->addStretch();
    for (QPushButton *b : {exportar, imprimir, fechar}) buttons->addWidget(b);
    lay->addLayout(buttons);
    connect(fechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(cbxAgrupar, &QComboBox::currentIndexChanged, this, [this] { host::dispatch([this] { recalcula(); }); });
    connect(exportar, &QPushButton::clicked, this, [this] {
        host::dispatch([this] { host::ExportarGrade(dbgResumo, QStringLiteral("Resumo_Periodo.xlsx")); });
    });
    connect(imprimir, &QPushButton::clicked, this, [this] {
        host::dispatch([this] {
            host::PrintHeader h = m_screen->cabecalhoImpressao(m_screen->dbgPadrao);
            h.title = windowTitle() + QStringLiteral(" — ") + cbxAgrupar->currentText();
            h.totals.clear();
            h.keyFields.clear();  // the history's, not the summary's
            h.paperText = nullptr;
            host::ImprimirGrade(dbgResumo, h, QStringLiteral("Resumo_Periodo.pdf"));
        });
    });
    // A double click narrows the history to the cell's rows (no server call).
    connect(dbgResumo, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &at) {
        host::dispatch([this, at] { filtraCelula(at.row(), at.column()); });
    });
    resize(900, 420);
    recalcula();
}

void TfrmResumoPeriodo::recalcula()
{
    const QString field = cbxAgrupar->currentData().toString();
    const ResumoPeriodo r = resumirHistorico(m_screen, field);
    m_linhas = r.linhas;
    m_tipos = r.tipos;
    const QString unidade = m_screen->edtSgIndice->text().isEmpty() ? QStringLiteral("R$") : m_screen->edtSgIndice->text();
    // One row per group and a total row; per kind of operation a count and a sum.
    cdsResumo->Close();
    auto *fresh = new TClientDataSet(this, QStringLiteral("cdsResumo"));
    QVector<TColumn> cols;
    fresh->AddField(QStringLiteral("GRUPO"), TFieldKind::String, 60, cbxAgrupar->currentText());
    cols.push_back({QStringLiteral("GRUPO"), cbxAgrupar->currentText(), 0, true, {}});
    QStringList kinds = r.tipos;
    kinds << QStringLiteral("Total");
    for (int i = 0; i < kinds.size(); ++i) {
        const QString q = QStringLiteral("Q%1").arg(i), v = QStringLiteral("V%1").arg(i);
        fresh->AddField(q, TFieldKind::Float, 0, QStringLiteral("%1 (qtd.)").arg(kinds[i]), true, QStringLiteral("#,##0"));
        fresh->AddField(v, TFieldKind::Float, 0, QStringLiteral("%1 (%2)").arg(kinds[i], unidade), true, QStringLiteral("#,##0.00"));
        cols.push_back({q, {}, 0, true, {}});
        cols.push_back({v, {}, 0, true, {}});
    }
    wire::DataPacket p;
    p.fields = fresh->Layout();
    const auto row = [&](const QString &name, const auto &cellOf) {
        wire::Row out(p.fields.size());
        out[0] = name;
        for (int i = 0; i < kinds.size(); ++i) {
            const ResumoCelula c = cellOf(i);
            if (c.quantidade == 0) continue;
            out[1 + 2 * i] = double(c.quantidade);
            if (c.somadas > 0) out[2 + 2 * i] = c.valor();  // no converted row: no sum, not 0,00
        }
        p.rows << out;
    };
    for (const QString &g : r.linhas)
        row(g, [&](int i) { return i < r.tipos.size() ? r.celulas.value(g).value(r.tipos[i]) : r.porLinha.value(g); });
    row(QStringLiteral("Total"), [&](int i) { return i < r.tipos.size() ? r.porTipo.value(r.tipos[i]) : r.total; });
    if (r.semConversao > 0) {
        wire::Row out(p.fields.size());
        out[0] = QStringLiteral("Sem conversão (contadas, fora das somas): %1").arg(hostLocale().toString(r.semConversao));
        p.rows << out;
    }
    fresh->LoadFromPacket(p);
    m_src->SetDataSet(nullptr);
    delete cdsResumo;
    cdsResumo = fresh;
    dbgResumo->SetColumns(cols);
    m_src->SetDataSet(cdsResumo);
    dbgResumo->SetDataSource(m_src);
}

void TfrmHistoricoBem::mnuResumoClick()
{
    if (!cdsHistoricoBem->Active() || cdsHistoricoBem->IsEmpty()) MensErroAborta(QStringLiteral("Não há operações para resumir."));
    TfrmResumoPeriodo dlg(this);
    dlg.exec();
}

void TfrmResumoPeriodo::filtraCelula(int row, int column)
{
    if (row < 0 || row >= m_linhas.size() + 1 || column < 0) return;  // the line of unconverted rows narrows nothing
    const QString group = row < m_linhas.size() ? m_linhas[row] : QString();
    const int kindAt = column == 0 ? m_tipos.size() : (column - 1) / 2;
    const QString kind = kindAt < m_tipos.size() ? m_tipos[kindAt] : QString();
    QStringList caption;
    if (!group.isEmpty()) caption << group;
    if (!kind.isEmpty()) caption << kind;
    if (caption.isEmpty()) caption << QStringLiteral("todas as operações do resumo");
    // The total row is any group; "(sem nome)" is the rows whose group has no name.
    std::optional<QString> only;
    if (!group.isEmpty()) only = group == kSemNome ? QString() : group;
    m_screen->filtraHistorico(cbxAgrupar->currentData().toString(), only, kind, caption.join(QStringLiteral(" · ")));
    accept();
}
