// A grid to a pt_BR CSV file: ";" between fields, decimal comma, UTF-8 with a
// byte-order mark so spreadsheet programs read the accents right.
#include "gridexport.h"
#include "gridexport_p.h"
#include "busy.h"
#include "dataset.h"
#include "dbgrid.h"
#include "hostlog.h"

#include <QSaveFile>

namespace host {

using namespace exportdetail;

namespace {

QString csvField(const QString &t)
{
    if (!t.contains(QLatin1Char(';')) && !t.contains(QLatin1Char('"')) && !t.contains(QLatin1Char('\n')) &&
        !t.contains(QLatin1Char('\r')) && t.trimmed() == t)
        return t;
    QString q = t;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

}  // namespace

bool exportGridCsv(TDBGrid *g, const QString &file, QString *why)
{
    TClientDataSet *ds = g->DataSet();
    const QVector<TExportColumn> cols = exportColumns(g);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        qCWarning(lcGrid) << "export" << file << out.errorString();
        *why = cannotWrite(file);
        return false;
    }
    QString text;
    text.reserve(1 << 20);
    text += QChar(0xFEFF);
    QStringList head;
    for (const TExportColumn &c : cols) head << csvField(c.Title);
    text += head.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    // The rows the grid shows (a narrowed history exports what it shows).
    const QVector<int> shown = g->ShownRows();
    const int rows = ds ? int(shown.size()) : 0;
    bool stopped = false;
    for (int n = 0; n < rows && !stopped; ++n) {
        const int r = shown[n];
        for (int i = 0; i < cols.size(); ++i) {
            // Numbers and dates without any prefix a display handler adds; the rest as shown.
            const QVariant v = exportValue(cols[i], ds, r);
            QString t;
            if (!v.isNull()) t = v.typeId() == QMetaType::QString ? v.toString() : cols[i].Field->DefaultText(v, true);
            if (i) text += QLatin1Char(';');
            text += csvField(t);
        }
        text += QStringLiteral("\r\n");
        if (text.size() > (1 << 20)) {
            out.write(text.toUtf8());
            text.clear();
        }
        if ((n & 255) == 255 || n + 1 == rows) {
            BusyProgress(QStringLiteral("exportando (Esc interrompe)"), n + 1, rows);
            stopped = BusyPoll();
        }
    }
    if (stopped || BusyPoll()) {
        out.cancelWriting();  // the file that was there stays as it was
        why->clear();
        return false;
    }
    out.write(text.toUtf8());
    if (!out.commit()) {
        qCWarning(lcGrid) << "export" << file << out.errorString();
        *why = cannotWrite(file);
        return false;
    }
    return true;
}

}  // namespace host
