// What each "Lista" criterion holds, told beside its radio: how many codes are
// chosen, and which (names in the tooltip, as far as a list showed them).
#include "Cli_trq01301.h"

#include "adoibquery.h"
#include "consiste.h"
#include "dataset.h"
#include "maskedit.h"
#include "selectionstring.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace {
constexpr int kNamesInTip = 15;
}  // namespace

void TfrmFiltroHistOpBem::buildSelectionCounts()
{
    // Assets and reasons read their last pick: their selection string holds the
    // parent criterion's values while their list is being fetched.
    const QList<SelectionView> views = {
        {rbtListaGrupoBem, &stGrupoBem, qryGrupoBem, "CDGRUPOBEM", "NMGRUPOBEM"},
        {rbtLsBem, &stValBem, cdsBem, "CDBEMATIVO", "NMBEMATIVO"},
        {rbtLsTipoOper, &stCdTpOper, cdsTipoOper, "CDTIPOOPERBEM", "NMTIPOOPERBEM"},
        {rbtLsMotivoOp, &stValMotivo, cdsMotivoOper, "CHAVE", "NMMOTIVOOPER"},
        {rbtLsResponsavel, &stOperador, qryOperador, "CDOPERADOR", "NMOPERADOR"},
        {rbtLsFilial, &stFilial, qryFilial, "CDFILIAL", "NMFILIAL"},
        {rbtLsCentCust, &stCCusto, cdsCentCust, "CDCENTCUST", "NMCENTCUST"},
        {rbtLsSetor, &stSetor, cdsSetor, "CDSETOR", "NMSETOR"},
        {rbtLsCliente, &stCliente, qryCliente, "CDCLIENTE", "NMRAZSOCCLIE"},
        {rbtLsFornec, &stFornecedor, qryFornecedor, "CDFORNECED", "NMRAZSOCFORN"}};
    for (SelectionView v : views) {
        // Under the "Lista" radio, inside the criterion's box.
        v.count = new QLabel(v.lista->parentWidget());
        v.count->setObjectName(v.lista->objectName() + QStringLiteral("Qtd"));
        v.count->setGeometry(v.lista->x() + 18, v.lista->y() + v.lista->height() - 3, 100, 14);
        QFont small = v.count->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        v.count->setFont(small);
        v.count->hide();
        m_selectionViews << v;
    }
}

void TfrmFiltroHistOpBem::mostraSelecoes()
{
    for (SelectionView &v : m_selectionViews) {
        // Names learnt from any list shown, kept for later openings.
        if (v.table->Active()) {
            const TField *key = v.table->FindField(QLatin1String(v.keyField));
            const TField *name = v.table->FindField(QLatin1String(v.nameField));
            if (key && name)
                for (int r = 0; r < v.table->RecordCount(); ++r)
                    v.names.insert(v.table->valueAt(r, key->Index()).toString(), v.table->valueAt(r, name->Index()).toString());
        }
        const QStringList codes = wire::parseSelection(*v.selection);
        const bool shown = v.lista->isChecked() && !codes.isEmpty();
        v.count->setVisible(shown);
        QString tip;
        if (shown) {
            v.count->setText(codes.size() == 1 ? QStringLiteral("1 selecionado")
                                               : QStringLiteral("%1 selecionados").arg(hostLocale().toString(codes.size())));
            QStringList lines;
            for (const QString &c : codes.mid(0, kNamesInTip)) {
                const QString name = v.names.value(c);
                lines << (name.isEmpty() ? c : QStringLiteral("%1 — %2").arg(c, name));
            }
            if (codes.size() > kNamesInTip)
                lines << QStringLiteral("… e mais %1").arg(hostLocale().toString(codes.size() - kNamesInTip));
            tip = lines.join(QLatin1Char('\n'));
        }
        v.count->setToolTip(tip);
        v.lista->setToolTip(tip);
        v.lista->setAccessibleDescription(shown ? v.count->text() : QString());
    }
}

QString TfrmFiltroHistOpBem::criteriosResumo() const
{
    // The criteria that narrow the history, in the dialog's order; the
    // situation always, as it always narrows.
    QStringList parts;
    QStringList situacoes;
    for (const QCheckBox *b : {ckbNContabil, ckbContabilizada, ckbCancela})
        if (b->isChecked()) situacoes << b->text();
    parts << QStringLiteral("Situação: %1").arg(situacoes.join(QStringLiteral(", ")));
    for (const SelectionView &v : m_selectionViews) {
        const int n = wire::parseSelection(*v.selection).size();
        if (!v.lista->isChecked() || n == 0) continue;
        const auto *box = qobject_cast<const QGroupBox *>(v.lista->parentWidget());
        parts << QStringLiteral("%1: %2").arg(box ? box->title() : v.lista->objectName(), v.count->text());
    }
    if (!EmptyString(medNumero->Text())) parts << QStringLiteral("Nota Fiscal: %1").arg(medNumero->Text().trimmed());
    return parts.join(QStringLiteral("; "));
}
