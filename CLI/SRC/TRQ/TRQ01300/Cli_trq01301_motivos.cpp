// Reason keys saved before the separator between type and reason.
#include "Cli_trq01301.h"

#include "dataset.h"
#include "selectionstring.h"
#include "trq01300_layouts.h"

// A key saved as the two codes joined with nothing between stands for every
// listed reason whose codes join to it, as the server reads it; the picker is
// handed those reasons' keys, so it marks what the history would show and a
// confirmation keeps it.
QString TfrmFiltroHistOpBem::motivosComChaveAtual(const QString &selecao) const
{
    const QStringList keys = wire::parseSelection(selecao);
    const int tipo = cdsMotivoOper->FieldByName(QStringLiteral("CDTIPOOPERBEM"))->Index();
    const int motivo = cdsMotivoOper->FieldByName(QStringLiteral("CDMOTIVOOPER"))->Index();
    const int chave = cdsMotivoOper->FieldByName(QStringLiteral("CHAVE"))->Index();
    QStringList out;
    bool changed = false;
    for (const QString &k : keys) {
        if (k.contains(QLatin1Char(trq01300::layout::kReasonKeySeparator))) {
            out << k;
            continue;
        }
        QStringList matches;
        for (int r = 0; r < cdsMotivoOper->RecordCount(); ++r)
            if (cdsMotivoOper->valueAt(r, tipo).toString() + cdsMotivoOper->valueAt(r, motivo).toString() == k)
                matches << cdsMotivoOper->valueAt(r, chave).toString();
        if (matches.isEmpty()) {
            out << k;
        } else {
            out << matches;
            changed = true;
        }
    }
    return changed ? wire::joinSelection(out) : selecao;
}
