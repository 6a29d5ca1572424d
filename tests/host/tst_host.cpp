// The host component library: data sets, masks, focus events, the abort, the grid.
#include "btnpesquisa.h"
#include "consiste.h"
#include "dataset.h"
#include "dbcontrols.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "editmask.h"
#include "focustracker.h"
#include "netconnection.h"
#include "maskedit.h"
#include "messages.h"
#include "prompter.h"
#include "stringlist.h"
#include "vantiro.h"
#include "scriptedprompter.h"

#include <QAbstractItemModelTester>
#include <QFrame>
#include <QLocale>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QFile>
#include <QTest>
#include <QVBoxLayout>

using wire::FieldKind;

namespace {
wire::DataPacket packet(int rows)
{
    wire::DataPacket p;
    p.fields = {{"CODE", FieldKind::String, 4}, {"VALUE", FieldKind::Float, 0}, {"DT", FieldKind::DateTime, 0}};
    for (int i = 0; i < rows; ++i) p.rows.push_back({QString::number(rows - i), i * 1.5, 45000.0 + i});
    return p;
}
TClientDataSet *table(QObject *parent)
{
    auto *ds = new TClientDataSet(parent, "cdsTest");
    ds->AddField("CODE", TFieldKind::String, 4, "Código");
    ds->AddField("VALUE", TFieldKind::Float, 0, "Valor", true, "#,##0.00");
    ds->AddField("DT", TFieldKind::DateTime);
    return ds;
}
}  // namespace

class TstHost : public QObject {
    Q_OBJECT
private slots:
    void dataSetLoadKeepsRowOrderAndScrolls();
    void dataSetRefusesIncompletePacketAndKeepsRows_data();
    void dataSetRefusesIncompletePacketAndKeepsRows();
    void editPostAndTexts();
    void editGoesThroughTheFieldMap();
    void maskFilterAndText_data();
    void maskFilterAndText();
    void maskedEditAcceptsOnlyDigits();
    void formatMaskTextAndFloats_data();
    void formatMaskTextAndFloats();
    void moneyRoundsHalfAwayFromZeroAsItReads_data();
    void moneyRoundsHalfAwayFromZeroAsItReads();
    void helpers();
    void dateTextsOfTheLocale_data();
    void dateTextsOfTheLocale();
    void memoShowsTheWholeText();
    void readmeIniLoadsAsWritten();
    void messagesAndStringList();
    void abortEndsHandlerSilently();
    void focusExitOrderAndCancel();
    void gridAndCursorStayInStep();
    void disabledControlsHearOnceWhenEnabled();
    void lookupButtonPicksRow();
};

void TstHost::dataSetLoadKeepsRowOrderAndScrolls()
{
    QObject owner;
    TClientDataSet *ds = table(&owner);
    int scrolls = 0;
    ds->AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    ds->LoadFromPacket(packet(3));
    QCOMPARE(ds->RecordCount(), 3);
    QCOMPARE(ds->FieldByName("CODE")->AsString(), QString("3"));  // packet order, no sorting
    QCOMPARE(scrolls, 1);
    QStringList seen;
    for (ds->First(); !ds->Eof(); ds->Next()) seen << ds->FieldByName("CODE")->AsString();
    QCOMPARE(seen, QStringList({"3", "2", "1"}));
    QCOMPARE(scrolls, 3);  // first (no move) + two moves
    QCOMPARE(ds->RecNo(), 2);  // walking to the end leaves the last row current
    ds->Close();
    QVERIFY(ds->IsEmpty());
    QVERIFY(!ds->Active());
}

void TstHost::dataSetRefusesIncompletePacketAndKeepsRows_data()
{
    QTest::addColumn<int>("drop");
    QTest::addColumn<int>("retype");
    QTest::newRow("missing field") << 1 << -1;
    QTest::newRow("float sent as text") << -1 << 1;
    QTest::newRow("date sent as float") << -1 << 2;
    QTest::newRow("text of another width") << -1 << 0;
    QTest::newRow("text as fixed text of another width") << -1 << 3;
}

void TstHost::dataSetRefusesIncompletePacketAndKeepsRows()
{
    QFETCH(int, drop);
    QFETCH(int, retype);
    QObject owner;
    TClientDataSet *ds = table(&owner);
    ds->LoadFromPacket(packet(2));
    wire::DataPacket bad = packet(5);
    if (drop >= 0) {
        bad.fields.remove(drop);
        for (qsizetype i = 0; i < bad.rows.size(); ++i) {
            wire::Row r = bad.rows[i];
            r.remove(drop);
            bad.rows.replace(i, r);
        }
    }
    if (retype == 0) bad.fields[0].width = 5;
    if (retype == 3) {
        bad.fields[0].kind = FieldKind::FixedString;
        bad.fields[0].width = 3;
    }
    if (retype == 1) bad.fields[1].kind = FieldKind::String;
    if (retype == 2) bad.fields[2].kind = FieldKind::Float;
    QVERIFY_THROWS_EXCEPTION(host::EHostError, ds->LoadFromPacket(bad));
    QCOMPARE(ds->RecordCount(), 2);
    QCOMPARE(ds->FieldByName("CODE")->AsString(), QString("2"));
}

void TstHost::editPostAndTexts()
{
    QObject owner;
    TClientDataSet *ds = table(&owner);
    ds->LoadFromPacket(packet(2));
    QCOMPARE(ds->FieldByName("VALUE")->DisplayText(), QString("0,00"));
    ds->Next();
    ds->Edit();
    ds->FieldByName("VALUE")->SetAsFloat(1234567.891);
    ds->FieldByName("DT")->SetAsDateTime(QDateTime(QDate(2024, 2, 29), QTime(0, 0, 30), Qt::UTC));
    ds->Post();
    QCOMPARE(ds->State(), TDataSetState::Browse);
    QCOMPARE(ds->FieldByName("VALUE")->DisplayText(), QString("1.234.567,89"));
    QCOMPARE(ds->FieldByName("VALUE")->Text(), QString("1234567,891"));
    QCOMPARE(ds->FieldByName("DT")->DisplayText(), QString("29/02/2024 00:00:30"));
    ds->Edit();
    ds->FieldByName("DT")->SetAsDateTime(QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC));
    ds->Post();
    QCOMPARE(ds->FieldByName("DT")->DisplayText(), QString("29/02/2024"));
    // Moving off a row in edit state posts it.
    ds->Edit();
    ds->FieldByName("CODE")->SetAsString("X");
    ds->First();
    QCOMPARE(ds->State(), TDataSetState::Browse);
    QCOMPARE(ds->valueAt(1, 0).toString(), QString("X"));
}

// A packet whose fields come in another order: the table reads and writes
// each field's own cell, an edit changes only what was set, Cancel changes
// nothing, and the packet given keeps its values.
void TstHost::editGoesThroughTheFieldMap()
{
    QObject owner;
    TClientDataSet *ds = table(&owner);
    wire::DataPacket p;
    p.fields = {{"DT", FieldKind::DateTime, 0}, {"EXTRA", FieldKind::String, 3}, {"CODE", FieldKind::String, 4},
                {"VALUE", FieldKind::Float, 0}};
    p.rows << wire::Row{45000.0, "a", "X1", QVariant()} << wire::Row{45001.0, "b", "X2", 2.5};
    ds->LoadFromPacket(p);
    QCOMPARE(ds->FieldByName("CODE")->AsString(), QString("X1"));
    ds->Edit();
    ds->FieldByName("VALUE")->SetAsFloat(9.75);
    QCOMPARE(ds->FieldByName("CODE")->AsString(), QString("X1"));  // not set: read from the row
    QCOMPARE(ds->FieldByName("VALUE")->AsFloat(), 9.75);
    ds->Post();
    QCOMPARE(ds->valueAt(0, 1).toDouble(), 9.75);
    QCOMPARE(ds->valueAt(0, 0).toString(), QString("X1"));
    QCOMPARE(ds->valueAt(0, 2).toDouble(), 45000.0);
    ds->Edit();
    ds->FieldByName("CODE")->SetAsString("ZZ");
    ds->Cancel();
    QCOMPARE(ds->FieldByName("CODE")->AsString(), QString("X1"));
    QCOMPARE(p.rows.at(0), wire::Row({45000.0, "a", "X1", QVariant()}));
}

void TstHost::maskFilterAndText_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("company untouched") << "!99;1; " << "" << "  ";
    QTest::newRow("company one digit") << "!99;1; " << "1" << " 1";
    QTest::newRow("company letters dropped") << "!99;1; " << "a1b2c3" << "12";
    QTest::newRow("invoice untouched") << "!9999999999;1; " << "" << "          ";
    QTest::newRow("invoice short") << "!9999999999;1; " << "1234" << "      1234";
    QTest::newRow("invoice too long") << "!9999999999;1; " << "123456789012" << "1234567890";
    QTest::newRow("upper case") << ">LLL;1;_" << "ab" << "AB_";
}

void TstHost::maskFilterAndText()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    const EditMask m(mask);
    QCOMPARE(m.text(m.filter(typed)), text);
    QCOMPARE(EmptyString(m.text(m.filter(typed))), text.trimmed().remove('_').isEmpty());
}

void TstHost::maskedEditAcceptsOnlyDigits()
{
    TMaskEdit e;
    e.SetEditMask("!99;1; ");
    e.show();
    QTest::keyClicks(&e, "x7-3y9");
    QCOMPARE(e.text(), QString("73"));
    QCOMPARE(e.Text(), QString("73"));
    e.SetText(" 5");
    QCOMPARE(e.Text(), QString(" 5"));
    QCOMPARE(Ajusta(e.Text(), 2), QString("05"));
}

void TstHost::formatMaskTextAndFloats_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cnpj") << "mask" << PictPess("J") << "12345678000199" << "12.345.678/0001-99";
    QTest::newRow("cpf") << "mask" << PictPess("F") << "12345678901" << "123.456.789-01";
    QTest::newRow("account") << "mask" << QString("9.9.99.99.999;0;_") << "123010001" << "1.2.30.10.001";
    QTest::newRow("money") << "float" << "#,##0.00" << "1234.5" << "1.234,50";
    QTest::newRow("money rounding") << "float" << "#,##0.00" << "0.005" << "0,01";
    QTest::newRow("converted") << "float" << " ###,##0.00" << "1234.5" << " 1.234,50";
    QTest::newRow("negative") << "float" << "#,##0.00" << "-98765.432" << "-98.765,43";
    QTest::newRow("negative zero") << "float" << "#,##0.00" << "-0.001" << "0,00";
}

void TstHost::formatMaskTextAndFloats()
{
    QFETCH(QString, kind);
    QFETCH(QString, pattern);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    if (kind == "mask") QCOMPARE(FormatMaskText(pattern, value), expected);
    else QCOMPARE(FormatFloat(pattern, value.toDouble()), expected);
}

void TstHost::readmeIniLoadsAsWritten()
{
    QFile readme(QStringLiteral(QT_TESTCASE_SOURCEDIR) + "/../README.md");
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const int start = text.indexOf("```ini\n"), end = text.indexOf("```", start + 7);
    QVERIFY(start >= 0 && end > start);
    QTemporaryDir dir;
    QFile ini(dir.filePath("backoffice.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(text.mid(start + 7, end - start - 7).toUtf8());
    ini.close();
    QString why;
    QVERIFY2(Vantiro::LoadChecked(ini.fileName(), &why), qPrintable(why));
    QCOMPARE(Vantiro::DBPict(ptContCtbl), QString("9.9.99.99.999;0;_"));
    QCOMPARE(Vantiro::PictPess("F"), QString("999.999.999-99;0;_"));
    QCOMPARE(Vantiro::PictPess("J"), QString("99.999.999/9999-99;0;_"));
    QCOMPARE(Vantiro::WebPort(), 8211);
    QCOMPARE(Vantiro::Operator(), QString("ADMIN"));
    // A missing file is an error and changes nothing.
    QVERIFY(!Vantiro::LoadChecked(dir.filePath("nao-existe.ini"), &why));
    QCOMPARE(why, QString("Arquivo de configuração %1 não encontrado.").arg(dir.filePath("nao-existe.ini")));
    QCOMPARE(Vantiro::WebPort(), 8211);
    // A TLS option means TLS; beside "Tls=false" it is a contradiction, refused.
    auto iniWith = [&](const QByteArray &server) {
        QFile f(dir.filePath("tls.ini"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write("[Server]\nWebURL=srv\nWebPort=8211\n" + server);
        return f.fileName();
    };
    Vantiro::ResetDefaults();
    QVERIFY(Vantiro::LoadChecked(iniWith("TlsFingerprint=AA:BB\n"), &why));
    TNetConnection c(nullptr, "netTeste");
    Vantiro::ApplyServer(&c);
    QVERIFY(c.UseTls);
    QVERIFY(!Vantiro::LoadChecked(iniWith("Tls=false\nTlsCaFile=/etc/ca.pem\n"), &why));
    QVERIFY2(why.contains("Tls=false"), qPrintable(why));
    Vantiro::ResetDefaults();
    QVERIFY(Vantiro::LoadChecked(iniWith("Tls=false\nTlsCaFile=\n"), &why));
    Vantiro::ApplyServer(&c);
    QVERIFY(!c.UseTls);
    Vantiro::ResetDefaults();
}

void TstHost::dateTextsOfTheLocale_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime at(QDate(2023, 3, 15), QTime(10, 30));
    QTest::newRow("short date") << "15/03/2023" << QDateTime(QDate(2023, 3, 15), QTime(0, 0));
    QTest::newRow("no leading zeros") << "5/3/2023" << QDateTime(QDate(2023, 3, 5), QTime(0, 0));
    QTest::newRow("date and time") << "15/03/2023 10:30" << at;
    QTest::newRow("with seconds") << "15/03/2023 10:30:45" << QDateTime(QDate(2023, 3, 15), QTime(10, 30, 45));
    QTest::newRow("blanks around") << "  15/03/2023 10:30 " << at;
    QTest::newRow("long date") << QLocale(QLocale::Portuguese, QLocale::Brazil).toString(QDate(2023, 3, 15), QLocale::LongFormat)
                               << QDateTime(QDate(2023, 3, 15), QTime(0, 0));
    QTest::newRow("no such day") << "31/02/2023" << QDateTime();
    QTest::newRow("american order") << "03/15/2023" << QDateTime();
    QTest::newRow("not a date") << "ontem" << QDateTime();
}

void TstHost::dateTextsOfTheLocale()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    QCOMPARE(DateTimeFromText(text), expected);
}

void TstHost::memoShowsTheWholeText()
{
    QWidget w;
    TClientDataSet *ds = new TClientDataSet(&w, "cdsObs");
    ds->AddField("OBS", TFieldKind::String, 2000);
    wire::DataPacket p;
    p.fields = ds->Layout();
    const QString whole = QString("Observação longa. ").repeated(100).left(2000);
    p.rows = {{whole}};
    ds->LoadFromPacket(p);
    TDataSource src(&w, ds);
    TDBMemo memo(&w);
    memo.MaxLength = 255;  // what a user could type, had the memo not been read-only
    memo.Bind(&src, "OBS");
    QCOMPARE(memo.toPlainText(), whole);
    QVERIFY(memo.isReadOnly());
}

void TstHost::moneyRoundsHalfAwayFromZeroAsItReads_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("cents");
    QTest::addColumn<QString>("shown");
    // Halves whose doubles lie just below them (1,005 is 1.00499999…) and just above.
    QTest::newRow("1,005") << 1.005 << qint64(101) << "1,01";
    QTest::newRow("2,675") << 2.675 << qint64(268) << "2,68";
    QTest::newRow("0,125 exact") << 0.125 << qint64(13) << "0,13";
    QTest::newRow("1.234.567,895") << 1234567.895 << qint64(123456790) << "1.234.567,90";
    QTest::newRow("negative half") << -2.675 << qint64(-268) << "-2,68";
    QTest::newRow("minus half a cent") << -0.005 << qint64(-1) << "-0,01";
    QTest::newRow("below a half") << 1.0049999 << qint64(100) << "1,00";
    QTest::newRow("a sum's binary tail") << 0.1 + 0.2 << qint64(30) << "0,30";
    QTest::newRow("nothing to round") << 42.0 << qint64(4200) << "42,00";
}

void TstHost::moneyRoundsHalfAwayFromZeroAsItReads()
{
    QFETCH(double, value);
    QFETCH(qint64, cents);
    QFETCH(QString, shown);
    QCOMPARE(MoneyCents(value), cents);
    QCOMPARE(RoundMoney(value), double(cents) / 100);
    QCOMPARE(FormatFloat("#,##0.00", value), shown);
}

void TstHost::helpers()
{
    QCOMPARE(Ajusta("1", 2), QString("01"));
    QCOMPARE(Ajusta(" 10", 2), QString("10"));
    QCOMPARE(PriDiaMes(QDate(2024, 2, 17)), QDate(2024, 2, 1));
    QCOMPARE(UltimoDiaMes(QDate(2024, 2, 17)), QDate(2024, 2, 29));
    QCOMPARE(UltimoDiaMes(QDate(2023, 12, 5)), QDate(2023, 12, 31));
    QVERIFY(EmptyString("  /  /    "));
    QVERIFY(EmptyString("__/__/____"));
    QVERIFY(!EmptyString(" 0"));
    QCOMPARE(PictPess("X"), QString());
}

void TstHost::messagesAndStringList()
{
    TMessages m;
    m.SetLines({"EMP|Empresa", "EMP_NCAD|Empresa não cadastrada.", "N_Ind_Cad|Índice Finaceiro não cadastrado. "});
    QCOMPARE(m.Msg("EMP"), QString("Empresa"));
    QCOMPARE(m.Msg("EMP_NCAD"), QString("Empresa não cadastrada."));
    QCOMPARE(m.Msg("N_Ind_Cad"), QString("Índice Finaceiro não cadastrado. "));
    QCOMPARE(m.Msg("NADA"), QString());
    TStringList l;
    l.Lines = {"outro=1", "stA=x"};
    l.SetValue("stA", "y");
    l.SetValue("stB", "T");
    l.SetValue("outro", "");
    QCOMPARE(l.Lines, QStringList({"stA=y", "stB=T"}));
    QCOMPARE(l.Value("absent"), QString());
}

void TstHost::abortEndsHandlerSilently()
{
    host::ScriptedPrompter sp;
    host::setPrompter(&sp);
    bool after = false;
    QVERIFY(!host::dispatch([&] {
        MensErro("Pare.", true);
        after = true;
    }));
    QVERIFY(!after);
    QCOMPARE(sp.texts("error"), QStringList({"Pare."}));
    // Any other exception is reported and the program goes on.
    QVERIFY(!host::dispatch([] { throw std::runtime_error("falhou"); }));
    // Its technical text goes to the log, not to the user.
    QCOMPARE(sp.texts("error").last(), QString("Erro inesperado. Os detalhes foram registrados no log."));
    QVERIFY(host::dispatch([] {}));
    host::setPrompter(nullptr);
}

void TstHost::focusExitOrderAndCancel()
{
    host::ScriptedPrompter sp;
    host::setPrompter(&sp);
    QWidget form;
    auto *lay = new QVBoxLayout(&form);
    auto *pan = new QFrame(&form);
    auto *pl = new QVBoxLayout(pan);
    auto *code = new QLineEdit(pan);
    auto *date = new QLineEdit(pan);
    pl->addWidget(code);
    pl->addWidget(date);
    auto *outside = new QLineEdit(&form);
    lay->addWidget(pan);
    lay->addWidget(outside);
    QStringList log;
    bool refuse = false;
    auto *ft = host::FocusTracker::instance();
    ft->setOnEnter(pan, [&] { log << "panEnter"; });
    ft->setOnExit(pan, [&] {
        log << "panExit";
        if (refuse) {
            date->setFocus();
            MensErro("inválido", true);
        }
    });
    ft->setOnEnter(code, [&] { log << "codeEnter"; });
    ft->setOnExit(code, [&] { log << "codeExit"; });
    ft->setOnEnter(outside, [&] { log << "outsideEnter"; });
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    code->setFocus();
    log.clear();
    outside->setFocus();
    QCOMPARE(log, QStringList({"codeExit", "panExit", "outsideEnter"}));
    log.clear();
    code->setFocus();
    QCOMPARE(log, QStringList({"panEnter", "codeEnter"}));
    // An exit handler that ends its action cancels the move.
    refuse = true;
    log.clear();
    outside->setFocus();
    QCOMPARE(log, QStringList({"codeExit", "panExit"}));
    QCOMPARE(QApplication::focusWidget(), date);
    QCOMPARE(sp.shown.size(), 1);
    // Within the panel nothing of the panel fires.
    refuse = false;
    log.clear();
    code->setFocus();
    QCOMPARE(log, QStringList({"codeEnter"}));
    host::setPrompter(nullptr);
}

void TstHost::disabledControlsHearOnceWhenEnabled()
{
    QWidget w;
    TClientDataSet *ds = table(&w);
    TDataSource src(&w, ds);
    TDBGrid grid(&w);
    grid.SetColumns({{"CODE", {}, 40, true, {}}, {"VALUE", {}, 0, true, {}}});
    grid.SetDataSource(&src);
    ds->LoadFromPacket(packet(4));
    QSignalSpy current(ds, &TClientDataSet::currentChanged), rows(ds, &TClientDataSet::rowChanged),
        states(ds, &TClientDataSet::stateChanged), resets(ds, &TClientDataSet::contentReset);
    int scrolls = 0;
    ds->AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    ds->DisableControls();
    ds->DisableControls();  // nested
    for (ds->First(); !ds->Eof(); ds->Next()) {
        ds->Edit();
        ds->FieldByName("VALUE")->SetAsFloat(ds->RecNo() * 10);
        ds->Post();
    }
    QCOMPARE(scrolls, 3);  // the cursor's own handler still runs on every move
    ds->EnableControls();
    QCOMPARE(current.count() + rows.count() + states.count() + resets.count(), 0);
    QCOMPARE(grid.currentIndex().row(), 0);
    ds->EnableControls();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(current.count(), 1);
    QCOMPARE(current.first().first().toInt(), 3);
    QCOMPARE(grid.currentIndex().row(), 3);
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(2, 1), Qt::DisplayRole).toString(), QString("20,00"));
    // Enabling with nothing missed tells nothing; an extra enable is harmless.
    ds->DisableControls();
    ds->EnableControls();
    ds->EnableControls();
    QCOMPARE(resets.count(), 1);
    QVERIFY(!ds->ControlsDisabled());
    ds->SetRecNo(1);
    QCOMPARE(grid.currentIndex().row(), 1);
}

void TstHost::gridAndCursorStayInStep()
{
    QWidget w;
    TClientDataSet *ds = table(&w);
    TDataSource src(&w, ds);
    TDBGrid grid(&w);
    grid.SetColumns({{"CODE", {}, 40, true, {}}, {"VALUE", "Valor R$", 0, true, {}}, {"DT", {}, 0, false, {}}});
    grid.SetDataSource(&src);
    QAbstractItemModelTester tester(grid.dataModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    ds->LoadFromPacket(packet(4));
    QCOMPARE(grid.dataModel()->rowCount(), 4);
    QCOMPARE(grid.dataModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Código"));
    QCOMPARE(grid.dataModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Valor R$"));
    QVERIFY(grid.isColumnHidden(2));
    ds->SetRecNo(2);
    QCOMPARE(grid.currentIndex().row(), 2);
    grid.setCurrentIndex(grid.dataModel()->index(3, 1));
    QCOMPARE(ds->RecNo(), 3);
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(3, 1), Qt::DisplayRole).toString(), QString("4,50"));
    ds->Edit();
    ds->FieldByName("VALUE")->SetAsFloat(7);
    ds->Post();
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(3, 1), Qt::DisplayRole).toString(), QString("7,00"));
    QVERIFY(!(grid.dataModel()->flags(grid.dataModel()->index(0, 0)) & Qt::ItemIsEditable));
    ds->Close();
    QCOMPARE(grid.dataModel()->rowCount(), 0);
}

void TstHost::lookupButtonPicksRow()
{
    host::ScriptedPrompter sp;
    host::setPrompter(&sp);
    QObject owner;
    TClientDataSet *ds = table(&owner);
    TDataSource src(&owner, ds);
    TBtnPesquisa b;
    b.DataSource = &src;
    b.Title = "Empresa";
    b.EmptyError = "Não há Empresa cadastrada";
    QString picked;
    bool allowed = true;
    b.OnBeforePesq = [&](TBtnPesquisa *, bool &allow) { allow = allowed; if (allowed) ds->LoadFromPacket(packet(3)); };
    b.OnAfterPesq = [&](TBtnPesquisa *) { picked = ds->FieldByName("CODE")->AsString(); };
    sp.rowAnswers = {1};
    b.click();
    QCOMPARE(picked, QString("2"));
    QCOMPARE(sp.shown.last().rows, 3);
    allowed = false;
    b.click();
    QCOMPARE(sp.shown.size(), 1);
    allowed = true;
    b.OnBeforePesq = [&](TBtnPesquisa *, bool &) { ds->Close(); };
    b.click();
    QCOMPARE(sp.texts("error"), QStringList({"Não há Empresa cadastrada"}));
    QCOMPARE(b.focusPolicy(), Qt::NoFocus);
    host::setPrompter(nullptr);
}

QTEST_MAIN(TstHost)
#include "tst_host.moc"
