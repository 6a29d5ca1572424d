// Values of the history converted by the chosen financial index: each row's
// recorded values divided by the index value of its asset's acquisition date
// (daily index) or month (monthly index).
#include "Cli_trq01300.h"
#include "module.h"

#include "busy.h"
#include "codec.h"
#include "consiste.h"
#include "dataset.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "maskedit.h"
#include "netconnection.h"

#include <QHash>
#include <QLineEdit>
#include <cmath>
#include <optional>

using namespace trq01300;

namespace {
qint64 chaveMensal(const QDate &d) { return qint64(d.year()) * 12 + d.month() - 1; }

// The index values of the history's whole range of dates in one call (the
// values between two dates, the call a monthly index is asked with), keyed as
// the call per date would have found them: by day (a daily index: a value
// recorded at that day's start) or by month (a monthly one: the earliest value
// from the month's first day to the start of its last). Nothing when the call
// fails: then each date is asked on its own, as always, with its outcomes.
std::optional<QHash<qint64, double>> valoresDoPeriodo(TfrmHistoricoBem *frm, const QDate &de, const QDate &ate, bool mensal)
{
    const QDate ini = mensal ? PriDiaMes(de) : de, fim = mensal ? UltimoDiaMes(ate) : ate;
    const wire::Reply r = frm->netHistoricoBem->Call(
        QStringLiteral("getIndFinMes"), {TNetArg::Ref(StCDIndice), TNetArg::Val(ShortDateText(ini)), TNetArg::Val(ShortDateText(fim))});
    if (!r.ok()) return std::nullopt;
    const auto &f = r.packet.fields;
    int dt = -1, vr = -1;
    for (int i = 0; i < f.size(); ++i) {
        if (f[i].name == QLatin1String("DTREFIND")) dt = i;
        if (f[i].name == QLatin1String("VRINDICE")) vr = i;
    }
    if (dt < 0 || vr < 0) return std::nullopt;
    QHash<qint64, double> valores;
    for (const wire::Row &row : r.packet.rows) {
        const QVariant quando = row.value(dt), valor = row.value(vr);
        if (quando.isNull()) continue;
        const QDateTime d = wire::fromOleDate(quando.toDouble());
        const bool inicioDoDia = d.time() == QTime(0, 0);
        const double v = valor.isNull() ? 0.0 : valor.toDouble();
        if (!mensal) {
            if (inicioDoDia) valores.insert(d.date().toJulianDay(), v);
        } else if (d.date() < UltimoDiaMes(d.date()) || inicioDoDia) {
            // The rows come by date: the month's first wins.
            if (const qint64 k = chaveMensal(d.date()); !valores.contains(k)) valores.insert(k, v);
        }
    }
    return valores;
}

bool converteLinhas(TfrmHistoricoBem *frm)
{
    TClientDataSet *h = frm->cdsHistoricoBem;
    TField *vr = h->FieldByName(QStringLiteral("VROPERABEM")), *ja = h->FieldByName(QStringLiteral("VRJADEPROPEBEM")),
           *fal = h->FieldByName(QStringLiteral("VRFALDEPROPEBEM")), *vr2 = h->FieldByName(QStringLiteral("VROPERABEM2")),
           *ja2 = h->FieldByName(QStringLiteral("VRJADEPROPEBEM2")), *fal2 = h->FieldByName(QStringLiteral("VRFALDEPROPEBEM2")),
           *ok = h->FieldByName(QStringLiteral("IDINDFINOK")), *aqui = h->FieldByName(QStringLiteral("DTAQUIBEMATIVO"));
    const QString sim = QStringLiteral("S"), nao = QStringLiteral("N");
    // Copies a row's recorded values (divisor 0) or divides them, and marks it.
    // Every amount is held in cents from here on, recorded and converted alike,
    // so that what is shown, summed, exported and printed is the same figure.
    const auto converte = [&](int row, double d, const QString &mark) {
        for (auto [src, dst] : {std::pair{vr, vr2}, std::pair{ja, ja2}, std::pair{fal, fal2}}) {
            const QVariant v = h->valueAt(row, src->Index());
            if (v.isNull()) {
                h->SetValueAt(row, dst, QVariant());
                continue;
            }
            const double reais = RoundMoney(v.toDouble());
            if (reais != v.toDouble()) h->SetValueAt(row, src, reais);
            h->SetValueAt(row, dst, d == 0 ? reais : RoundMoney(reais / d));
        }
        h->SetValueAt(row, ok, mark);
    };
    // A row left as loaded still holds its amounts in cents.
    const auto emCentavos = [&](int row) {
        for (TField *f : {vr, ja, fal, vr2, ja2, fal2}) {
            const QVariant v = h->valueAt(row, f->Index());
            if (!v.isNull() && RoundMoney(v.toDouble()) != v.toDouble()) h->SetValueAt(row, f, RoundMoney(v.toDouble()));
        }
    };
    // A missing acquisition date is asked for at the date system's day zero.
    const auto dataAt = [&](int row) {
        const QVariant v = h->valueAt(row, aqui->Index());
        return v.isNull() ? QDate(1899, 12, 30) : wire::fromOleDate(v.toDouble()).date();
    };
    const int total = h->RecordCount();
    // The rows rewritten in place, the cursor ends where a walk from the first
    // row past the last leaves it, having moved as that walk moves it (so the
    // current row's details are loaded once the walk ends, as always).
    const auto comoNumPasseio = [h] {
        h->First();
        h->Last();
        h->Next();
    };
    const int col = IndiceCol(frm->dbgPadrao, QStringLiteral("IDINDFINOK"));
    if (frm->edtSgIndice->text().isEmpty()) {
        frm->dbgPadrao->SetColumnVisible(col, false);
        for (int row = 0; row < total; ++row) converte(row, 0, nao);
        comoNumPasseio();
        return false;
    }
    frm->dbgPadrao->SetColumnVisible(col, true);
    const bool diario = StTpIndice == QLatin1String("1"), mensal = StTpIndice == QLatin1String("2");
    bool naoConv = false;
    // A zero or empty value cannot divide: the row keeps its values, marked not converted.
    const auto divide = [&](int row, double d) {
        const bool pode = d != 0 && std::isfinite(d);
        naoConv = naoConv || !pode;
        converte(row, pode ? d : 0, pode ? sim : nao);
    };
    // Many dates: their values come in one call over their range rather than
    // one call each (the per-date calls cost more than the rest of the work).
    if (diario || mensal) {
        QSet<qint64> chaves;
        QDate de, ate;
        for (int row = 0; row < total; ++row) {
            const QDate d = dataAt(row);
            chaves.insert(mensal ? chaveMensal(d) : d.toJulianDay());
            if (!de.isValid() || d < de) de = d;
            if (!ate.isValid() || d > ate) ate = d;
        }
        if (chaves.size() >= frm->DatasParaIndiceDoPeriodo) {
            if (const auto valores = valoresDoPeriodo(frm, de, ate, mensal)) {
                for (int row = 0; row < total; ++row) {
                    BusyProgress(QStringLiteral("convertendo valores"), row + 1, total);
                    const QDate dt = dataAt(row);
                    divide(row, valores->value(mensal ? chaveMensal(dt) : dt.toJulianDay(), 0.0));
                }
                comoNumPasseio();
                return naoConv;
            }
        }
    }
    for (h->First(); !h->Eof(); h->Next()) {
        BusyProgress(QStringLiteral("convertendo valores"), h->RecNo() + 1, total);
        const QDate dt = dataAt(h->RecNo());
        TClientDataSet *valores = nullptr;
        wire::Reply r;
        if (diario) {
            r = frm->IndexValues(QStringLiteral("getIndFin"), {TNetArg::Ref(StCDIndice), TNetArg::Val(ShortDateText(dt))});
            valores = frm->adqIndFin;
        } else if (mensal) {
            r = frm->IndexValues(QStringLiteral("getIndFinMes"),
                {TNetArg::Ref(StCDIndice), TNetArg::Val(ShortDateText(PriDiaMes(dt))), TNetArg::Val(ShortDateText(UltimoDiaMes(dt)))});
            valores = frm->adqIndFinMes;
        } else {
            emCentavos(h->RecNo());  // unknown type: the row stays as loaded
            continue;
        }
        valores->LoadFromPacket(CheckResultServ(r, true, 0));
        valores->First();
        divide(h->RecNo(), valores->IsEmpty() ? 0 : valores->FieldByName(QStringLiteral("VRINDICE"))->AsFloat());
    }
    return naoConv;
}
}  // namespace

// One walk over the history: the details and the index values of a date are asked once.
bool ConverteValoresHistorico(TfrmHistoricoBem *frm)
{
    bool naoConv = false;
    frm->WalkHistory([&] { naoConv = converteLinhas(frm); });
    return naoConv;
}

void TfrmHistoricoBem::Converte_Valores() { ConverteValoresHistorico(this); }
