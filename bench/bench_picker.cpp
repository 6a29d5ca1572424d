// The list picker over every asset of the large demo database (16,000): opening
// to the first paint, and each search keystroke to the repaint, typed one
// character at a time and taken back.
// Usage: bench_picker [sqlite-file]   (generates the large demo database when absent)
#include "benchsupport.h"
#include "dataset.h"
#include "dbconnect.h"
#include "generator.h"
#include "listpicker.h"
#include "selectionstring.h"
#include "trq01300_layouts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTableView>
#include <algorithm>
#include <cstdio>

namespace {

double msSince(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

// What the user waits for after a key: the text changed, the rows narrowed, the list painted.
double typeKey(host::ListPickerDialog &dlg, int key, const QString &text)
{
    static const bool trace = qEnvironmentVariableIsSet("BENCH_TRACE");
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(dlg.searchBox(), &press);
    dlg.view()->viewport()->repaint();
    if (trace) std::printf("  '%s' %6d rows %7.1f ms\n", qPrintable(dlg.searchBox()->text()), dlg.shownRows(), msSince(t));
    return msSince(t);
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const cmdline::Args args = cmdline::parseArgs(argc, argv, {}, {}, 1, "bench_picker [arquivo-sqlite]");
    const QString file = bench::largeDemo(args.positional.value(0));
    TClientDataSet assets(nullptr, QStringLiteral("cdsBem"));
    assets.AddFields(trq01300::layout::bem());
    presentFields(&assets, {{"CDBEMATIVO", "Código", true, nullptr, 10},
                            {"CDPATRIBEMATIVO", "Patrimônio", true, nullptr, 12},
                            {"NMBEMATIVO", "Descrição", true, nullptr, 30}});
    wire::DataPacket p;
    p.fields = assets.Layout();
    QStringList someCodes;
    {
        QSqlDatabase db = dbconnect::open("sqlite:" + file, "bench", true);
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT CDBEMATIVO, CDPATRIBEMATIVO, NMBEMATIVO FROM BEMATIVO ORDER BY CDEMPRESA, CDBEMATIVO"));
        while (q.next()) {
            p.rows << wire::Row{QString(), q.value(0), q.value(1), q.value(2)};
            if (p.rows.size() % 160 == 0) someCodes << q.value(0).toString();
        }
    }
    dbconnect::close("bench");
    assets.LoadFromPacket(p);
    const QString selection = wire::joinSelection(someCodes);

    std::vector<double> opening;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        host::ListPickerDialog dlg(&assets, QStringLiteral("CDBEMATIVO"), QStringLiteral("Bem|Não há Bem cadastrado"),
                                   selection);
        dlg.show();
        dlg.repaint();
        opening.push_back(msSince(t));
    }
    std::sort(opening.begin(), opening.end());

    host::ListPickerDialog dlg(&assets, QStringLiteral("CDBEMATIVO"), QStringLiteral("Bem|Não há Bem cadastrado"),
                               selection);
    dlg.show();
    dlg.repaint();
    std::vector<double> keys;
    int narrowest = assets.RecordCount();
    for (const QString &word : {QStringLiteral("cadeira"), QStringLiteral("PAT-0"), QStringLiteral("imob-01"),
                                QStringLiteral("impressao")}) {
        for (const QChar c : word) {
            keys.push_back(typeKey(dlg, c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : Qt::Key_0, QString(c)));
            narrowest = std::min(narrowest, dlg.shownRows());
        }
        for (int i = 0; i < word.size(); ++i) keys.push_back(typeKey(dlg, Qt::Key_Backspace, {}));
    }
    std::sort(keys.begin(), keys.end());
    std::printf("list picker over %d assets, %lld marked on opening (budget: opening 300 ms, keystroke 50 ms)\n",
                int(assets.RecordCount()), static_cast<long long>(someCodes.size()));
    std::printf("opening   median %7.1f ms   worst %7.1f ms\n", opening[opening.size() / 2], opening.back());
    std::printf("keystroke median %7.1f ms   worst %7.1f ms   (%zu keys, narrowest %d rows)\n", keys[keys.size() / 2],
                keys.back(), keys.size(), narrowest);
    return opening.back() > 300 || keys.back() > 50 ? 2 : 0;
}
