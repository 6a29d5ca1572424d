// The history screen in a real MDI window: header checks, the history and
// detail calls, conversion marks and what the host must never do to it.
#include "screenfixture.h"
#include "inkspan.h"
#include "module.h"

#include "consiste.h"
#include "dateeditplus.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "maskedit.h"
#include "busy.h"
#include "dbcontrols.h"
#include "pagecontrol.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace trq01300;

class TstScreenHost : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void startAfterEndIsToldOnLeavingTheEndBox();
    void onlyOneDateGiven_data();
    void onlyOneDateGiven();
    void windowStateChangesRunNoHeaderChecks_data();
    void windowStateChangesRunNoHeaderChecks();
    void enteringTheHeaderClosesAllThreeTables();
    void historyCallSendsThe27ArgumentsInOrder();
    void verificarOnEachPage();
    void dialogWarnsAfreshAtEachConversion();
    void indexPrefixOnlyOnConvertedRows();
    void historyGridKeepsItsOwnTable();
    void valueColumnPaintsEachKindWithItsAlignment();
    void filterDialogLeavesNoWaitCursor();
    void conversionAsksEachDateOnceAndDetailsForTheLastRow();
    void failedConversionShowsNoOtherRowsDetails();
    void longConversionShowsItsProgress();
    void keyboardLookupsVerifyAndMnemonics();
    void columnLayoutComesBackWithTheScreen();
private:
    ScreenFixture fx;
};

void TstScreenHost::initTestCase()
{
    SET_UP_SCREEN_FIXTURE(fx);
}

void TstScreenHost::cleanupTestCase() { fx.tearDown(); }

void TstScreenHost::init() { fx.reset(); }

void TstScreenHost::startAfterEndIsToldOnLeavingTheEndBox()
{
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    f->depDtFinal->SetDate(QDate(2024, 1, 10));
    f->depDtInicial->setFocus();
    f->depDtInicial->SetDate(QDate(2024, 2, 1));
    f->depDtFinal->setFocus();  // leaving the start box says nothing
    QCOMPARE(fx.sp.shown.size(), 0);
    f->edtSgIndice->setFocus();  // leaving the end box does
    QCOMPARE(fx.sp.texts("error"), QStringList({"Data inicial não pode ser maior que a final."}));
    QCOMPARE(QApplication::focusWidget(), f->depDtFinal);
    // Equal dates are fine.
    fx.sp.clear();
    f->depDtInicial->SetDate(QDate(2024, 1, 10));
    f->edtSgIndice->setFocus();
    QCOMPARE(fx.sp.shown.size(), 0);
}

void TstScreenHost::onlyOneDateGiven_data()
{
    QTest::addColumn<bool>("startGiven");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("only the end") << false << "Data inicial deve ser informada." << "depDtInicial";
    QTest::newRow("only the start") << true << "Data final deve ser informada." << "depDtFinal";
}

void TstScreenHost::onlyOneDateGiven()
{
    QFETCH(bool, startGiven);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("01");
    f->depDtInicial->SetDate(startGiven ? QDate(2024, 1, 1) : QDate());
    f->depDtFinal->SetDate(startGiven ? QDate() : QDate(2024, 1, 1));
    fx.sp.clear();
    f->dbgPadrao->setFocus();
    QCOMPARE(fx.sp.texts("error"), QStringList({message}));
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QVERIFY(!frmFiltroHistOpBem || !frmFiltroHistOpBem->isVisible());
    QVERIFY(!f->sbtVerificar->isEnabled());  // still editing the header
}

void TstScreenHost::windowStateChangesRunNoHeaderChecks_data()
{
    QTest::addColumn<QString>("company");
    QTest::newRow("empty header") << "";
    QTest::newRow("filled header") << "01";
}

void TstScreenHost::windowStateChangesRunNoHeaderChecks()
{
    QFETCH(QString, company);
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText(company);
    QApplication::processEvents();
    fx.sp.clear();
    bool dialogShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (frmFiltroHistOpBem && frmFiltroHistOpBem->isVisible()) {
            dialogShown = true;
            frmFiltroHistOpBem->sbtCancel->click();
        }
    });
    watch.start(5);
    auto *sw = qobject_cast<QMdiSubWindow *>(f->parentWidget());
    QVERIFY(sw);
    sw->showMinimized();
    QTest::qWait(30);
    sw->showNormal();
    QTest::qWait(30);
    sw->showMaximized();
    QTest::qWait(30);
    sw->showNormal();
    QTest::qWait(30);
    QCOMPARE(fx.sp.shown.size(), 0);
    QVERIFY(!dialogShown);
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    // The header still works: leaving it checks the company.
    if (company.isEmpty()) {
        f->dbgPadrao->setFocus();
        QCOMPARE(fx.sp.texts("error"), QStringList({"Empresa deve ser informada."}));
        fx.sp.clear();
    }
    QPointer<TfrmHistoricoBem> gone(f);
    f->sbtFechar->click();
    QTRY_VERIFY(!gone);
    QCOMPARE(fx.sp.shown.size(), 0);
    QVERIFY(!dialogShown);
    QCOMPARE(fx.mdi->subWindowList().size(), 0);
}

void TstScreenHost::enteringTheHeaderClosesAllThreeTables()
{
    TfrmHistoricoBem *f = fx.headerLeft(true);
    QVERIFY(f);
    QVERIFY(fx.backToMain());
    QCOMPARE(QApplication::focusWidget(), f->dbgPadrao);
    ScreenFixture::loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}});
    f->cdsEspecOper->LoadFromPacket(packetOf(f->cdsEspecOper));
    f->cdsCTBLOper->LoadFromPacket(packetOf(f->cdsCTBLOper));
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->dtsPadrao->SetDataSet(f->cdsHistoricoBem);
    fx.sp.clear();
    f->medCdEmpresa->setFocus();
    QVERIFY(!f->cdsHistoricoBem->Active());
    QVERIFY(!f->cdsEspecOper->Active());
    QVERIFY(!f->cdsCTBLOper->Active());
    QCOMPARE(f->dtsPadrao->DataSet(), nullptr);
    QVERIFY(!f->pgcPadrao->PageEnabled(f->tshDadosComp));
    QVERIFY(!f->sbtProcurar->isEnabled());
    QVERIFY(!f->sbtFiltro->isEnabled());
}

void TstScreenHost::historyCallSendsThe27ArgumentsInOrder()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    f->depDtInicial->SetDate(QDate(2024, 1, 2));
    f->depDtFinal->SetDate(QDate(2024, 3, 4));
    f->stDtGeral.clear();
    TfrmFiltroHistOpBem *d = ScreenFixture::filterDialog();
    const QStringList names = {"stGrupoBem", "stTGrupoBem", "stCdBem", "stTCdBem", "stCdTpOper", "stTCdTpOper",
                               "stCdMotivoOp", "stTCdMotivoOp", "stOperador", "stTOperador", "stSituacao",
                               "stFilial", "stTFilial", "stCCusto", "stTCCusto", "stTSetor", "stSetor",
                               "stCliente", "stTCliente", "stSerieNF", "stTSerieNF", "stCdNF", "stTCdNF",
                               "stFornecedor", "stTFornecedor", "stValBem", "stValMotivo"};
    QVector<QString *> fields = d->criteriaFields();
    QCOMPARE(fields.size(), 27);
    for (int i = 0; i < 27; ++i) *fields[i] = names[i];
    f->pgcPadrao->SetActivePage(f->tshPadrao);
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    const auto calls = fx.rec.calls();
    QVERIFY(!calls.isEmpty());
    QCOMPARE(calls.first().method, QString("GetHistoricoOpBem"));
    QStringList expected = {"01", "date:02/01/2024", "date:04/03/2024", "ref:"};
    for (const char *n : {"stGrupoBem", "stTGrupoBem", "stCdBem", "stTCdBem", "stCdTpOper", "stTCdTpOper",
                          "stCdMotivoOp", "stTCdMotivoOp", "stOperador", "stTOperador", "stSituacao", "stFilial",
                          "stTFilial", "stCCusto", "stTCCusto", "stSetor", "stTSetor", "stCliente", "stTCliente",
                          "stSerieNF", "stTSerieNF", "stCdNF", "stTCdNF"})
        expected << QString("ref:") + n;
    QCOMPARE(calls.first().args, expected);
}

void TstScreenHost::verificarOnEachPage()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    QVERIFY(ScreenFixture::filterDialog());
    StCDIndice = "0001";
    StTpIndice = "1";
    f->edtSgIndice->setText("CDI");
    wire::DataPacket hist = packetOf(f->cdsHistoricoBem);
    for (int i = 0; i < 2; ++i) {
        wire::Row r(hist.fields.size());
        r[hist.indexOf("NRSEQOPERABEM")] = QString::number(10 + i);
        r[hist.indexOf("CDBEMATIVO")] = QString("B%1").arg(i);
        r[hist.indexOf("NRSEQCAPAOPEBEM")] = QString::number(100 + i);
        r[hist.indexOf("NRSEQITCAPAOPE")] = "1";
        r[hist.indexOf("VROPERABEM")] = 8.0;
        r[hist.indexOf("DTAQUIBEMATIVO")] = wire::toOleDate(QDate(2021, 5, 3));
        hist.rows << r;
    }
    fx.rec.answer("GetHistoricoOpBem", hist);
    fx.rec.answer("getIndFin", ScreenFixture::indexValues(f->adqIndFin, {2.0}));
    f->pgcPadrao->SetActivePage(f->tshPadrao);
    fx.rec.clear();
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    const QStringList methods = fx.rec.methods();
    QCOMPARE(methods.first(), QString("GetHistoricoOpBem"));
    QCOMPARE(methods.count("getIndFin"), 1);  // both rows share one date: asked once
    QCOMPARE(f->cdsHistoricoBem->RecNo(), 1);  // the last row is current
    QCOMPARE(f->cdsHistoricoBem->FieldByName("VROPERABEM2")->AsFloat(), 4.0);
    RecordedCall lastDetail;
    for (const RecordedCall &c : fx.rec.calls())
        if (c.method == "GetCTBLOper") lastDetail = c;
    QCOMPARE(lastDetail.args, QStringList({"01", "101", "1", "R"}));  // the last row's details
    // On the details page only the current operation's details are asked again.
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->pgcPadrao->SetActivePage(f->tshDadosComp);
    fx.rec.clear();
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    QCOMPARE(fx.rec.methods(), QStringList({"GetEspecOper", "GetCTBLOper"}));
    QCOMPARE(fx.rec.calls().first().args, QStringList({"01", "R", "11", "B1"}));
}

void TstScreenHost::dialogWarnsAfreshAtEachConversion()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    QVERIFY(ScreenFixture::filterDialog());
    StCDIndice = "0001";
    StTpIndice = "1";
    f->edtSgIndice->setText("CDI");
    const double d = wire::toOleDate(QDate(2021, 5, 3));
    ScreenFixture::loadHistory(f, {{"1", "A", "1", "1", d, 10.0}, {"2", "B", "1", "2", d, 20.0}});
    fx.rec.answerSequence("getIndFin", {ScreenFixture::indexValues(f->adqIndFin, {}),
                                        ScreenFixture::indexValues(f->adqIndFin, {2.0})});
    QVERIFY(host::dispatch([] { frmFiltroHistOpBem->Converte_Valores(); }));
    QCOMPARE(fx.sp.texts("warning").size(), 1);
    QCOMPARE(frmFiltroHistOpBem->stIndNConv, QString("S"));
    // Every row has a value now: no warning left over from the last time.
    fx.sp.clear();
    QVERIFY(host::dispatch([] { frmFiltroHistOpBem->Converte_Valores(); }));
    QCOMPARE(fx.sp.texts("warning"), QStringList());
    QCOMPARE(frmFiltroHistOpBem->stIndNConv, QString());
}

void TstScreenHost::indexPrefixOnlyOnConvertedRows()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    ScreenFixture::loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1234.5}, {"2", "B", "1", "2", QVariant(), 1234.5},
                                   {"3", "C", "1", "3", QVariant(), 1234.5}});
    TClientDataSet *h = f->cdsHistoricoBem;
    const QStringList marks = {"S", "N", ""};
    for (int i = 0; i < 3; ++i) {
        h->SetRecNo(i);
        h->Edit();
        h->FieldByName("VROPERABEM2")->SetAsFloat(1234.5);
        h->FieldByName("IDINDFINOK")->SetAsString(marks[i]);
        h->Post();
    }
    f->edtSgIndice->setText("CDI");
    const int col = IndiceCol(f->dbgPadrao, "VROPERABEM2");
    QCOMPARE(f->dbgPadrao->CellText(0, col), QString("CDI 1.234,50"));
    QCOMPARE(f->dbgPadrao->CellText(1, col), QString(" 1.234,50"));
    QCOMPARE(f->dbgPadrao->CellText(2, col), QString(" 1.234,50"));
    // The prefix is read from the box each time.
    f->edtSgIndice->setText("IPCA");
    QCOMPARE(f->dbgPadrao->CellText(0, col), QString("IPCA 1.234,50"));
}

void TstScreenHost::historyGridKeepsItsOwnTable()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    ScreenFixture::loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}, {"2", "B", "1", "2", QVariant(), 2.0}});
    f->dtsPadrao->SetDataSet(f->cdsCTBLOper);  // as leaving the grid of specifications does
    f->pgcPadrao->SetActivePage(f->tshPadrao);
    QCOMPARE(f->dbgPadrao->DataSet(), f->cdsHistoricoBem);
    QCOMPARE(f->dbgPadrao->dataModel()->rowCount(), 2);
    QCOMPARE(f->dbgEspecOper->DataSet(), f->cdsEspecOper);
    QCOMPARE(f->dbgCTBLOper->DataSet(), f->cdsCTBLOper);
}

void TstScreenHost::valueColumnPaintsEachKindWithItsAlignment()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    wire::DataPacket p = packetOf(f->cdsEspecOper);
    p.rows = {{"1", "1", "000002", "Valor residual", "Vl", "02", QVariant(), "  12,5  ", QVariant(), QVariant()},
              {"1", "1", "000003", "Série", "Nr", "03", QVariant(), QVariant(), "SN-1", QVariant()},
              {"1", "1", "000004", "Outro valor", "Ov", "02", QVariant(), "7", QVariant(), QVariant()}};
    f->cdsEspecOper->LoadFromPacket(p);
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->pgcPadrao->SetActivePage(f->tshDadosComp);
    TDBGrid *g = f->dbgEspecOper;
    QTRY_VERIFY(g->isVisible());
    const int col = IndiceCol(g, "VALOR");
    const QImage img = g->viewport()->grab().toImage();
    auto span = [&](int row) {
        const QRect cell = g->visualRect(g->dataModel()->index(row, col)).adjusted(1, 1, -1, -1);
        const auto [first, last] = inkSpan(img, cell);
        return std::make_tuple(first, last, cell);
    };
    for (int row : {0, 2}) {
        const auto [first, last, cell] = span(row);
        QVERIFY2(first >= 0 && last > cell.right() - 12, qPrintable(QString("value row %1 ends at %2 of %3").arg(row).arg(last).arg(cell.right())));
    }
    const auto [first, last, cell] = span(1);
    QVERIFY2(first >= 0 && first < cell.left() + 12, qPrintable(QString("text row starts at %1 of %2").arg(first).arg(cell.left())));
    QCOMPARE(g->CellText(0, col), QString("12,5"));
}

void TstScreenHost::filterDialogLeavesNoWaitCursor()
{
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    bool waitingWhileOpen = true;
    QTimer::singleShot(0, [&] {
        waitingWhileOpen = QApplication::overrideCursor() != nullptr;
        frmFiltroHistOpBem->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    QVERIFY(!waitingWhileOpen);
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TstScreenHost)
#include "tst_screenhost.moc"

namespace {
// Four operations on two acquisition dates, under the daily index CDI.
void fourRowsOnTwoDates(TfrmHistoricoBem *f)
{
    StCDIndice = "0001";
    StTpIndice = "1";
    f->edtSgIndice->setText("CDI");
    const double may3 = wire::toOleDate(QDate(2021, 5, 3)), may4 = wire::toOleDate(QDate(2021, 5, 4));
    ScreenFixture::loadHistory(f, {{"1", "A", "11", "1", may3, 10.0}, {"2", "B", "12", "1", may4, 20.0},
                                   {"3", "C", "13", "1", may3, 30.0}, {"4", "D", "14", "2", may4, 40.0}});
    f->cdsHistoricoBem->First();
}
}  // namespace

void TstScreenHost::conversionAsksEachDateOnceAndDetailsForTheLastRow()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    fourRowsOnTwoDates(f);
    fx.rec.answerSequence("getIndFin", {ScreenFixture::indexValues(f->adqIndFin, {2.0}),
                                        ScreenFixture::indexValues(f->adqIndFin, {4.0})});
    fx.rec.clear();
    QVERIFY(host::dispatch([f] { f->Converte_Valores(); }));
    const QVector<RecordedCall> calls = fx.rec.calls();
    QCOMPARE(fx.rec.methods(), QStringList({"getIndFin", "getIndFin", "GetEspecOper", "GetCTBLOper"}));
    QCOMPARE(calls[0].args, QStringList({"ref:0001", "03/05/2021"}));
    QCOMPARE(calls[1].args, QStringList({"ref:0001", "04/05/2021"}));
    QCOMPARE(calls[2].args, QStringList({"01", "R", "4", "D"}));
    QCOMPARE(calls[3].args, QStringList({"01", "14", "2", "R"}));
    // Each row divided by its own date's value, the repeated date included.
    TClientDataSet *h = f->cdsHistoricoBem;
    const int vr2 = h->FieldByName("VROPERABEM2")->Index();
    QCOMPARE(h->valueAt(0, vr2).toDouble(), 5.0);
    QCOMPARE(h->valueAt(1, vr2).toDouble(), 5.0);
    QCOMPARE(h->valueAt(2, vr2).toDouble(), 15.0);
    QCOMPARE(h->valueAt(3, vr2).toDouble(), 10.0);
    // The bound controls show the row the walk left current.
    QCOMPARE(h->RecNo(), 3);
    QCOMPARE(f->dbgPadrao->currentIndex().row(), 3);
    QVERIFY(!h->ControlsDisabled());
    // A move by the user loads its details at once.
    fx.rec.clear();
    f->dbgPadrao->setCurrentIndex(f->dbgPadrao->dataModel()->index(1, 2));
    QCOMPARE(fx.rec.methods(), QStringList({"GetEspecOper", "GetCTBLOper"}));
    QCOMPARE(fx.rec.calls()[0].args, QStringList({"01", "R", "2", "B"}));
}

void TstScreenHost::failedConversionShowsNoOtherRowsDetails()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    fourRowsOnTwoDates(f);
    wire::DataPacket especificacoes = packetOf(f->cdsEspecOper);
    especificacoes.rows << wire::Row{"11", "1", "000001", "Garantia", "G", "03", QVariant(), QVariant(), "x", QVariant()};
    f->cdsEspecOper->LoadFromPacket(especificacoes);  // the first row's details
    wire::DataPacket broken;  // lacks every field: refused when loaded
    broken.fields = {{"X", wire::FieldKind::String, 1}};
    fx.rec.answerSequence("getIndFin", {ScreenFixture::indexValues(f->adqIndFin, {2.0}), broken});
    wire::DataPacket daLinha = packetOf(f->cdsEspecOper);  // the details of the row the walk stopped on
    daLinha.rows << wire::Row{"12", "1", "000002", "Cor", "C", "03", QVariant(), QVariant(), "azul", QVariant()};
    fx.rec.answer("GetEspecOper", daLinha);
    fx.rec.clear();
    QVERIFY(!host::dispatch([f] { withBusy([f] { f->Converte_Valores(); }); }));
    QCOMPARE(fx.sp.texts("error").size(), 1);
    // Once the walk failed, the details of the row it stopped on, loaded once.
    QCOMPARE(fx.rec.methods(), QStringList({"getIndFin", "getIndFin", "GetEspecOper", "GetCTBLOper"}));
    QCOMPARE(f->cdsHistoricoBem->RecNo(), 1);
    QCOMPARE(fx.rec.calls().at(2).args.at(2), f->cdsHistoricoBem->FieldByName("NRSEQOPERABEM")->AsString());
    QCOMPARE(f->cdsEspecOper->RecordCount(), 1);
    QCOMPARE(f->cdsEspecOper->FieldByName("CDESPECIFICABEM")->AsString(), QString("000002"));
    QVERIFY(!f->cdsHistoricoBem->ControlsDisabled());
    QCOMPARE(f->dbgPadrao->currentIndex().row(), 1);
    QCOMPARE(host::busyDepth(), 0);
    // The next walk asks its dates afresh.
    fx.rec.answer("getIndFin", ScreenFixture::indexValues(f->adqIndFin, {2.0}));
    fx.rec.answerSequence("getIndFin", {});
    fx.rec.clear();
    QVERIFY(host::dispatch([f] { f->Converte_Valores(); }));
    QCOMPARE(fx.rec.methods().count("getIndFin"), 2);
}

void TstScreenHost::longConversionShowsItsProgress()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    fourRowsOnTwoDates(f);
    fx.rec.answer("getIndFin", ScreenFixture::indexValues(f->adqIndFin, {2.0}));
    const QString wait = "Aguarde, consultando o servidor…";
    // Short steps show only the waiting text.
    QVERIFY(host::dispatch([f] { withBusy([f] { f->Converte_Valores(); }); }));
    QCOMPARE(host::busyText(), wait);
    host::setBusyProgressDelayMs(0);
    QVERIFY(host::dispatch([f] { withBusy([f] { f->Converte_Valores(); }); }));
    host::setBusyProgressDelayMs(500);
    QCOMPARE(host::busyText(), QString("Aguarde, convertendo valores: 4 de 4 linhas…"));
    // The next animation starts with the waiting text again.
    QString shown;
    QVERIFY(host::dispatch([&] { withBusy([&] { shown = host::busyText(); }); }));
    QCOMPARE(shown, wait);
}

void TstScreenHost::keyboardLookupsVerifyAndMnemonics()
{
    TfrmHistoricoBem *f = fx.headerLeft(true);
    QVERIFY(f);
    QVERIFY(fx.backToMain());  // back from the filter dialog
    // F4 opens the lookup of the edit that has the focus; the edit keeps it.
    f->medCdEmpresa->setFocus();
    QApplication::processEvents();
    fx.sp.clear();
    QTest::keyClick(f->medCdEmpresa, Qt::Key_F4);
    QCOMPARE(fx.sp.texts("pickRow"), QStringList({"Empresa"}));
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    fx.rec.answer("getIndiceFin", packetOf(f->adqIndiceFin));
    f->edtSgIndice->setFocus();
    fx.sp.clear();
    QTest::keyClick(f->edtSgIndice, Qt::Key_F4);
    QCOMPARE(fx.sp.texts("error"), QStringList({"Não há índice Financeiro Cadastrado"}));
    QCOMPARE(fx.rec.methods().last(), QString("getIndiceFin"));
    // F5 does what the button does: nothing in the header, where it is disabled...
    fx.rec.clear();
    fx.sp.clear();
    f->medCdEmpresa->setFocus();
    QVERIFY(!f->sbtVerificar->isEnabled());
    QTest::keyClick(f->medCdEmpresa, Qt::Key_F5);
    QCOMPARE(fx.rec.methods(), QStringList());
    QCOMPARE(fx.sp.shown.size(), 0);
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    // ...and the re-query from the grid, leaving the focus there.
    fx.cancelFilterWhenShown();
    f->dbgPadrao->setFocus();  // leaving the header opens the filter dialog, cancelled here
    QVERIFY(fx.backToMain());
    fx.cancelFilterWhenShown();
    f->dbgPadrao->setFocus();
    QApplication::processEvents();
    f->pgcPadrao->SetActivePage(f->tshPadrao);
    QVERIFY(f->sbtVerificar->isEnabled());
    fx.rec.clear();
    fx.sp.clear();
    QCOMPARE(QApplication::focusWidget(), f->dbgPadrao);
    QTest::keyClick(f->dbgPadrao, Qt::Key_F5);
    QCOMPARE(fx.rec.methods().value(0), QString("GetHistoricoOpBem"));
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(QApplication::focusWidget(), f->dbgPadrao);
    // Alt+E goes to the company box, Alt+F to the index box.
    QTest::keyClick(f->dbgPadrao, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    QTest::keyClick(f->medCdEmpresa, Qt::Key_F, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), f->edtSgIndice);
    // The screen's Ctrl+E exports even from an edit that claims the key, as a
    // line edit does for "end of line" under the X11 key scheme.
    struct ClaimsEveryKey : QObject {
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() != QEvent::ShortcutOverride) return false;
            e->accept();
            return true;
        }
    } claims;
    f->edtSgIndice->installEventFilter(&claims);
    fx.sp.clear();
    fx.sp.fileAnswers.clear();
    QTest::keyClick(f->edtSgIndice, Qt::Key_E, Qt::ControlModifier);
    f->edtSgIndice->removeEventFilter(&claims);
    QCOMPARE(fx.sp.texts("saveFile").size() + fx.sp.texts("error").size(), 1);
}

void TstScreenHost::columnLayoutComesBackWithTheScreen()
{
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    TDBGrid *g = f->dbgPadrao;
    QHeaderView *h = g->horizontalHeader();
    // The user hides "Nr. Bem" and "Cliente", drags "Nome do Bem" first and widens "Situação".
    g->SetColumnHiddenByUser(4, true);
    g->SetColumnHiddenByUser(14, true);
    h->moveSection(h->visualIndex(5), 0);
    h->resizeSection(1, 222);
    f->dbgCTBLOper->SetColumnHiddenByUser(0, true);
    auto *frame = qobject_cast<QMdiSubWindow *>(f->parentWidget());
    QVERIFY(frame);
    frame->setGeometry(40, 30, 900, 560);
    f->CloseForm();
    QTRY_VERIFY(!boIdCriado);
    f = fx.screen();
    QVERIFY(f);
    g = f->dbgPadrao;
    h = g->horizontalHeader();
    QVERIFY(g->isColumnHidden(4));
    QVERIFY(g->isColumnHidden(14));
    QVERIFY(!g->isColumnHidden(3));
    QCOMPARE(h->logicalIndex(0), 5);
    QCOMPARE(g->columnWidth(1), 222);
    QVERIFY(f->dbgCTBLOper->isColumnHidden(0));
    QCOMPARE(qobject_cast<QMdiSubWindow *>(f->parentWidget())->geometry(), QRect(40, 30, 900, 560));
    // The program's own column stays its own: shown by the conversion, whatever the layout says.
    g->SetColumnVisible(0, true);
    QVERIFY(!g->isColumnHidden(0));
    // A reload keeps the user's layout; "Restaurar padrão" takes it all back.
    host::dispatch([f] { ScreenFixture::loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}}); });
    QVERIFY(g->isColumnHidden(4));
    QCOMPARE(h->logicalIndex(0), 5);
    g->RestoreDefaultLayout();
    QVERIFY(!g->isColumnHidden(4));
    QCOMPARE(h->logicalIndex(0), 0);
    QCOMPARE(g->columnWidth(1), 103);
    // A layout from elsewhere is read for what it names and nothing more.
    g->RestoreLayout("NAOEXISTE:100:0|CDBEMATIVO:abc:0|NMBEMATIVO:99999:1|lixo");
    QVERIFY(g->isColumnHidden(4));
    QVERIFY(g->columnWidth(5) < 2000);
    fx.sp.clear();
    // Closed maximised, it opens maximised, and restores to the place it had;
    // a reopened screen starts in "Empresa".
    qobject_cast<QMdiSubWindow *>(f->parentWidget())->showMaximized();
    f->CloseForm();
    QTRY_VERIFY(!boIdCriado);
    f = fx.screen();
    QVERIFY(f);
    frame = qobject_cast<QMdiSubWindow *>(f->parentWidget());
    QTRY_VERIFY(frame->isMaximized());
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    frame->showNormal();
    QCOMPARE(frame->geometry(), QRect(40, 30, 900, 560));
}
