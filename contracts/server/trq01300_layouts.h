#pragma once
// Packet layouts of the server object Trq01300.rdmHistoricoBem: field names,
// kinds and widths, in packet order. The server writes its answers with them
// and the screen declares its tables from them; the screen adds only labels,
// formats, widths and visibility.
#include "datapacket.h"

namespace trq01300::layout {

using wire::FieldDef;
using K = wire::FieldKind;

// GetHistoricoOpBem
inline const QVector<FieldDef> &history()
{
    static const QVector<FieldDef> f = {
        {"IDSITOPERABEM", K::String, 1},    {"CAPADBTNOME", K::String, 63},
        {"NRSEQOPERABEM", K::String, 10},   {"DTOPERABEM", K::DateTime, 0},
        {"CDBEMATIVO", K::String, 250},     {"NMBEMATIVO", K::String, 20},
        {"NMTIPOOPERBEM", K::String, 50},   {"IDIDENTOPERABEM", K::String, 2},
        {"NMMOTIVOOPER", K::String, 50},    {"NMOPERADOR", K::String, 40},
        {"NMFANTCLIE", K::String, 50},      {"NRNOTAFIOPERA", K::String, 20},
        {"CDSERIENFOPERA", K::String, 5},   {"VROPERABEM", K::Float, 0},
        {"NMFILIAL", K::String, 30},        {"CDFILIAL", K::String, 4},
        {"NMCENTCUST", K::String, 40},      {"CDBEMATIVCRIADO", K::String, 10},
        {"CDCENTCUST", K::String, 4},       {"NMSETOR", K::String, 30},
        {"CDSETOR", K::String, 4},          {"NMGRUPOBEM", K::String, 50},
        {"CDGRUPOBEM", K::String, 6},       {"QTMESDEPOPENOVO", K::Float, 0},
        {"VRTAXDEPOPENOVO", K::Float, 0},   {"VRJADEPROPEBEM", K::Float, 0},
        {"VRFALDEPROPEBEM", K::Float, 0},   {"DTINCOPERABEM", K::DateTime, 0},
        {"CDOPEINCOPERABE", K::String, 12}, {"NMOPERINC", K::String, 40},
        {"DTATUOPERABEM", K::DateTime, 0},  {"NMOPERATU", K::String, 40},
        {"CDOPEATUOPERABE", K::String, 12}, {"DTCANOPERABEM", K::DateTime, 0},
        {"CDOPECANOPERABE", K::String, 12}, {"NMOPERCAN", K::String, 40},
        {"DSOBSOPERABEM", K::String, 2000}, {"QTMESJADEPOPEB", K::Float, 0},
        {"QTMESFALDEPOPEB", K::Float, 0},   {"VRFALDEPROPEBEM2", K::Float, 0},
        {"VRJADEPROPEBEM2", K::Float, 0},   {"VROPERABEM2", K::Float, 0},
        {"IDINDFINOK", K::FixedString, 1},  {"DTAQUIBEMATIVO", K::DateTime, 0},
        {"NRSEQCAPAOPEBEM", K::String, 10}, {"NRSEQITCAPAOPE", K::String, 10}};
    return f;
}

// GetEspecOper
inline const QVector<FieldDef> &especOper()
{
    static const QVector<FieldDef> f = {
        {"NRSEQCAPAOPEBEM", K::String, 10}, {"NRSEQITCAPAOPE", K::String, 10},
        {"CDESPECIFICABEM", K::String, 6},  {"NMESPECIFICABEM", K::String, 50},
        {"NMABREVESPECBEM", K::String, 15}, {"IDESPECIFICABEM", K::String, 2},
        {"DTESPECITCAPAOP", K::DateTime, 0}, {"VRESPECITCAPAOP", K::String, 15},
        {"DSESPECITCAPAOP", K::String, 255}, {"VALOR", K::String, 1}};
    return f;
}

// GetCTBLOper
inline const QVector<FieldDef> &ctblOper()
{
    static const QVector<FieldDef> f = {{"NRSEQCTBLITCAPA", K::String, 3}, {"IDTIPOOPERCONT", K::String, 1},
                                        {"CDCONTCTBL", K::String, 20},     {"NMCONTCTBL", K::String, 40},
                                        {"VRCONTCTBLITC", K::Float, 0}};
    return f;
}

// getIndiceFin
inline const QVector<FieldDef> &indiceFin()
{
    static const QVector<FieldDef> f = {{"SGINDICE", K::String, 5}, {"INDICE", K::String, 30},
                                        {"CDTPINDICE", K::String, 1}, {"CDINDICE", K::String, 4},
                                        {"IDPERVALOR", K::String, 1}};
    return f;
}

// getIndFin and getIndFinMes
inline const QVector<FieldDef> &indexValues()
{
    static const QVector<FieldDef> f = {{"CDTPINDICE", K::String, 1}, {"IDPERVALOR", K::String, 1},
                                        {"CDINDICE", K::String, 4},   {"DTREFIND", K::DateTime, 0},
                                        {"VRINDICE", K::Float, 0},    {"SGINDICE", K::String, 5}};
    return f;
}

// getBem
inline const QVector<FieldDef> &bem()
{
    static const QVector<FieldDef> f = {{"IDMARCADO", K::FixedString, 1}, {"CDBEMATIVO", K::String, 10},
                                        {"CDPATRIBEMATIVO", K::String, 30}, {"NMBEMATIVO", K::String, 50}};
    return f;
}

// getTipoDeOperacao
inline const QVector<FieldDef> &tipoOper()
{
    static const QVector<FieldDef> f = {{"IDMARCADO", K::FixedString, 1}, {"CDTIPOOPERBEM", K::String, 6},
                                        {"NMTIPOOPERBEM", K::String, 50}};
    return f;
}

// getMotivoOper. CHAVE is the type code, the separator, then the reason code,
// so that type "1" with reason "23" and type "12" with reason "3" stay apart.
inline constexpr char kReasonKeySeparator = '|';
inline const QVector<FieldDef> &motivoOper()
{
    static const QVector<FieldDef> f = {{"IDMARCADO", K::FixedString, 1}, {"CDTIPOOPERBEM", K::String, 8},
                                        {"CDMOTIVOOPER", K::String, 8},   {"NMMOTIVOOPER", K::String, 50},
                                        {"CHAVE", K::String, 13}};
    return f;
}

// getCentCusto
inline const QVector<FieldDef> &centCusto()
{
    static const QVector<FieldDef> f = {{"IDMARCADO", K::FixedString, 1}, {"CDCENTCUST", K::String, 4},
                                        {"NMCENTCUST", K::String, 40}};
    return f;
}

// getSetor
inline const QVector<FieldDef> &setor()
{
    static const QVector<FieldDef> f = {{"IDMARCADO", K::FixedString, 1}, {"CDSETOR", K::String, 4},
                                        {"SGSETOR", K::String, 10},       {"NMSETOR", K::String, 30}};
    return f;
}

// GetNotaFisc
inline const QVector<FieldDef> &notaFisc()
{
    static const QVector<FieldDef> f = {
        {"CDFILIAL", K::String, 4},     {"NRNOTAFISC", K::String, 20},   {"NRLANCTONF", K::String, 10},
        {"VRNOTAFISC", K::Float, 0},    {"DTEMISSAO", K::DateTime, 0},   {"NMFANTCLIE", K::String, 50},
        {"NMFANTFORN", K::String, 40},  {"CDSERIE", K::String, 5},       {"CDSERIEENTR", K::String, 5},
        {"IDENTRSAIDOP", K::String, 7}};
    return f;
}

}  // namespace trq01300::layout
