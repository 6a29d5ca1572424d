// The filter dialog's saved options: its 27 criteria travel in the host's
// option variables, under their own names.
#include "Cli_trq01301.h"

#include <QStringList>

namespace {
// The names in declaration order, the order the criteria fields are kept in.
const QStringList &criteriaNames()
{
    static const QStringList names = {
        QStringLiteral("stGrupoBem"),   QStringLiteral("stTGrupoBem"),   QStringLiteral("stCdBem"),
        QStringLiteral("stTCdBem"),     QStringLiteral("stCdTpOper"),    QStringLiteral("stTCdTpOper"),
        QStringLiteral("stCdMotivoOp"), QStringLiteral("stTCdMotivoOp"), QStringLiteral("stOperador"),
        QStringLiteral("stTOperador"),  QStringLiteral("stSituacao"),    QStringLiteral("stFilial"),
        QStringLiteral("stTFilial"),    QStringLiteral("stCCusto"),      QStringLiteral("stTCCusto"),
        QStringLiteral("stTSetor"),     QStringLiteral("stSetor"),       QStringLiteral("stCliente"),
        QStringLiteral("stTCliente"),   QStringLiteral("stSerieNF"),     QStringLiteral("stTSerieNF"),
        QStringLiteral("stCdNF"),       QStringLiteral("stTCdNF"),       QStringLiteral("stFornecedor"),
        QStringLiteral("stTFornecedor"), QStringLiteral("stValBem"),     QStringLiteral("stValMotivo")};
    return names;
}
}  // namespace

QStringList TfrmFiltroHistOpBem::criteriaNames() { return ::criteriaNames(); }

void TfrmFiltroHistOpBem::btfSaveOpcClick()
{
    const QVector<QString *> fields = criteriaFields();
    for (int i = 0; i < fields.size(); ++i) stlVariaveis.SetValue(::criteriaNames().at(i), *fields[i]);
    TfrmFiltroPadrao::btfSaveOpcClick();
}

void TfrmFiltroHistOpBem::btfLoadOpcClick()
{
    // A load that fails or is cancelled ends here and the fields keep their values.
    TfrmFiltroPadrao::btfLoadOpcClick();
    const QVector<QString *> fields = criteriaFields();
    for (int i = 0; i < fields.size(); ++i) *fields[i] = stlVariaveis.Value(::criteriaNames().at(i));
    mostraSelecoes();
    update();
}
