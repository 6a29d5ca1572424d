#include "rdmhistoricobem.h"

#include <QLoggingCategory>
#include "oledate.h"
#include "packetwriter.h"
#include "selection.h"
#include "sqlpacket.h"
#include "trq01300_layouts.h"
#include "trq01300_methods.h"

#include <QDate>
#include <QSqlDriver>

namespace trq01300 {

using wire::FieldDef;
using K = wire::FieldKind;
using appsrv::errorReply;

static QString text(const QVector<wire::Arg> &a, int i) { return a[i].text; }

namespace {

// By-reference arguments come back as they were sent.
QVector<QString> echoRefs(const QVector<wire::Arg> &args)
{
    QVector<QString> out;
    for (const wire::Arg &a : args)
        if (a.kind == wire::ArgKind::TextRef) out << a.text;
    return out;
}

// Runs a statement and answers with its rows in the layout given; arguments
// passed by reference come back as they were sent.
wire::Reply listReply(QSqlDatabase &db, const QString &sql, const Filter &f, const QVector<FieldDef> &layout,
                      const QVector<wire::Arg> &args)
{
    QSqlQuery q = run(db, sql, f);
    wire::Reply r;
    r.refs = echoRefs(args);
    r.packet = readPacket(q, layout);
    return r;
}

void requireCompany(QSqlDatabase &db, const QString &code)
{
    Filter f;
    f.add(QStringLiteral("CDEMPRESA = ") + f.bind(code.trimmed()));
    QSqlQuery q = run(db, QStringLiteral("SELECT 1 FROM EMPRESA") + f.where(), f);
    if (!q.next()) throw BadValue(QStringLiteral("Empresa '%1' não cadastrada.").arg(quoted(code)));
}

QDate dateArg(const QString &s)
{
    const QDate d = QDate::fromString(s.trimmed(), QStringLiteral("dd/MM/yyyy"));
    if (!d.isValid()) throw BadValue(QStringLiteral("Data inválida: '%1'. Use o formato dd/mm/aaaa.").arg(quoted(s)));
    return d;
}


void requireKindR(const QString &k)
{
    if (k.trimmed() != QLatin1String("R"))
        throw BadValue(QStringLiteral("Tipo de consulta '%1' desconhecido; o único tipo aceito é \"R\".").arg(quoted(k)));
}

// Where each field of the history packet is read from, by field name; the
// fields not named here are made while the rows are written (the caption, the
// converted values, the conversion mark).
const QHash<QString, QString> &historySources()
{
    static const QHash<QString, QString> c = {
        {"IDSITOPERABEM", "O.IDSITOPERABEM"},     {"NRSEQOPERABEM", "O.NRSEQOPERABEM"},
        {"DTOPERABEM", "O.DTOPERABEM"},           {"CDBEMATIVO", "O.CDBEMATIVO"},
        {"NMBEMATIVO", "B.NMBEMATIVO"},           {"NMTIPOOPERBEM", "T.NMTIPOOPERBEM"},
        {"IDIDENTOPERABEM", "O.IDIDENTOPERABEM"}, {"NMMOTIVOOPER", "M.NMMOTIVOOPER"},
        {"NMOPERADOR", "R.NMOPERADOR"},           {"NMFANTCLIE", "C.NMFANTCLIE"},
        {"NRNOTAFIOPERA", "O.NRNOTAFIOPERA"},     {"CDSERIENFOPERA", "O.CDSERIENFOPERA"},
        {"VROPERABEM", "O.VROPERABEM"},           {"NMFILIAL", "F.NMFILIAL"},
        {"CDFILIAL", "O.CDFILIAL"},               {"NMCENTCUST", "CC.NMCENTCUST"},
        {"CDBEMATIVCRIADO", "O.CDBEMATIVCRIADO"}, {"CDCENTCUST", "O.CDCENTCUST"},
        {"NMSETOR", "S.NMSETOR"},                 {"CDSETOR", "O.CDSETOR"},
        {"NMGRUPOBEM", "G.NMGRUPOBEM"},           {"CDGRUPOBEM", "B.CDGRUPOBEM"},
        {"QTMESDEPOPENOVO", "O.QTMESDEPOPENOVO"}, {"VRTAXDEPOPENOVO", "O.VRTAXDEPOPENOVO"},
        {"VRJADEPROPEBEM", "O.VRJADEPROPEBEM"},   {"VRFALDEPROPEBEM", "O.VRFALDEPROPEBEM"},
        {"DTINCOPERABEM", "O.DTINCOPERABEM"},     {"CDOPEINCOPERABE", "O.CDOPEINCOPERABE"},
        {"NMOPERINC", "OI.NMOPERADOR"},     {"DTATUOPERABEM", "O.DTATUOPERABEM"},
        {"NMOPERATU", "OA.NMOPERADOR"},     {"CDOPEATUOPERABE", "O.CDOPEATUOPERABE"},
        {"DTCANOPERABEM", "O.DTCANOPERABEM"},     {"CDOPECANOPERABE", "O.CDOPECANOPERABE"},
        {"NMOPERCAN", "OC.NMOPERADOR"},     {"DSOBSOPERABEM", "O.DSOBSOPERABEM"},
        {"QTMESJADEPOPEB", "O.QTMESJADEPOPEB"},   {"QTMESFALDEPOPEB", "O.QTMESFALDEPOPEB"},
        {"DTAQUIBEMATIVO", "B.DTAQUIBEMATIVO"},   {"NRSEQCAPAOPEBEM", "O.NRSEQCAPAOPEBEM"},
        {"NRSEQITCAPAOPE", "O.NRSEQITCAPAOPE"}};
    return c;
}

}  // namespace

HistoryStatement historyStatement(const QVector<wire::Arg> &a)
{
    const QString emp = text(a, 0).trimmed();
    HistoryStatement st;
    Filter &f = st.filter;
    f.add(QStringLiteral("O.CDEMPRESA = ") + f.bind(emp));
    // a[3] is the whole-period flag; a[4..] the criteria pairs.
    if (text(a, 3).trimmed() != QLatin1String("T")) {
        if (a[1].dateEmpty || a[2].dateEmpty)
            throw BadValue(QStringLiteral("Período não informado: informe as duas datas ou peça o período todo."));
        const QDate ini = wire::fromOleDate(a[1].date).date(), fim = wire::fromOleDate(a[2].date).date();
        f.add(QStringLiteral("O.DTOPERABEM >= ") + f.bind(ini));
        f.add(QStringLiteral("O.DTOPERABEM <= ") + f.bind(fim));
    }
    f.addSelection(QStringLiteral("B.CDGRUPOBEM"), text(a, 4), text(a, 5));
    f.addSelection(QStringLiteral("O.CDBEMATIVO"), text(a, 6), text(a, 7));
    f.addSelection(QStringLiteral("O.CDTIPOOPERBEM"), text(a, 8), text(a, 9));
    if (text(a, 11).trimmed() != QLatin1String("T")) {
        const ReasonKeys keys = splitReasonKeys(parseSelection(text(a, 10)));
        f.addAnyIn({{reasonKeySql(QStringLiteral("O.CDTIPOOPERBEM"), QStringLiteral("O.CDMOTIVOOPER")), keys.exact},
                    {joinedReasonKeySql(QStringLiteral("O.CDTIPOOPERBEM"), QStringLiteral("O.CDMOTIVOOPER")), keys.joined}});
    }
    f.addSelection(QStringLiteral("O.CDOPERADOR"), text(a, 12), text(a, 13));
    f.addIn(QStringLiteral("O.IDSITOPERABEM"), parseSituation(text(a, 14)));
    f.addSelection(QStringLiteral("O.CDFILIAL"), text(a, 15), text(a, 16));
    f.addSelection(QStringLiteral("O.CDCENTCUST"), text(a, 17), text(a, 18));
    f.addSelection(QStringLiteral("O.CDSETOR"), text(a, 19), text(a, 20));
    f.addSelection(QStringLiteral("O.CDCLIENTE"), text(a, 21), text(a, 22));
    if (text(a, 24).trimmed() != QLatin1String("T"))
        f.add(QStringLiteral("O.CDSERIENFOPERA = ") + f.bind(text(a, 23).trimmed()));
    if (text(a, 26).trimmed() != QLatin1String("T"))
        f.add(QStringLiteral("O.NRNOTAFIOPERA = ") + f.bind(text(a, 25).trimmed()));

    QStringList cols;
    const auto &fields = layout::history();
    const QHash<QString, QString> &sources = historySources();
    for (int i = 0; i < fields.size(); ++i) {
        const QString source = sources.value(fields[i].name);
        if (source.isEmpty()) continue;
        cols << source;
        st.target << i;
    }
    st.sql = QStringLiteral(
        "SELECT %1 FROM OPERABEM O "
        "LEFT JOIN BEMATIVO B ON B.CDEMPRESA = O.CDEMPRESA AND B.CDBEMATIVO = O.CDBEMATIVO "
        "LEFT JOIN TIPOOPERBEM T ON T.CDEMPRESA = O.CDEMPRESA AND T.CDTIPOOPERBEM = O.CDTIPOOPERBEM "
        "LEFT JOIN MOTIVOOPER M ON M.CDEMPRESA = O.CDEMPRESA AND M.CDTIPOOPERBEM = O.CDTIPOOPERBEM "
        "  AND M.CDMOTIVOOPER = O.CDMOTIVOOPER "
        "LEFT JOIN OPERADOR R ON R.CDOPERADOR = O.CDOPERADOR "
        "LEFT JOIN CLIENTE C ON C.CDCLIENTE = O.CDCLIENTE "
        "LEFT JOIN FILIAL F ON F.CDFILIAL = O.CDFILIAL "
        "LEFT JOIN CENTCUSTO CC ON CC.CDCENTCUST = O.CDCENTCUST "
        "LEFT JOIN SETOR S ON S.CDSETOR = O.CDSETOR "
        "LEFT JOIN GRUPOBEM G ON G.CDEMPRESA = B.CDEMPRESA AND G.CDGRUPOBEM = B.CDGRUPOBEM "
        "LEFT JOIN OPERADOR OI ON OI.CDOPERADOR = O.CDOPEINCOPERABE "
        "LEFT JOIN OPERADOR OA ON OA.CDOPERADOR = O.CDOPEATUOPERABE "
        "LEFT JOIN OPERADOR OC ON OC.CDOPERADOR = O.CDOPECANOPERABE"
        "%2 ORDER BY O.DTOPERABEM, O.NRSEQOPERABEM").arg(cols.join(QStringLiteral(", ")), f.where());
    return st;
}

namespace {

Q_LOGGING_CATEGORY(lcHistory, "appserver.history", QtWarningMsg)

// A cell's text without a copy when the driver holds it as text.
QStringView textOf(const QVariant &v, QString *scratch)
{
    if (v.metaType() == QMetaType::fromType<QString>()) return *static_cast<const QString *>(v.constData());
    *scratch = v.toString();
    return *scratch;
}

// A history leaves in pieces of about this size when its client takes them:
// the client reads one while the next is made.
constexpr qsizetype kHistoryPieceBytes = 256 * 1024;

wire::Reply history(QSqlDatabase &db, const QVector<wire::Arg> &a, wire::ReplySink *sink)
{
    requireCompany(db, text(a, 0).trimmed());
    const HistoryStatement st = historyStatement(a);
    const QVector<int> &target = st.target;
    QSqlQuery q = run(db, st.sql, st.filter);
    wire::Reply r;
    r.refs = echoRefs(a);
    const auto &fields = layout::history();
    const int n = fields.size();
    const auto at = [&fields](const char *name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name == QLatin1String(name)) return i;
        throw std::logic_error(std::string("history layout lacks ") + name);
    };
    const int kCaption = at("CAPADBTNOME"), kCode = at("CDBEMATIVO"), kName = at("NMBEMATIVO"), kNumber = at("NRSEQOPERABEM"),
              kOk = at("IDINDFINOK");
    // Statement column of each packet field; the converted values start as copies
    // of the recorded ones, the caption and the mark are made here.
    QVector<int> column(n, -1);
    for (int c = 0; c < target.size(); ++c) column[target[c]] = c;
    for (const char *recorded : {"VROPERABEM", "VRJADEPROPEBEM", "VRFALDEPROPEBEM"})
        column[at((QByteArray(recorded) + '2').constData())] = column[at(recorded)];
    const QString notConverted = QStringLiteral("N"), dash = QStringLiteral(" - ");
    // Large histories are written straight into the reply, row by row.
    wire::PacketWriter pw(&r.packetCbor, fields);
    if (sink) pw.streamTo([sink, &r](QByteArrayView bytes) { return sink->piece(r.refs, bytes); }, kHistoryPieceBytes);
    // A history larger than any reply may be is stopped while it is read, not
    // built whole and refused afterwards (room kept for the reply's head).
    constexpr qsizetype kPacketCap = wire::kMaxFrameBytes - 1024 * 1024;
    qsizetype rows = 0, withoutAsset = 0;
    QString firstWithoutAsset;
    // Each statement column is read once per row, whatever fields it feeds;
    // the caption is made in a buffer kept from row to row.
    const int columns = target.size();
    QVector<QVariant> value(columns);
    QString caption, codeText, nameText;
    while (q.next()) {
        for (int c = 0; c < columns; ++c) value[c] = q.value(c);
        // An operation whose asset row is missing is still returned, with the
        // asset's fields empty: never dropped silently.
        if (value[column[kName]].isNull() && withoutAsset++ == 0) firstWithoutAsset = value[column[kNumber]].toString();
        if ((++rows & 255) == 0 && pw.bytes() > kPacketCap) throw BadValue(QString::fromUtf8(wire::kReplyTooLargeMessage));
        pw.beginRow();
        // The reply passed its cap while its pieces were going out.
        if (!pw.flowing()) throw BadValue(QString::fromUtf8(wire::kReplyTooLargeMessage));
        for (int i = 0; i < n; ++i) {
            if (i == kCaption) {
                caption.resize(0);
                caption.append(textOf(value[column[kCode]], &codeText)).append(dash).append(textOf(value[column[kName]], &nameText));
                caption.truncate(63);
                pw.text(caption);
            } else if (i == kOk) {
                pw.text(notConverted);
            } else {
                writeCell(pw, value[column[i]], fields[i].kind);
            }
        }
    }
    checkRead(q);
    pw.finish();
    if (withoutAsset > 0)
        qCWarning(lcHistory).noquote() << withoutAsset << "operation(s) of company" << text(a, 0).trimmed()
                                       << "refer to an asset that does not exist (the first:" << firstWithoutAsset + ")";
    r.rows = rows;
    return r;
}

// The keys of one operation's details: the company (first) must exist and the
// kind must be "R"; each key is matched exactly.
Filter detailFilter(QSqlDatabase &db, const QVector<wire::Arg> &a, int kindArg, const QStringList &columns,
                    const QVector<int> &args)
{
    requireCompany(db, text(a, args[0]));
    requireKindR(text(a, kindArg));
    Filter f;
    for (int i = 0; i < columns.size(); ++i)
        f.add(columns[i] + QStringLiteral(" = ") + f.bind(i == 0 ? text(a, args[i]).trimmed() : text(a, args[i])));
    return f;
}

wire::Reply especOper(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    const Filter f = detailFilter(db, a, 1, {"O.CDEMPRESA", "O.NRSEQOPERABEM", "O.CDBEMATIVO"}, {0, 2, 3});
    return listReply(db, QStringLiteral(
        "SELECT E.NRSEQCAPAOPEBEM, E.NRSEQITCAPAOPE, E.CDESPECIFICABEM, P.NMESPECIFICABEM, P.NMABREVESPECBEM, "
        "P.IDESPECIFICABEM, E.DTESPECITCAPAOP, E.VRESPECITCAPAOP, E.DSESPECITCAPAOP, '' "
        "FROM OPERABEM O JOIN ESPECITCAPAOPE E ON E.CDEMPRESA = O.CDEMPRESA "
        "AND E.NRSEQCAPAOPEBEM = O.NRSEQCAPAOPEBEM AND E.NRSEQITCAPAOPE = O.NRSEQITCAPAOPE "
        "JOIN ESPECIFICABEM P ON P.CDESPECIFICABEM = E.CDESPECIFICABEM%1 ORDER BY E.CDESPECIFICABEM").arg(f.where()),
                     f, layout::especOper(), a);
}

wire::Reply ctblOper(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    const Filter f = detailFilter(db, a, 3, {"L.CDEMPRESA", "L.NRSEQCAPAOPEBEM", "L.NRSEQITCAPAOPE"}, {0, 1, 2});
    return listReply(db, QStringLiteral(
        "SELECT L.NRSEQCTBLITCAPA, L.IDTIPOOPERCONT, L.CDCONTCTBL, K.NMCONTCTBL, L.VRCONTCTBLITC "
        "FROM CTBLITCAPAOPE L LEFT JOIN CONTACTBL K ON K.CDCONTCTBL = L.CDCONTCTBL%1 "
        "ORDER BY L.NRSEQCTBLITCAPA").arg(f.where()), f, layout::ctblOper(), a);
}

wire::Reply indiceFin(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    Filter f;
    if (text(a, 1).trimmed() != QLatin1String("T"))
        f.add(QStringLiteral("UPPER(SGINDICE) = ") + f.bind(text(a, 0).trimmed().toUpper()));
    if (text(a, 2).trimmed() != QLatin1String("T"))
        f.add(QStringLiteral("CDTPINDICE = ") + f.bind(text(a, 2).trimmed()));
    return listReply(db, QStringLiteral("SELECT SGINDICE, INDICE, CDTPINDICE, CDINDICE, IDPERVALOR FROM INDICEFIN%1 "
                                         "ORDER BY SGINDICE").arg(f.where()), f, layout::indiceFin(), a);
}

wire::Reply indexValues(QSqlDatabase &db, const QVector<wire::Arg> &a, const QDate &from, const QDate &to)
{
    Filter f;
    f.add(QStringLiteral("V.CDINDICE = ") + f.bind(text(a, 0).trimmed()));
    f.add(QStringLiteral("V.DTREFIND >= ") + f.bind(from));
    f.add(QStringLiteral("V.DTREFIND <= ") + f.bind(to));
    return listReply(db, QStringLiteral(
        "SELECT I.CDTPINDICE, I.IDPERVALOR, V.CDINDICE, V.DTREFIND, V.VRINDICE, I.SGINDICE "
        "FROM VALORINDICE V JOIN INDICEFIN I ON I.CDINDICE = V.CDINDICE%1 ORDER BY V.DTREFIND").arg(f.where()),
                     f, layout::indexValues(), a);
}

wire::Reply bem(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    requireCompany(db, text(a, 0));
    Filter f;
    f.add(QStringLiteral("CDEMPRESA = ") + f.bind(text(a, 0).trimmed()));
    f.add(QStringLiteral("IDTIPOBEMATIVO = 'R'"));
    f.addSelection(QStringLiteral("CDGRUPOBEM"), text(a, 1), text(a, 2));
    return listReply(db, QStringLiteral("SELECT DISTINCT ' ', CDBEMATIVO, CDPATRIBEMATIVO, NMBEMATIVO FROM BEMATIVO%1 "
                                         "ORDER BY CDBEMATIVO").arg(f.where()), f, layout::bem(), a);
}

// A list argument that is "T" (everything) or a selection.
void addListArg(Filter &f, const QString &column, const QString &arg)
{
    if (arg.trimmed() == QLatin1String("T")) return;
    f.addIn(column, parseSelection(arg));
}

wire::Reply tipoOper(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    requireCompany(db, text(a, 0));
    Filter f;
    f.add(QStringLiteral("CDEMPRESA = ") + f.bind(text(a, 0).trimmed()));
    addListArg(f, QStringLiteral("CDTIPOOPERBEM"), text(a, 1));
    return listReply(db, QStringLiteral("SELECT ' ', CDTIPOOPERBEM, NMTIPOOPERBEM FROM TIPOOPERBEM%1 ORDER BY CDTIPOOPERBEM")
                              .arg(f.where()), f, layout::tipoOper(), a);
}

wire::Reply motivoOper(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    requireCompany(db, text(a, 0));
    Filter f;
    f.add(QStringLiteral("CDEMPRESA = ") + f.bind(text(a, 0).trimmed()));
    addListArg(f, QStringLiteral("CDTIPOOPERBEM"), text(a, 1));
    return listReply(db, QStringLiteral("SELECT ' ', CDTIPOOPERBEM, CDMOTIVOOPER, NMMOTIVOOPER, %1 FROM MOTIVOOPER%2 "
                                         "ORDER BY CDMOTIVOOPER, CDTIPOOPERBEM")
                              .arg(reasonKeySql(QStringLiteral("CDTIPOOPERBEM"), QStringLiteral("CDMOTIVOOPER")), f.where()),
                     f, layout::motivoOper(), a);
}

wire::Reply centCusto(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    Filter f;
    addListArg(f, QStringLiteral("CDCENTCUST"), text(a, 0));
    return listReply(db, QStringLiteral("SELECT ' ', CDCENTCUST, NMCENTCUST FROM CENTCUSTO%1 ORDER BY CDCENTCUST").arg(f.where()),
                     f, layout::centCusto(), a);
}

wire::Reply setor(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    Filter f;
    addListArg(f, QStringLiteral("CDSETOR"), text(a, 0));
    return listReply(db, QStringLiteral("SELECT ' ', CDSETOR, SGSETOR, NMSETOR FROM SETOR%1 ORDER BY CDSETOR").arg(f.where()),
                     f, layout::setor(), a);
}

wire::Reply notaFisc(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    requireCompany(db, text(a, 0));
    Filter f;
    f.add(QStringLiteral("N.CDEMPRESA = ") + f.bind(text(a, 0).trimmed()));
    f.addSelection(QStringLiteral("N.CDCLIENTE"), text(a, 1), text(a, 2));
    f.addSelection(QStringLiteral("N.CDFORNECED"), text(a, 3), text(a, 4));
    return listReply(db, QStringLiteral(
        "SELECT N.CDFILIAL, N.NRNOTAFISC, N.NRLANCTONF, N.VRNOTAFISC, N.DTEMISSAO, C.NMFANTCLIE, F.NMFANTFORN, "
        "N.CDSERIE, N.CDSERIEENTR, N.IDENTRSAIDOP FROM NOTAFISCAL N "
        "LEFT JOIN CLIENTE C ON C.CDCLIENTE = N.CDCLIENTE LEFT JOIN FORNECEDOR F ON F.CDFORNECED = N.CDFORNECED"
        "%1 ORDER BY N.DTEMISSAO, N.NRLANCTONF").arg(f.where()), f, layout::notaFisc(), a);
}

wire::Reply indFin(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    const QDate d = dateArg(text(a, 1));
    return indexValues(db, a, d, d);
}

wire::Reply wholeHistory(QSqlDatabase &db, const QVector<wire::Arg> &a) { return history(db, a, nullptr); }

wire::Reply indFinMes(QSqlDatabase &db, const QVector<wire::Arg> &a)
{
    return indexValues(db, a, dateArg(text(a, 1)), dateArg(text(a, 2)));
}

using Handler = wire::Reply (*)(QSqlDatabase &, const QVector<wire::Arg> &);

// The handler of each method of the contract's table, looked up by its name.
const QHash<QString, Handler> &handlers()
{
    static const QHash<QString, Handler> h = [] {
        const QHash<QString, Handler> byName = {
            {"GetHistoricoOpBem", wholeHistory}, {"GetEspecOper", especOper},   {"GetCTBLOper", ctblOper},
            {"getIndiceFin", indiceFin},    {"getIndFin", indFin},         {"getIndFinMes", indFinMes},
            {"getBem", bem},                {"getTipoDeOperacao", tipoOper}, {"getMotivoOper", motivoOper},
            {"getCentCusto", centCusto},    {"getSetor", setor},           {"GetNotaFisc", notaFisc}};
        QHash<QString, Handler> out;
        for (const MethodSig &m : methodTable()) out.insert(m.name, byName.value(m.name));
        return out;
    }();
    return h;
}

}  // namespace

QString RdmHistoricoBem::name() const { return QString::fromLatin1(kObjectName); }

QString RdmHistoricoBem::probe() const
{
    return QStringLiteral("SELECT 1 FROM OPERABEM, BEMATIVO, INDICEFIN, VALORINDICE, NOTAFISCAL WHERE 1 = 0");
}

QVector<QPair<QString, QVector<wire::ArgKind>>> RdmHistoricoBem::methods() const
{
    QVector<QPair<QString, QVector<wire::ArgKind>>> out;
    for (const MethodSig &m : methodTable())
        if (handlers().value(m.name)) out.push_back({m.name, m.args});
    return out;
}

wire::Reply RdmHistoricoBem::invoke(const QString &method, const QVector<wire::Arg> &a, QSqlDatabase &db)
{
    return invokeStreaming(method, a, db, nullptr);
}

wire::Reply RdmHistoricoBem::invokeStreaming(const QString &method, const QVector<wire::Arg> &a, QSqlDatabase &db,
                                             wire::ReplySink *sink)
{
    const Handler h = handlers().value(method);
    if (!h) return errorReply(wire::ErrorCode::UnknownMethod, QStringLiteral("Método '%1' desconhecido.").arg(quoted(method)));
    try {
        // Only the history is large enough to be worth sending while it is read.
        if (sink && h == wholeHistory) return history(db, a, sink);
        return h(db, a);
    } catch (const BadValue &e) {
        return errorReply(wire::ErrorCode::BadValue, QString::fromStdString(e.what()));
    }
    // Database failures travel on to the server, which logs their detail and
    // answers the caller with a reference only.
}

}  // namespace trq01300
