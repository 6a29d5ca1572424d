#pragma once
// Method table of the server object Trq01300.rdmHistoricoBem: names and the
// kind of each positional argument.
#include "call.h"
#include <QMap>
#include <QStringList>

namespace trq01300 {

inline const char *kObjectName = "Trq01300.rdmHistoricoBem";

struct MethodSig {
    QString name;
    QVector<wire::ArgKind> args;
};

inline QVector<MethodSig> methodTable()
{
    using K = wire::ArgKind;
    QVector<K> hist{K::Text, K::Date, K::Date};
    for (int i = 0; i < 24; ++i) hist << K::TextRef;
    return {
        {"GetHistoricoOpBem", hist},
        {"GetEspecOper", {K::Text, K::Text, K::Text, K::Text}},
        {"GetCTBLOper", {K::Text, K::Text, K::Text, K::Text}},
        // The third argument goes by value or by reference, as the caller needs.
        {"getIndiceFin", {K::Text, K::Text, K::Text}},
        {"getIndFin", {K::TextRef, K::Text}},
        {"getIndFinMes", {K::TextRef, K::Text, K::Text}},
        {"getBem", {K::Text, K::TextRef, K::TextRef}},
        {"getTipoDeOperacao", {K::Text, K::Text}},
        {"getMotivoOper", {K::Text, K::TextRef}},
        {"getCentCusto", {K::Text}},
        {"getSetor", {K::Text}},
        {"GetNotaFisc", {K::Text, K::TextRef, K::TextRef, K::TextRef, K::TextRef}},
    };
}

}  // namespace trq01300
