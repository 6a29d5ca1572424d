// The filter dialog end to end: criteria, validators, lists and the
// confirmation that fills the history screen, against the real server object
// and against the recording one.
#include "screenfixture.h"
#include "Cli_trq01300_resumo.h"
#include "module.h"

#include "adoibquery.h"
#include "btnpesquisa.h"
#include "busy.h"
#include "consiste.h"
#include "dateeditplus.h"
#include "dbconnect.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "vantiro.h"
#include "scriptedprompter.h"

#include <QApplication>
#include <QHash>
#include <QSet>
#include <QCheckBox>
#include <QRadioButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QProcess>
#include <QTabBar>
#include <QScrollBar>
#include <QToolButton>

using namespace trq01300;

class TstFilter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void confirmShowsTheHistoryWithItsDetails();
    void defaultsSendEveryFlag();
    void situationEncoding_data();
    void situationEncoding();
    void validatorsStopAtTheFirstFailure_data();
    void validatorsStopAtTheFirstFailure();
    void dependentListsSendTheParentCriterion();
    void radioRoundTripKeepsOrEmptiesTheSelection_data();
    void radioRoundTripKeepsOrEmptiesTheSelection();
    void cancelAfterAFailedValidationKeepsTheCriteria();
    void seriesAndNumberAsTyped_data();
    void seriesAndNumberAsTyped();
    void listsHaveTheirTitlesAndPickerKeys();
    void reasonsSavedWithJoinedKeysAreMarkedInTheList();
    void listCriteriaTellWhatTheyHold();
    void totalsAgreeWithTheDatabase_data();
    void totalsAgreeWithTheDatabase();
    void printingFollowsTheRowsAndThePdfReadsBack();
    void periodSummaryAgreesWithGroupBy();
    void keysOnACriterionOpenItsList_data();
    void keysOnACriterionOpenItsList();
    void seriesBoxOutOfSightIsOutOfReach();
    void emptyHistoryStillClosesAndShowsTheGrid();
    void allGroupsOfACompanyWithoutGroupsStops();
    void failingRemoteStep_data();
    void failingRemoteStep();
    void accountingEntriesFollowTheCurrentOperation();
    void cancelKeepsTheCriteriaForTheRequery();
    void leavingTheHeaderAndConfirmingShowsTheLastRow();
    void lookupsWhileResultsAreShown_data();
    void lookupsWhileResultsAreShown();
    void allAfterAConfirmedListSendsAll_data();
    void allAfterAConfirmedListSendsAll();
    void firstRequeryAsksWhatTheDialogShows();
    void requeriesOnTheRealServerReturnWhatTheDialogShows();
    void pickedGroupListIsSentWithoutItsFlag();
    void typedInvoiceNumberFindsItsOperations();
    void valuesTheServerHandsBackLandInTheFields();
    void aSelectionOfJustTNarrowsItsList_data();
    void aSelectionOfJustTNarrowsItsList();
    void aFailedListKeepsWhatItHad_data();
    void aFailedListKeepsWhatItHad();
    void moneyAddsUpToTheCent_data();
    void moneyAddsUpToTheCent();
    void aNarrowedHistoryPrintsAndExportsWhatItShows();
private:
    // The text of a PDF's pages, and how many there are.
    static QStringList pdfPages(const QString &file);
    // Opens the filter the way the given action does and answers it: "Confirma"
    // or "Cancela". Returns whether it opened; *closedMeanwhile tells whether
    // the screen's tables were closed and "Verificar" disabled when it showed.
    bool answerFilter(const std::function<void()> &action, bool confirmIt, bool *closedMeanwhile = nullptr);
    // The operations the history shows, and those the database holds for a
    // company with the dialog's default situation, as "header|item|operation".
    static QSet<QString> shownOperations(TfrmHistoricoBem *f);
    static QSet<QString> operationsOf(const QString &company);
    static int count(const QString &sql);
    TfrmHistoricoBem *headerLeft(bool recorded);
    TfrmFiltroHistOpBem *dialog();
    void confirm();
    ScreenFixture fx;
};

void TstFilter::initTestCase()
{
    SET_UP_SCREEN_FIXTURE(fx);
}

void TstFilter::cleanupTestCase() { fx.tearDown(); }

void TstFilter::init()
{
    fx.reset();
    ScreenFixture::filterDefaults();
}

TfrmHistoricoBem *TstFilter::headerLeft(bool recorded) { return fx.headerLeft(recorded); }

TfrmFiltroHistOpBem *TstFilter::dialog() { return frmFiltroHistOpBem; }

// Opens the dialog and presses "Confirma" in it.
void TstFilter::confirm()
{
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&press] {
        if (!frmFiltroHistOpBem || !frmFiltroHistOpBem->isVisible()) return;
        press.stop();
        frmFiltroHistOpBem->sbtConfirma->click();
        if (frmFiltroHistOpBem->isVisible()) frmFiltroHistOpBem->sbtCancel->click();
    });
    press.start(1);
    CriaFiltroHistOpBem();
}

void TstFilter::confirmShowsTheHistoryWithItsDetails()
{
    TfrmHistoricoBem *f = headerLeft(false);
    QVERIFY(f);
    QCOMPARE(fx.sp.shown.size(), 0);
    confirm();
    QCOMPARE(fx.sp.shown.size(), 0);
    QVERIFY(!dialog()->isVisible());
    TClientDataSet *h = f->cdsHistoricoBem;
    QVERIFY(h->RecordCount() > 10);
    QCOMPARE(h->RecNo(), h->RecordCount() - 1);
    QCOMPARE(f->pgcPadrao->ActivePage(), f->tshPadrao);
    QCOMPARE(f->dbgPadrao->dataModel()->rowCount(), h->RecordCount());
    QCOMPARE(f->dbgPadrao->currentIndex().row(), h->RecordCount() - 1);  // the grid shows the current row
    QVERIFY(f->dbgPadrao->selectionModel()->isRowSelected(h->RecordCount() - 1, {}));
    QTest::qWait(50);
    const QRect shown = f->dbgPadrao->visualRect(f->dbgPadrao->currentIndex());
    QVERIFY2(f->dbgPadrao->viewport()->rect().contains(shown.center()), "the current row is scrolled into view");
    // Only operations not posted to accounting, by default.
    for (int r = 0; r < h->RecordCount(); ++r)
        QCOMPARE(h->valueAt(r, h->FieldByName("IDSITOPERABEM")->Index()).toString(), QString("1"));
    // The details shown are the last operation's.
    const QString op = h->FieldByName("NRSEQOPERABEM")->AsString(), bem = h->FieldByName("CDBEMATIVO")->AsString();
    const wire::Reply esp = f->netHistoricoBem->Call("GetEspecOper", {TNetArg::Val("01"), TNetArg::Val("R"), TNetArg::Val(op), TNetArg::Val(bem)});
    QVERIFY(esp.ok());
    QCOMPARE(f->cdsEspecOper->RecordCount(), esp.packet.rows.size());
    const wire::Reply ctb = f->netHistoricoBem->Call("GetCTBLOper", {TNetArg::Val("01"), TNetArg::Val(h->FieldByName("NRSEQCAPAOPEBEM")->AsString()),
                                                                      TNetArg::Val(h->FieldByName("NRSEQITCAPAOPE")->AsString()), TNetArg::Val("R")});
    QVERIFY(ctb.ok());
    QCOMPARE(f->cdsCTBLOper->RecordCount(), ctb.packet.rows.size());
    // Back in the header's exit, the history became the current table.
    QCOMPARE(f->dtsPadrao->DataSet(), h);
    // Every value whole: each shown column is as wide as its widest text among
    // the rows (or at the cap, for the few codes longer than any column).
    const QFontMetrics fm = f->dbgPadrao->fontMetrics();
    for (int c = 0; c < f->dbgPadrao->Columns().size(); ++c) {
        if (f->dbgPadrao->isColumnHidden(c)) continue;
        int widest = 0;
        for (int r = 0; r < std::min(h->RecordCount(), 300); ++r)
            widest = std::max(widest, fm.horizontalAdvance(f->dbgPadrao->CellText(r, c)));
        const int width = f->dbgPadrao->columnWidth(c);
        QVERIFY2(width >= widest || width == 280,
                 qPrintable(QString("%1: %2 px for a text of %3").arg(f->dbgPadrao->ColumnTitle(c)).arg(width).arg(widest)));
    }
}

void TstFilter::defaultsSendEveryFlag()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    // From the keyboard alone: Ctrl+Enter confirms.
    QTimer::singleShot(0, [] {
        QWidget *d = frmFiltroHistOpBem;
        QVERIFY(QTest::qWaitForWindowActive(d));
        QTest::keyClick(d, Qt::Key_Return, Qt::ControlModifier);
        (void)QTest::qWaitFor([d] { return !d->isVisible(); }, 2000);  // a shortcut clicks after a short delay
        if (d->isVisible()) frmFiltroHistOpBem->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    const auto calls = fx.rec.calls();
    QVERIFY(!calls.isEmpty());
    QCOMPARE(calls.first().method, QString("GetHistoricoOpBem"));
    QStringList expected = {"01", "date:", "date:", "ref:T"};
    const QStringList criteria = {"", "T", "", "T", "", "T", "", "T", "", "T", "_1_", "", "T", "", "T", "", "T", "", "T",
                                  "", "T", "", "T"};
    for (const QString &c : criteria) expected << "ref:" + c;
    QCOMPARE(calls.first().args, expected);
    QCOMPARE(dialog()->stSituacao, QString("_1_"));
    QVERIFY(!dialog()->isVisible());
}

void TstFilter::situationEncoding_data()
{
    QTest::addColumn<int>("checked");  // bits: 1 "Não Contabilizada", 2 "Contabilizada", 4 "Cancelada"
    QTest::addColumn<QString>("encoded");
    QTest::newRow("1") << 1 << "_1_";
    QTest::newRow("2") << 2 << "_2_";
    QTest::newRow("3") << 4 << "_3_";
    QTest::newRow("1 2") << 3 << "_1_2_";
    QTest::newRow("1 3") << 5 << "_1_3_";
    QTest::newRow("2 3") << 6 << "_2_3_";
    QTest::newRow("1 2 3") << 7 << "_1_2_3_";
    QTest::newRow("none") << 0 << "";
}

void TstFilter::situationEncoding()
{
    QFETCH(int, checked);
    QFETCH(QString, encoded);
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    QTimer::singleShot(0, [&] {
        QCheckBox *boxes[] = {d->ckbNContabil, d->ckbContabilizada, d->ckbCancela};
        for (int i = 0; i < 3; ++i)
            if (boxes[i]->isChecked() != bool(checked & (1 << i))) boxes[i]->click();
        d->sbtConfirma->click();
        if (d->isVisible()) d->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    if (encoded.isEmpty()) {
        QCOMPARE(fx.sp.texts("error"), QStringList({"Situação deve ser informada."}));
        QCOMPARE(fx.rec.calls().size(), 0);
        return;
    }
    QCOMPARE(fx.rec.calls().first().args.at(14), "ref:" + encoded);
    // Outside the confirmation a click on any box, checking or unchecking,
    // sends every box as it stands; with none checked the last value stays.
    d->ckbContabilizada->setChecked(false);
    d->ckbNContabil->setChecked(true);
    d->ckbCancela->setChecked(false);
    d->ckbCancela->click();
    QCOMPARE(d->stSituacao, QString("_1_3_"));
    d->ckbContabilizada->click();
    QCOMPARE(d->stSituacao, QString("_1_2_3_"));
    d->ckbNContabil->click();
    QCOMPARE(d->stSituacao, QString("_2_3_"));
    d->ckbContabilizada->click();
    QCOMPARE(d->stSituacao, QString("_3_"));
    d->ckbCancela->click();  // none left checked
    QCOMPARE(d->stSituacao, QString("_3_"));
}

void TstFilter::validatorsStopAtTheFirstFailure_data()
{
    QTest::addColumn<QStringList>("lists");  // "Lista" radios chosen with nothing picked
    QTest::addColumn<bool>("noSituation");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("asset group") << QStringList({"rbtListaGrupoBem", "rbtLsBem"}) << true << "Grupo de Bem deve ser informado." << "";
    // Each row makes the next validator fail too, so that every two neighbours
    // swapped show the other message.
    QTest::newRow("asset before type") << QStringList({"rbtLsBem", "rbtLsTipoOper", "rbtLsFornec"}) << true << "Bem deve ser informado." << "rbtLsBem";
    QTest::newRow("type before reason") << QStringList({"rbtLsTipoOper", "rbtLsMotivoOp"}) << false << "Tipo de Operação deve ser informada." << "rbtLsTipoOper";
    QTest::newRow("reason before responsible") << QStringList({"rbtLsMotivoOp", "rbtLsResponsavel"}) << false << "Motivo da Operação deve ser informado." << "rbtLsMotivoOp";
    QTest::newRow("responsible before situation") << QStringList({"rbtLsResponsavel"}) << true << "Responsável deve ser informado." << "rbtLsResponsavel";
    QTest::newRow("situation before branch") << QStringList({"rbtLsFilial"}) << true << "Situação deve ser informada." << "";
    QTest::newRow("branch before cost centre") << QStringList({"rbtLsFilial", "rbtLsCentCust", "rbtLsSetor"}) << false << "Filial deve ser informada." << "rbtLsFilial";
    QTest::newRow("cost centre before sector") << QStringList({"rbtLsCentCust", "rbtLsSetor"}) << false << "Centro de Custo deve ser informado." << "rbtLsCentCust";
    QTest::newRow("sector before client") << QStringList({"rbtLsSetor", "rbtLsCliente"}) << false << "Setor deve ser informado." << "rbtLsSetor";
    QTest::newRow("client before supplier") << QStringList({"rbtLsCliente", "rbtLsFornec"}) << false << "Cliente deve ser informado." << "rbtLsCliente";
    QTest::newRow("supplier last") << QStringList({"rbtLsFornec"}) << false << "Fornecedor deve ser informado." << "rbtLsFornec";
}

void TstFilter::validatorsStopAtTheFirstFailure()
{
    QFETCH(QStringList, lists);
    QFETCH(bool, noSituation);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    QString focusAtMessage = "?";
    fx.sp.onShown = [&](const host::ScriptedPrompter::Shown &s) { focusAtMessage = s.focus; };
    QTimer::singleShot(0, [&] {
        for (const QString &name : lists) d->findChild<QRadioButton *>(name)->click();
        if (noSituation) d->ckbNContabil->click();
        d->sbtConfirma->click();
        QVERIFY(d->isVisible());  // a failed validation keeps the dialog open
        d->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    QCOMPARE(fx.sp.texts("error"), QStringList({message}));
    if (!focus.isEmpty()) QCOMPARE(focusAtMessage, focus);
    QCOMPARE(fx.rec.calls().size(), 0);  // nothing was sent
}

void TstFilter::dependentListsSendTheParentCriterion()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    fx.rec.answer("getBem", packetOf(d->cdsBem));
    fx.rec.answer("getMotivoOper", packetOf(d->cdsMotivoOper));
    fx.rec.answer("getTipoDeOperacao", packetOf(d->cdsTipoOper));
    // Asset group "Todos": every asset.
    d->rbtLsBem->setChecked(true);
    QVERIFY(host::dispatch([d] { d->btpBemClick(); }));
    // Asset group "Lista" with groups picked: the group selection, no flag.
    d->rbtListaGrupoBem->setChecked(true);
    fx.sp.listAnswers = {"'000001','000003'", "'B1'"};
    QVERIFY(host::dispatch([d] { d->btpGrupoBemClick(); }));
    QCOMPARE(d->stGrupoBem, QString("'000001','000003'"));
    QVERIFY(host::dispatch([d] { d->btpBemClick(); }));
    QCOMPARE(d->stCdBem, QString("'B1'"));
    QCOMPARE(d->stValBem, QString("'B1'"));
    // Asset group "Lista" with nothing picked.
    d->rbtTdGrupoBem->setChecked(true);
    d->rbtListaGrupoBem->setChecked(true);
    QVERIFY(host::dispatch([d] { d->btpBemClick(); }));
    // Reasons: by every type, then by the types picked.
    QVERIFY(host::dispatch([d] { d->btpMotivoOpClick(); }));
    d->rbtLsTipoOper->setChecked(true);
    fx.sp.listAnswers = {"'01','04'"};
    QVERIFY(host::dispatch([d] { d->btpTipoOperClick(); }));
    QVERIFY(host::dispatch([d] { d->btpMotivoOpClick(); }));
    QStringList seen;
    for (const RecordedCall &c : fx.rec.calls()) seen << c.method + "(" + c.args.join(";") + ")";
    QCOMPARE(seen, QStringList({"getBem(01;ref:;ref:T)", "getBem(01;ref:'000001','000003';ref:)", "getBem(01;ref:;ref:)",
                                "getMotivoOper(01;ref:T)", "getTipoDeOperacao(01;T)", "getMotivoOper(01;ref:'01','04')"}));
    // "Todos" always sends "all": also while the group's flag is empty (assets)
    // or the types are a list (reasons), where it once sent a criterion that
    // matched nothing.
    d->rbtLsBem->setChecked(true);
    d->rbtTdBem->setChecked(true);
    QCOMPARE(d->stCdBem, QString());
    QCOMPARE(d->stValBem, QString());
    QCOMPARE(d->stTCdBem, QString("T"));
    QCOMPARE(d->stTCdTpOper, QString());
    d->rbtLsMotivoOp->setChecked(true);
    QCOMPARE(d->stTCdMotivoOp, QString());
    d->rbtTdMotivoOp->setChecked(true);
    QCOMPARE(d->stCdMotivoOp, QString());
    QCOMPARE(d->stTCdMotivoOp, QString("T"));
    d->rbtTdTipoOper->setChecked(true);
    QCOMPARE(d->stTCdTpOper, QString("T"));
    d->rbtTdGrupoBem->setChecked(true);
    QCOMPARE(d->stTGrupoBem, QString("T"));
}

namespace {
QString *criterionString(TfrmFiltroHistOpBem *d, const QString &name)
{
    const QHash<QString, QString *> strings = {
        {"stGrupoBem", &d->stGrupoBem}, {"stCdBem", &d->stCdBem},       {"stValBem", &d->stValBem},
        {"stCdTpOper", &d->stCdTpOper}, {"stCdMotivoOp", &d->stCdMotivoOp}, {"stValMotivo", &d->stValMotivo},
        {"stOperador", &d->stOperador}, {"stFilial", &d->stFilial},     {"stCCusto", &d->stCCusto},
        {"stSetor", &d->stSetor},       {"stCliente", &d->stCliente},   {"stFornecedor", &d->stFornecedor}};
    return strings.value(name);
}
}  // namespace

void TstFilter::radioRoundTripKeepsOrEmptiesTheSelection_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("all");
    QTest::addColumn<QStringList>("strings");  // the selection, then the last pick if any
    QTest::addColumn<int>("arg");              // where the selection is sent; -1: not sent
    QTest::addColumn<QString>("message");      // empty: the kept selection is accepted
    QTest::newRow("Grupo de Bem") << "rbtListaGrupoBem" << "rbtTdGrupoBem" << QStringList{"stGrupoBem"} << 4
                                  << "Grupo de Bem deve ser informado.";
    QTest::newRow("Bem") << "rbtLsBem" << "rbtTdBem" << QStringList{"stCdBem", "stValBem"} << 6 << "Bem deve ser informado.";
    QTest::newRow("Tipo") << "rbtLsTipoOper" << "rbtTdTipoOper" << QStringList{"stCdTpOper"} << 8
                          << "Tipo de Operação deve ser informada.";
    QTest::newRow("Motivo") << "rbtLsMotivoOp" << "rbtTdMotivoOp" << QStringList{"stCdMotivoOp", "stValMotivo"} << 10
                            << "Motivo da Operação deve ser informado.";
    QTest::newRow("Responsável") << "rbtLsResponsavel" << "rbtTdRsponsavel" << QStringList{"stOperador"} << 12 << "";
    QTest::newRow("Filial") << "rbtLsFilial" << "rbtTdFilial" << QStringList{"stFilial"} << 15 << "";
    QTest::newRow("Centro de Custo") << "rbtLsCentCust" << "rbtTdCentCust" << QStringList{"stCCusto"} << 17 << "";
    QTest::newRow("Setor") << "rbtLsSetor" << "rbtTdSetor" << QStringList{"stSetor"} << 19 << "";
    QTest::newRow("Cliente") << "rbtLsCliente" << "rbtTdCliente" << QStringList{"stCliente"} << 21 << "";
    QTest::newRow("Fornecedor") << "rbtLsFornec" << "rbtTdFornec" << QStringList{"stFornecedor"} << -1 << "";
}

void TstFilter::radioRoundTripKeepsOrEmptiesTheSelection()
{
    // "Lista" with a pick, "Todos", "Lista" again without a new pick.
    QFETCH(QString, list);
    QFETCH(QString, all);
    QFETCH(QStringList, strings);
    QFETCH(int, arg);
    QFETCH(QString, message);
    QVERIFY(headerLeft(true));
    TfrmFiltroHistOpBem *d = dialog();
    auto *listRadio = d->findChild<QRadioButton *>(list);
    auto *allRadio = d->findChild<QRadioButton *>(all);
    QVERIFY(listRadio && allRadio);
    listRadio->click();
    for (const QString &name : strings) *criterionString(d, name) = "'X1'";
    allRadio->click();
    for (const QString &name : strings)
        QCOMPARE(*criterionString(d, name), message.isEmpty() ? QString("'X1'") : QString());
    listRadio->click();
    confirm();
    if (!message.isEmpty()) {
        QCOMPARE(fx.sp.texts("error"), QStringList{message});
        QCOMPARE(fx.rec.calls().size(), 0);
        return;
    }
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QVERIFY(!fx.rec.calls().isEmpty());
    if (arg >= 0) {
        QCOMPARE(fx.rec.calls().first().args.at(arg), QString("ref:'X1'"));
        QCOMPARE(fx.rec.calls().first().args.at(arg + 1), QString("ref:"));
    }
    QCOMPARE(*criterionString(d, strings.first()), QString("'X1'"));
}

void TstFilter::cancelAfterAFailedValidationKeepsTheCriteria()
{
    QVERIFY(headerLeft(true));
    TfrmFiltroHistOpBem *d = dialog();
    d->rbtLsResponsavel->click();
    d->stOperador = "'OPER002'";
    d->rbtLsMotivoOp->click();
    d->stCdMotivoOp = d->stValMotivo = "'002|01'";
    d->rbtLsSetor->click();  // nothing picked: the confirmation stops there
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList{"Setor deve ser informado."});
    QCOMPARE(fx.rec.calls().size(), 0);
    QVERIFY(d->rbtLsResponsavel->isChecked());
    QVERIFY(d->rbtLsMotivoOp->isChecked());
    QCOMPARE(d->stOperador, QString("'OPER002'"));
    QCOMPARE(d->stCdMotivoOp, QString("'002|01'"));
    QCOMPARE(d->stValMotivo, QString("'002|01'"));
    // Once the sector is picked, the kept criteria are sent.
    d->stSetor = "'0003'";
    fx.sp.clear();
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QVERIFY(!fx.rec.calls().isEmpty());
    const QStringList args = fx.rec.calls().first().args;
    QCOMPARE(args.at(10), QString("ref:'002|01'"));
    QCOMPARE(args.at(12), QString("ref:'OPER002'"));
    QCOMPARE(args.at(19), QString("ref:'0003'"));
}

void TstFilter::seriesAndNumberAsTyped_data()
{
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("sent");  // arguments 24 to 27
    QTest::newRow("neither") << "" << "" << QStringList{"ref:", "ref:T", "ref:", "ref:T"};
    QTest::newRow("series typed") << "E" << "" << QStringList{"ref:E", "ref:", "ref:", "ref:T"};
    QTest::newRow("series of blanks") << "   " << "" << QStringList{"ref:", "ref:T", "ref:", "ref:T"};
    QTest::newRow("series and number") << "1" << "1042" << QStringList{"ref:1", "ref:", "ref:      1042", "ref:"};  // the number as the edit returns it; the server trims
}

void TstFilter::seriesAndNumberAsTyped()
{
    QFETCH(QString, series);
    QFETCH(QString, number);
    QFETCH(QStringList, sent);
    QVERIFY(headerLeft(true));
    TfrmFiltroHistOpBem *d = dialog();
    // The series box is out of the user's reach; a program (or a saved set
    // of an older layout) may still fill it.
    d->medSerieNF->setText(series);
    d->medNumero->SetText(number);
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QVERIFY(!fx.rec.calls().isEmpty());
    QCOMPARE(fx.rec.calls().first().args.mid(23, 4), sent);
    QCOMPARE(QStringList({"ref:" + d->stSerieNF, "ref:" + d->stTSerieNF, "ref:" + d->stCdNF, "ref:" + d->stTCdNF}), sent);
}

void TstFilter::listsHaveTheirTitlesAndPickerKeys()
{
    TfrmHistoricoBem *f = headerLeft(false);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    struct Press {
        std::function<void()> press;
        QString title, key;
        TClientDataSet *table;
        QString fields;  // name label size (display width), in display order
    };
    const QList<Press> presses = {
        {[d] { d->btpGrupoBemClick(); }, "Grupo de Bem", "CDGRUPOBEM", d->qryGrupoBem,
         "CDGRUPOBEM Código 6 (8); NMGRUPOBEM Nome 50; CDEMPRESA Empresa 2 hidden"},
        {[d] { d->btpBemClick(); }, "Bem|Não há bem cadastrado.", "CDBEMATIVO", d->cdsBem,
         "IDMARCADO 1 hidden; CDBEMATIVO Código 10; CDPATRIBEMATIVO Patrimônio 30; NMBEMATIVO Nome 50"},
        {[d] { d->btpTipoOperClick(); }, "Tipo de Operação|Não há operação cadastrada.", "CDTIPOOPERBEM", d->cdsTipoOper,
         "IDMARCADO 1 hidden; CDTIPOOPERBEM Código 6; NMTIPOOPERBEM Nome 50"},
        // The reason key holds a separator between the two codes: 13, not 12.
        {[d] { d->btpMotivoOpClick(); }, "Motivo da Operação|Motivo da Operação não cadastrado.", "CHAVE", d->cdsMotivoOper,
         "IDMARCADO 1 hidden; CDTIPOOPERBEM Tipo 8; CDMOTIVOOPER Código 8; NMMOTIVOOPER Nome 50; CHAVE 13 hidden"},
        {[d] { d->btpResponsavelClick(); }, "Responsável|Não há Operador cadastrado.", "CDOPERADOR", d->qryOperador,
         "CDOPERADOR Código 12 (14); NMOPERADOR Nome 40"},
        {[d] { d->btpFilialClick(); }, "Filial|Não há Filial cadastrada.", "CDFILIAL", d->qryFilial,
         "CDFILIAL Código 4 (6); NMFILIAL Nome 30 (60)"},
        {[d] { d->btpCCustoClick(); }, "Centro de Custo|Não há Centro de Custo cadastrado.", "CDCENTCUST", d->cdsCentCust,
         "IDMARCADO 1 hidden; CDCENTCUST Código 4; NMCENTCUST Nome 40"},
        {[d] { d->btpSetorClick(); }, "Setor|Não há Setor cadastrado.", "CDSETOR", d->cdsSetor,
         "IDMARCADO 1 hidden; CDSETOR Código 4; SGSETOR Sigla 10; NMSETOR Nome 30"},
        {[d] { d->btpClienteClick(); }, "Cliente|Não há Cliente cadastrado.", "CDCLIENTE", d->qryCliente,
         "NRINSJURCLIE Inscrição 20 (27); NMRAZSOCCLIE Razão Social 50; NMFANTCLIE Nome 50 (55); "
         "IDTPIJURCLIE 1 hidden; CDCLIENTE 21 hidden"},
        {[d] { d->btpFornecedorClick(); }, "Fornecedor|Não há Fornecedor cadastrado.", "CDFORNECED", d->qryFornecedor,
         "NRINSJURFORN Inscrição 20 (27); NMRAZSOCFORN Razão Social 40 (42); NMFANTFORN Nome 40 (42); "
         "IDTPIJURFORN 1 hidden; CDFORNECED 21 hidden"}};
    QHash<QString, int> rows;
    for (const Press &p : presses) {
        fx.sp.clear();
        QVERIFY(host::dispatch(p.press));
        QCOMPARE(fx.sp.shown.size(), 1);
        QCOMPARE(fx.sp.shown.first().kind, QString("pickList"));
        QCOMPARE(fx.sp.shown.first().text, p.title);
        QCOMPARE(fx.sp.shown.first().key, p.key);
        QVERIFY2(fx.sp.shown.first().rows > 0, qPrintable(p.title));
        rows[p.title.section('|', 0, 0)] = fx.sp.shown.first().rows;
        QStringList fields;
        for (const TField *fd : p.table->Fields()) {
            QString one = fd->FieldName();
            if (!fd->DisplayLabel.isEmpty()) one += ' ' + fd->DisplayLabel;
            one += ' ' + QString::number(fd->Size());
            if (fd->DisplayWidth && fd->DisplayWidth != fd->Size()) one += QString(" (%1)").arg(fd->DisplayWidth);
            if (!fd->Visible) one += " hidden";
            fields << one;
        }
        QCOMPARE(fields.join("; "), p.fields);
    }
    // Only active operators are offered: the demo has ten, OPER010 inactive.
    QCOMPARE(rows.value("Responsável"), 9);
    // Hidden fields stay out of the lists; registration numbers use the mask of an empty person type.
    QVERIFY(!d->qryCliente->FieldByName("CDCLIENTE")->Visible);
    QVERIFY(!d->cdsMotivoOper->FieldByName("CHAVE")->Visible);
    QCOMPARE(d->qryCliente->FieldByName("NRINSJURCLIE")->EditMask, PictPess(""));
    QCOMPARE(d->qryFilial->FieldByName("NMFILIAL")->DisplayWidth, 60);
}

void TstFilter::reasonsSavedWithJoinedKeysAreMarkedInTheList()
{
    QVERIFY(headerLeft(false));
    TfrmFiltroHistOpBem *d = dialog();
    d->rbtLsMotivoOp->setChecked(true);
    // As an option set saved before the separator holds them; a key that no
    // listed reason joins to is handed on as it was.
    d->stValMotivo = "'00201','00302','99999'";
    fx.sp.clear();
    QVERIFY(host::dispatch([d] { d->btpMotivoOpClick(); }));
    QCOMPARE(fx.sp.texts("pickList").size(), 1);
    QCOMPARE(fx.sp.shown.first().given, QString("'002|01','003|02','99999'"));
    QCOMPARE(d->stCdMotivoOp, QString("'002|01','003|02','99999'"));
    // Keys of the current form go in untouched.
    d->stValMotivo = "'002|01'";
    fx.sp.clear();
    QVERIFY(host::dispatch([d] { d->btpMotivoOpClick(); }));
    QCOMPARE(fx.sp.shown.first().given, QString("'002|01'"));
}

void TstFilter::listCriteriaTellWhatTheyHold()
{
    QVERIFY(headerLeft(false));
    TfrmFiltroHistOpBem *d = dialog();
    d->show();
    QLabel *grupos = d->findChild<QLabel *>("rbtListaGrupoBemQtd");
    QLabel *setores = d->findChild<QLabel *>("rbtLsSetorQtd");
    QVERIFY(grupos && setores);
    QVERIFY(!grupos->isVisible());
    d->rbtListaGrupoBem->click();
    QVERIFY(!grupos->isVisible());  // nothing picked yet
    fx.sp.listAnswers = {"'001','003'"};
    QVERIFY(host::dispatch([d] { d->btpGrupoBem->click(); }));
    QVERIFY(grupos->isVisible());
    QCOMPARE(grupos->text(), QString("2 selecionados"));
    QCOMPARE(grupos->toolTip(), QString("001 — Máquinas e Equipamentos\n003 — Móveis e Utensílios"));
    QCOMPARE(d->rbtListaGrupoBem->toolTip(), grupos->toolTip());
    QCOMPARE(d->rbtListaGrupoBem->accessibleDescription(), QString("2 selecionados"));
    // "Todos" says nothing.
    d->rbtTdGrupoBem->click();
    QVERIFY(!grupos->isVisible());
    // A list never opened (a loaded set): the codes alone.
    d->rbtLsSetor->click();
    d->stSetor = "'0099'";
    d->mostraSelecoes();
    QCOMPARE(setores->text(), QString("1 selecionado"));
    QCOMPARE(setores->toolTip(), QString("0099"));
    // A disabled list button looks disabled: its icon is drawn greyed.
    d->rbtTdSetor->click();
    QVERIFY(!d->btpSetor->isEnabled());
    d->hide();
}

void TstFilter::totalsAgreeWithTheDatabase_data()
{
    QTest::addColumn<QString>("index");
    QTest::newRow("in reais") << "";
    QTest::newRow("converted by CDI") << "CDI";
}

void TstFilter::totalsAgreeWithTheDatabase()
{
    QFETCH(QString, index);
    TfrmHistoricoBem *f = headerLeft(false);  // company 01, the whole period
    QVERIFY(f);
    f->edtSgIndice->setText(index);
    if (!index.isEmpty()) QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    confirm();
    // The default criteria: operations not posted to accounting. With an index,
    // a row converts when the index has a non-zero value on the asset's
    // acquisition date (CDI is daily).
    const QString base = "FROM OPERABEM O JOIN BEMATIVO B ON B.CDEMPRESA = O.CDEMPRESA AND B.CDBEMATIVO = O.CDBEMATIVO "
                         "%1 WHERE O.CDEMPRESA = '01' AND O.IDSITOPERABEM = '1' %2";
    const QString sql = index.isEmpty()
        ? "SELECT COUNT(*), SUM(O.VROPERABEM), SUM(O.VRJADEPROPEBEM), SUM(O.VRFALDEPROPEBEM), 0 " + base.arg("", "")
        : "SELECT COUNT(*), SUM(O.VROPERABEM / V.VRINDICE), SUM(O.VRJADEPROPEBEM / V.VRINDICE), "
          "SUM(O.VRFALDEPROPEBEM / V.VRINDICE), (SELECT COUNT(*) FROM OPERABEM X WHERE X.CDEMPRESA = '01' AND X.IDSITOPERABEM = '1') " +
              base.arg("JOIN VALORINDICE V ON V.CDINDICE = '0001' AND V.DTREFIND = B.DTAQUIBEMATIVO", "AND V.VRINDICE <> 0");
    double expected[3];
    int rows = 0, all = 0;
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "somas", true);
        QSqlQuery q(db);
        QVERIFY2(q.exec(sql) && q.next(), qPrintable(q.lastError().text()));
        rows = q.value(0).toInt();
        for (int i = 0; i < 3; ++i) expected[i] = q.value(i + 1).toDouble();
        all = q.value(4).toInt();
    }
    dbconnect::close("somas");
    const TotaisHistorico &t = f->totais();
    QVERIFY(rows > 10);
    const char *fields[] = {"VROPERABEM2", "VRJADEPROPEBEM2", "VRFALDEPROPEBEM2"};
    for (int i = 0; i < 3; ++i)
        QVERIFY2(qAbs(t.somas.value(fields[i]) - expected[i]) <= 1e-6 * qAbs(expected[i]),
                 qPrintable(QString("%1: %2 against %3").arg(fields[i]).arg(t.somas.value(fields[i]), 0, 'f', 4).arg(expected[i], 0, 'f', 4)));
    if (index.isEmpty()) {
        QCOMPARE(t.linhas, rows);
        QCOMPARE(t.semConversao, 0);
        QVERIFY(f->lblTotais->text().startsWith(hostLocale().toString(rows) + " operações   ·   Valor Operação: "));
        return;
    }
    QCOMPARE(t.linhas, all);
    QCOMPARE(t.semConversao, all - rows);
    QVERIFY(t.semConversao > 0);
    QVERIFY(f->lblTotais->text().contains("Valor Operação: CDI "));
    QVERIFY(f->lblTotais->text().endsWith(hostLocale().toString(all - rows) + " sem conversão"));
    f->edtSgIndice->clear();
    StCDIndice.clear();
    StTpIndice.clear();
}

void TstFilter::printingFollowsTheRowsAndThePdfReadsBack()
{
    TfrmHistoricoBem *f = headerLeft(false);  // company 01, the whole period; filter cancelled
    QVERIFY(f);
    QVERIFY(!f->sbtImprimir->isEnabled());  // nothing to print yet
    confirm();
    QVERIFY(f->cdsHistoricoBem->RecordCount() > 100);
    QVERIFY(f->sbtImprimir->isEnabled());
    fx.sp.clear();
    QVERIFY(fx.backToMain());
    f->dbgPadrao->setFocus();
    QTest::keyClick(f->dbgPadrao, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(fx.sp.texts("print"), QStringList({"Histórico de Operações do Bem"}));
    QTemporaryDir dir;
    const QString file = dir.filePath("historico.pdf");
    fx.sp.fileAnswers = {file};
    QVERIFY(host::dispatch([this] { fx.sp.lastSavePdf(); }));
    if (qEnvironmentVariableIsSet("KEEP_PDF")) QFile::copy(file, qEnvironmentVariable("KEEP_PDF"));
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(fx.sp.texts("notice"), QStringList({"PDF gravado: " + file}));
    QProcess info;
    info.start("pdfinfo", {file});
    QVERIFY(info.waitForFinished(20000));
    if (info.exitCode() != 0 && info.error() == QProcess::FailedToStart) QSKIP("pdfinfo indisponível");
    const QString meta = QString::fromUtf8(info.readAllStandardOutput());
    const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(meta).captured(1).toInt();
    QVERIFY2(pages > 1, qPrintable(meta));
    for (int n = 1; n <= pages; ++n) {
        QProcess text;
        text.start("pdftotext", {"-layout", "-f", QString::number(n), "-l", QString::number(n), file, "-"});
        QVERIFY(text.waitForFinished(20000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        // The header and the page number on every page.
        QVERIFY2(page.contains("Histórico de Operações do Bem"), qPrintable(QString("page %1").arg(n)));
        QVERIFY(page.contains("Empresa: 01 - Metalúrgica Aurora Ltda"));
        QVERIFY(page.contains("Período: todo o histórico"));
        QVERIFY(page.contains("Critérios: Situação: Não Contabilizada"));
        QVERIFY(page.contains("Operador: ADMIN"));
        QVERIFY(page.contains(QString("Página %1 de %2").arg(n).arg(pages)));
        QVERIFY2(page.contains("Situação") && page.contains("Não Contabilizada"), qPrintable(page.left(1500)));
        // The totals after the last row only.
        QCOMPARE(page.contains(hostLocale().toString(f->cdsHistoricoBem->RecordCount()) + " operações"), n == pages);
    }
    // Back into the header: the tables close and there is nothing to print.
    f->medCdEmpresa->setFocus();
    QVERIFY(!f->cdsHistoricoBem->Active());
    QVERIFY(!f->sbtImprimir->isEnabled());
}

void TstFilter::periodSummaryAgreesWithGroupBy()
{
    TfrmHistoricoBem *f = headerLeft(false);  // company 01, the whole period
    QVERIFY(f);
    confirm();
    QVERIFY(f->cdsHistoricoBem->RecordCount() > 100);
    const ResumoPeriodo r = resumirHistorico(f, "NMGRUPOBEM");
    QMap<QString, QPair<int, double>> byGroup;
    QMap<QString, QPair<int, double>> byKind;
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "resumo", true);
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT G.NMGRUPOBEM, O.IDIDENTOPERABEM, COUNT(*), SUM(O.VROPERABEM) FROM OPERABEM O "
                       "JOIN BEMATIVO B ON B.CDEMPRESA = O.CDEMPRESA AND B.CDBEMATIVO = O.CDBEMATIVO "
                       "LEFT JOIN GRUPOBEM G ON G.CDEMPRESA = B.CDEMPRESA AND G.CDGRUPOBEM = B.CDGRUPOBEM "
                       "WHERE O.CDEMPRESA = '01' AND O.IDSITOPERABEM = '1' GROUP BY G.NMGRUPOBEM, O.IDIDENTOPERABEM"));
        while (q.next()) {
            auto &g = byGroup[q.value(0).toString()];
            auto &k = byKind[q.value(1).toString()];
            g.first += q.value(2).toInt();
            g.second += q.value(3).toDouble();
            k.first += q.value(2).toInt();
            k.second += q.value(3).toDouble();
        }
    }
    dbconnect::close("resumo");
    QCOMPARE(QStringList(byGroup.keys()), r.linhas);
    for (const QString &g : r.linhas) {
        QCOMPARE(r.porLinha.value(g).quantidade, byGroup.value(g).first);
        QVERIFY(qAbs(r.porLinha.value(g).valor() - byGroup.value(g).second) < 0.005);
    }
    // The kinds are named by the words the grid shows: compare their figures.
    QList<QPair<int, qint64>> sql, summary;
    for (const auto &k : byKind) sql << qMakePair(k.first, qRound64(k.second * 100));
    for (const QString &k : r.tipos) summary << qMakePair(r.porTipo.value(k).quantidade, qRound64(r.porTipo.value(k).valor() * 100));
    std::sort(sql.begin(), sql.end());
    std::sort(summary.begin(), summary.end());
    QCOMPARE(summary, sql);
    QCOMPARE(r.total.quantidade, f->cdsHistoricoBem->RecordCount());
    // Ctrl+R opens the window: a row per group and the total row.
    QVERIFY(fx.backToMain());
    int rows = -1;
    QTimer::singleShot(0, [&rows] {
        if (auto *w = qobject_cast<TfrmResumoPeriodo *>(QApplication::activeModalWidget())) {
            rows = w->cdsResumo->RecordCount();
            w->close();
        }
    });
    f->dbgPadrao->setFocus();
    QTest::keyClick(f->dbgPadrao, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(rows, r.linhas.size() + 1);
    // A cell narrows the history grid to its rows, locally; "Limpar filtro" shows all again.
    const int all = f->cdsHistoricoBem->RecordCount();
    fx.rec.clear();
    {
        TfrmResumoPeriodo dlg(f);
        dlg.filtraCelula(0, 2);  // the first group, the first kind's sum
    }
    const int cell = r.celulas.value(r.linhas[0]).value(r.tipos[0]).quantidade;
    QVERIFY(cell > 0 && cell < all);
    int shown = 0;
    for (int row = 0; row < all; ++row) shown += f->dbgPadrao->isRowHidden(row) ? 0 : 1;
    QCOMPARE(shown, cell);
    QCOMPARE(f->totais().linhas, cell);
    QVERIFY(f->btnLimparFiltro->isVisibleTo(f));
    QVERIFY(f->lblTotais->text().startsWith("Filtro: " + r.linhas[0] + " · " + r.tipos[0]));
    QVERIFY(!f->dbgPadrao->isRowHidden(f->cdsHistoricoBem->RecNo()));  // the current row is one of them
    f->btnLimparFiltro->click();
    QVERIFY(!f->dbgPadrao->RowFilterActive());
    for (int row = 0; row < all; ++row) QVERIFY(!f->dbgPadrao->isRowHidden(row));
    QCOMPARE(f->totais().linhas, all);
    QVERIFY(!f->btnLimparFiltro->isVisibleTo(f));
}

void TstFilter::keysOnACriterionOpenItsList_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("opens");
    QTest::newRow("F4 on Todos") << "rbtTdFilial" << int(Qt::Key_F4) << true;
    QTest::newRow("F4 on Lista") << "rbtLsFilial" << int(Qt::Key_F4) << true;
    QTest::newRow("Enter on Lista") << "rbtLsFilial" << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on Lista") << "rbtLsFilial" << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter on Todos") << "rbtTdFilial" << int(Qt::Key_Return) << false;
    QTest::newRow("F3 on Lista") << "rbtLsFilial" << int(Qt::Key_F3) << false;
}

void TstFilter::keysOnACriterionOpenItsList()
{
    QFETCH(QString, radio);
    QFETCH(int, key);
    QFETCH(bool, opens);
    QVERIFY(headerLeft(false));
    TfrmFiltroHistOpBem *d = dialog();
    QVERIFY(d->rbtTdFilial->isChecked());
    fx.sp.clear();
    QTest::keyClick(d->findChild<QRadioButton *>(radio), Qt::Key(key));
    if (!opens) {
        QCOMPARE(fx.sp.shown.size(), 0);
        QVERIFY(d->rbtTdFilial->isChecked());
        return;
    }
    // The list is chosen (its handler ran: the button is enabled) and opened.
    QVERIFY(d->rbtLsFilial->isChecked());
    QVERIFY(d->btpFilial->isEnabled());
    QCOMPARE(fx.sp.texts("pickList"), QStringList({"Filial|Não há Filial cadastrada."}));
}

void TstFilter::seriesBoxOutOfSightIsOutOfReach()
{
    QVERIFY(headerLeft(false));
    TfrmFiltroHistOpBem *d = dialog();
    // Below the panel's visible height: no focus, so no typing, and never
    // saved with or restored from an option set.
    QVERIFY(d->medSerieNF->y() >= d->grbFiltroPadrao->height());
    QCOMPARE(d->medSerieNF->focusPolicy(), Qt::NoFocus);
    QVERIFY(d->medNumero->focusPolicy() & Qt::TabFocus);
    d->medNumero->SetText("456");
    auto states = d->ControlStates();
    QStringList saved;
    for (const auto &[name, value] : states) saved << name;
    QVERIFY(saved.contains("medNumero"));
    QVERIFY(!saved.contains("medSerieNF"));
    // A set saved before holds a series: it is not put back where no one sees it.
    states.push_back({"medSerieNF", "9"});
    d->medNumero->SetText("123");
    QCOMPARE(d->RestoreControlStates(states), states.size() - 1);
    QCOMPARE(d->medSerieNF->Text(), QString());
    QCOMPARE(d->medNumero->Text().trimmed(), QString("456"));
}

void TstFilter::allGroupsOfACompanyWithoutGroupsStops()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    // Company 04 of the demo has no asset groups: "Todos" finds none to send.
    f->medCdEmpresa->SetText("04");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    QVERIFY(dialog()->rbtTdGrupoBem->isChecked());
    fx.rec.clear();
    fx.sp.clear();
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList({"Não há Grupo de Bem cadastrado."}));
    QCOMPARE(fx.rec.calls().size(), 0);
    // Company 01 has groups: the same choice goes through.
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    fx.sp.clear();
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(fx.rec.methods().value(0), QString("GetHistoricoOpBem"));
}

void TstFilter::emptyHistoryStillClosesAndShowsTheGrid()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->pgcPadrao->SetActivePage(f->tshDadosComp);
    confirm();
    QVERIFY(!dialog()->isVisible());
    QVERIFY(f->cdsHistoricoBem->IsEmpty());
    QCOMPARE(f->pgcPadrao->ActivePage(), f->tshPadrao);
    // Said inside the grid, not in a box; nothing to print.
    QVERIFY(f->dbgPadrao->ShowsEmptyText());
    QVERIFY(!f->sbtImprimir->isEnabled());
    QCOMPARE(f->dbgPadrao->EmptyText(), QString("Nenhuma operação encontrada para os critérios informados."));
    QCOMPARE(fx.sp.shown.size(), 0);
    RecordedCall esp, ctb;
    for (const RecordedCall &c : fx.rec.calls()) {
        if (c.method == "GetEspecOper") esp = c;
        if (c.method == "GetCTBLOper") ctb = c;
    }
    QCOMPARE(esp.args, QStringList({"01", "R", "", ""}));
    QCOMPARE(ctb.args, QStringList({"01", "", "", "R"}));
}

void TstFilter::failingRemoteStep_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("history") << 5;
    QTest::newRow("specifications") << 6;
    QTest::newRow("accounting entries") << 7;
}

void TstFilter::failingRemoteStep()
{
    QFETCH(int, step);
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    wire::DataPacket hist = packetOf(f->cdsHistoricoBem);
    wire::Row r(hist.fields.size());
    r[hist.indexOf("NRSEQOPERABEM")] = "7";
    r[hist.indexOf("CDBEMATIVO")] = "B7";
    hist.rows << r;
    wire::DataPacket broken;  // lacks every field: refused when loaded
    broken.fields = {{"X", wire::FieldKind::String, 1}};
    fx.rec.answer("GetHistoricoOpBem", step == 5 ? broken : hist);
    fx.rec.answerSequence("GetEspecOper", {packetOf(f->cdsEspecOper), step == 6 ? broken : packetOf(f->cdsEspecOper)});
    fx.rec.answerSequence("GetCTBLOper", {packetOf(f->cdsCTBLOper), step == 7 ? broken : packetOf(f->cdsCTBLOper)});
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->pgcPadrao->SetActivePage(f->tshDadosComp);
    bool openAfter = false;
    QTimer::singleShot(0, [&] {
        dialog()->sbtConfirma->click();
        openAfter = dialog()->isVisible();
        if (openAfter) dialog()->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    QCOMPARE(fx.sp.texts("error").size(), 1);
    QCOMPARE(host::busyDepth(), 0);  // the animation was stopped
    QCOMPARE(openAfter, step == 5);  // later failures close the dialog all the same
    QCOMPARE(f->pgcPadrao->ActivePage(), f->tshDadosComp);  // the grid page is not shown
    const QStringList m = fx.rec.methods();
    if (step == 5) QCOMPARE(m, QStringList({"GetHistoricoOpBem"}));
    if (step == 6) QCOMPARE(m.mid(3), QStringList({"GetEspecOper"}));
    if (step == 7) QCOMPARE(m.mid(3), QStringList({"GetEspecOper", "GetCTBLOper"}));
}

void TstFilter::accountingEntriesFollowTheCurrentOperation()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    wire::DataPacket hist = packetOf(f->cdsHistoricoBem);
    for (int i = 0; i < 2; ++i) {
        wire::Row r(hist.fields.size());
        r[hist.indexOf("NRSEQOPERABEM")] = QString::number(20 + i);
        r[hist.indexOf("CDBEMATIVO")] = QString("B%1").arg(i);
        r[hist.indexOf("NRSEQCAPAOPEBEM")] = QString::number(300 + i);
        r[hist.indexOf("NRSEQITCAPAOPE")] = QString::number(i + 1);
        hist.rows << r;
    }
    fx.rec.answer("GetHistoricoOpBem", hist);
    // With specifications the keys agree; without them, the operation's own keys still serve.
    for (bool withSpecs : {true, false}) {
        wire::DataPacket esp = packetOf(f->cdsEspecOper);
        if (withSpecs) esp.rows << wire::Row{"301", "2", "000001", "Garantia", "G", "03", QVariant(), QVariant(), "x", QVariant()};
        fx.rec.answer("GetEspecOper", esp);
        fx.rec.clear();
        confirm();
        RecordedCall last;
        for (const RecordedCall &c : fx.rec.calls())
            if (c.method == "GetCTBLOper") last = c;
        QCOMPARE(last.args, QStringList({"01", "301", "2", "R"}));
        QCOMPARE(f->cdsHistoricoBem->RecNo(), 1);
    }
}

void TstFilter::cancelKeepsTheCriteriaForTheRequery()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    QTimer::singleShot(0, [&] {
        d->rbtLsFilial->click();
        fx.sp.listAnswers = {"'0001','0002'"};
        d->btpFilial->click();
        d->ckbCancela->click();
        d->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    QVERIFY(!d->isVisible());
    QCOMPARE(fx.rec.calls().size(), 0);
    f->pgcPadrao->SetActivePage(f->tshPadrao);
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    const QStringList args = fx.rec.calls().first().args;
    QCOMPARE(args.at(14), QString("ref:_1_3_"));         // every box as it stands after the click
    QCOMPARE(args.at(15), QString("ref:'0001','0002'"));  // the branches picked
    QCOMPARE(args.at(16), QString("ref:"));
}

void TstFilter::leavingTheHeaderAndConfirmingShowsTheLastRow()
{
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("01");
    f->depDtInicial->SetDate({});
    f->depDtFinal->SetDate({});
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&press] {
        if (!frmFiltroHistOpBem || !frmFiltroHistOpBem->isVisible()) return;
        press.stop();
        frmFiltroHistOpBem->sbtConfirma->click();
    });
    press.start(1);
    f->pgcPadrao->tabBar()->setFocus();  // Tab out of the header lands on the page tabs
    QTRY_VERIFY(!frmFiltroHistOpBem->isVisible());
    const int last = f->cdsHistoricoBem->RecordCount() - 1;
    QVERIFY(last > 20);
    QCOMPARE(f->dbgPadrao->currentIndex().row(), last);
    QVERIFY2(f->dbgPadrao->viewport()->rect().contains(f->dbgPadrao->visualRect(f->dbgPadrao->currentIndex()).center()),
             "the current row is scrolled into view");
    QVERIFY(f->pgcPadrao->PageEnabled(f->tshDadosComp));
}

bool TstFilter::answerFilter(const std::function<void()> &action, bool confirmIt, bool *closedMeanwhile)
{
    bool opened = false;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (!frmFiltroHistOpBem || !frmFiltroHistOpBem->isVisible()) return;
        press.stop();
        opened = true;
        if (closedMeanwhile)
            *closedMeanwhile = frmHistoricoBem->cdsHistoricoBem->IsEmpty() && !frmHistoricoBem->sbtVerificar->isEnabled();
        (confirmIt ? frmFiltroHistOpBem->sbtConfirma : frmFiltroHistOpBem->sbtCancel)->click();
        if (frmFiltroHistOpBem->isVisible()) frmFiltroHistOpBem->sbtCancel->click();
    });
    press.start(1);
    action();
    QApplication::processEvents();
    return opened;
}

QSet<QString> TstFilter::shownOperations(TfrmHistoricoBem *f)
{
    QSet<QString> out;
    TClientDataSet *h = f->cdsHistoricoBem;
    for (int i = 0; i < h->RecordCount(); ++i) {
        const auto cell = [h, i](const char *n) { return h->valueAt(i, h->FieldByName(n)->Index()).toString(); };
        out << cell("NRSEQCAPAOPEBEM") + "|" + cell("NRSEQITCAPAOPE") + "|" + cell("NRSEQOPERABEM");
    }
    return out;
}

QSet<QString> TstFilter::operationsOf(const QString &company)
{
    QSet<QString> out;
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "operacoes", true);
        QSqlQuery q(db);
        q.prepare("SELECT NRSEQCAPAOPEBEM, NRSEQITCAPAOPE, NRSEQOPERABEM FROM OPERABEM WHERE CDEMPRESA = :E AND IDSITOPERABEM = '1'");
        q.bindValue(":E", company);
        if (q.exec())
            while (q.next()) out << q.value(0).toString() + "|" + q.value(1).toString() + "|" + q.value(2).toString();
    }
    dbconnect::close("operacoes");
    return out;
}

int TstFilter::count(const QString &sql)
{
    int n = -1;
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "contagem", true);
        QSqlQuery q(db);
        if (q.exec(sql) && q.next()) n = q.value(0).toInt();
    }
    dbconnect::close("contagem");
    return n;
}

void TstFilter::lookupsWhileResultsAreShown_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("pick");         // row of the list picked; -1 cancels the list
    QTest::addColumn<bool>("confirmed");   // the filter that opens after a pick is confirmed
    QTest::addColumn<QString>("company");  // whose history the screen shows then, and after "Verificar"
    QTest::newRow("company list cancelled") << "btnEmpresa" << -1 << true << "03";
    QTest::newRow("another company picked") << "btnEmpresa" << 1 << true << "02";
    QTest::newRow("another company picked, filter cancelled") << "btnEmpresa" << 1 << false << "02";
    QTest::newRow("index list cancelled") << "btpIndFin" << -1 << true << "03";
    QTest::newRow("an index picked") << "btpIndFin" << 0 << true << "03";
}

void TstFilter::lookupsWhileResultsAreShown()
{
    // Company 03's history shown; a lookup of the header used from the grid.
    QFETCH(QString, button);
    QFETCH(int, pick);
    QFETCH(bool, confirmed);
    QFETCH(QString, company);
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("03");
    f->depDtInicial->SetDate({});
    f->depDtFinal->SetDate({});
    QVERIFY(answerFilter([f] { f->dbgPadrao->setFocus(); }, true));
    const QSet<QString> of03 = operationsOf("03");
    QVERIFY(of03.size() > 5);
    QCOMPARE(shownOperations(f), of03);
    QVERIFY(operationsOf("02") != of03);

    fx.sp.rowAnswers = {pick};
    bool closed = false;
    auto *b = f->findChild<QToolButton *>(button);
    QVERIFY(b);
    const bool opened = answerFilter([b] { b->click(); }, confirmed, &closed);
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(fx.sp.texts("pickRow").size(), 1);
    // A pick changes the header: the tables close first, as on entering it,
    // and the filter opens, as on leaving it. A cancelled list changes nothing.
    QCOMPARE(opened, pick >= 0);
    if (opened) QVERIFY2(closed, "the old rows were gone when the filter opened");
    QCOMPARE(f->medCdEmpresa->Text(), company);
    QCOMPARE(f->edtNmEmpresa->text(),
             company == "03" ? QString("Comércio Vale Verde Ltda") : QString("Transportes Serra Azul S/A"));
    if (opened && !confirmed) QVERIFY(f->cdsHistoricoBem->IsEmpty());
    else QCOMPARE(shownOperations(f), operationsOf(company));
    QVERIFY(f->sbtVerificar->isEnabled());
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    QCOMPARE(shownOperations(f), operationsOf(company));
    if (button == "btpIndFin" && pick >= 0) {
        // The values are converted by the index the header shows, and say so.
        const QString sigla = f->edtSgIndice->text();
        QVERIFY(!sigla.isEmpty());
        QVERIFY(!StCDIndice.isEmpty());
        TClientDataSet *h = f->cdsHistoricoBem;
        int converted = 0;
        for (h->First(); !h->Eof(); h->Next()) {
            if (h->FieldByName("IDINDFINOK")->AsString() != "S") continue;
            ++converted;
            QVERIFY(h->FieldByName("VROPERABEM2")->DisplayText().startsWith(sigla));
        }
        QVERIFY(converted > 0);
    }
}

void TstFilter::allAfterAConfirmedListSendsAll_data() { radioRoundTripKeepsOrEmptiesTheSelection_data(); }

void TstFilter::allAfterAConfirmedListSendsAll()
{
    // A list confirmed, then "Todos" (or "Todas") and Cancela: "Verificar"
    // asks for every value, as the dialog shows.
    QFETCH(QString, list);
    QFETCH(QString, all);
    QFETCH(QStringList, strings);
    QFETCH(int, arg);
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    d->findChild<QRadioButton *>(list)->click();
    for (const QString &name : strings) *criterionString(d, name) = "'X1'";
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QVERIFY(!fx.rec.calls().isEmpty());
    if (arg >= 0) QCOMPARE(fx.rec.calls().first().args.mid(arg, 2), QStringList({"ref:'X1'", "ref:"}));
    QVERIFY(!answerFilter([d, all] {
        QTimer::singleShot(0, [d, all] {
            d->findChild<QRadioButton *>(all)->click();
            d->sbtCancel->click();
        });
        CriaFiltroHistOpBem();
    }, false));
    fx.rec.clear();
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    QVERIFY(!fx.rec.calls().isEmpty());
    QCOMPARE(fx.rec.calls().first().method, QString("GetHistoricoOpBem"));
    if (arg >= 0) QCOMPARE(fx.rec.calls().first().args.at(arg + 1), QString("ref:T"));
    const QHash<QString, QString *> flags = {{"rbtTdFornec", &d->stTFornecedor}};
    if (flags.contains(all)) QCOMPARE(*flags.value(all), QString("T"));
}

void TstFilter::firstRequeryAsksWhatTheDialogShows()
{
    // A dialog never confirmed: its criteria are those its controls show.
    delete frmFiltroHistOpBem.data();
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    QVERIFY(dialog());
    QCOMPARE(fx.rec.calls().size(), 0);
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    QVERIFY(!fx.rec.calls().isEmpty());
    QStringList expected = {"01", "date:", "date:", "ref:T"};
    for (const QString &c : {"", "T", "", "T", "", "T", "", "T", "", "T", "_1_", "", "T", "", "T", "", "T", "", "T", "",
                             "T", "", "T"})
        expected << "ref:" + QString(c);
    QCOMPARE(fx.rec.calls().first().args, expected);
    QCOMPARE(dialog()->stTFornecedor, QString("T"));
}

void TstFilter::requeriesOnTheRealServerReturnWhatTheDialogShows()
{
    // Company 01, the whole period, the default situation (not posted).
    const QString of01 = "SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '01' AND IDSITOPERABEM = '1'";
    const int all = count(of01), branch = count(of01 + " AND CDFILIAL = '0001'");
    QVERIFY(branch > 0 && branch < all);
    // A dialog only cancelled.
    delete frmFiltroHistOpBem.data();
    TfrmHistoricoBem *f = headerLeft(false);
    QVERIFY(f);
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    QCOMPARE(f->cdsHistoricoBem->RecordCount(), all);
    // A branch confirmed, then "Todas" and Cancela.
    TfrmFiltroHistOpBem *d = dialog();
    d->rbtLsFilial->click();
    fx.sp.listAnswers = {"'0001'"};
    d->btpFilial->click();
    confirm();
    QCOMPARE(f->cdsHistoricoBem->RecordCount(), branch);
    QVERIFY(!answerFilter([d] {
        QTimer::singleShot(0, [d] {
            d->rbtTdFilial->click();
            d->sbtCancel->click();
        });
        CriaFiltroHistOpBem();
    }, false));
    QVERIFY(host::dispatch([f] { f->sbtVerificarClick(); }));
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(f->cdsHistoricoBem->RecordCount(), all);
}

void TstFilter::pickedGroupListIsSentWithoutItsFlag()
{
    QVERIFY(headerLeft(true));
    TfrmFiltroHistOpBem *d = dialog();
    d->rbtListaGrupoBem->click();
    fx.sp.listAnswers = {"'000001','000003'"};
    d->btpGrupoBem->click();
    QCOMPARE(fx.sp.texts("pickList"), QStringList({"Grupo de Bem"}));
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QVERIFY(!fx.rec.calls().isEmpty());
    QCOMPARE(fx.rec.calls().first().args.mid(4, 2), QStringList({"ref:'000001','000003'", "ref:"}));
}

void TstFilter::typedInvoiceNumberFindsItsOperations()
{
    // The edit gives the number padded to its width; the real server finds it.
    TfrmHistoricoBem *f = headerLeft(false);
    QVERIFY(f);
    QString number;
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "nota", true);
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT MIN(NRNOTAFIOPERA) FROM OPERABEM WHERE CDEMPRESA = '01' AND IDSITOPERABEM = '1' "
                       "AND NRNOTAFIOPERA IS NOT NULL") && q.next());
        number = q.value(0).toString();
    }
    dbconnect::close("nota");
    QVERIFY(!number.isEmpty() && number.size() < 10);
    const int expected = count("SELECT COUNT(*) FROM OPERABEM WHERE CDEMPRESA = '01' AND IDSITOPERABEM = '1' "
                               "AND NRNOTAFIOPERA = '" + number + "'");
    QVERIFY(expected > 0);
    dialog()->medNumero->SetText(number);
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QVERIFY(dialog()->stCdNF.startsWith(' '));
    QCOMPARE(dialog()->stCdNF.trimmed(), number);
    QCOMPARE(f->cdsHistoricoBem->RecordCount(), expected);
    TClientDataSet *h = f->cdsHistoricoBem;
    for (h->First(); !h->Eof(); h->Next()) QCOMPARE(h->FieldByName("NRNOTAFIOPERA")->AsString(), number);
}

void TstFilter::valuesTheServerHandsBackLandInTheFields()
{
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    QStringList back;
    for (int i = 4; i <= 27; ++i) back << QString("v%1").arg(i);
    fx.rec.answerRefs("GetHistoricoOpBem", back);
    confirm();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(f->stDtGeral, QString("v4"));
    QStringList landed;
    for (QString *s : dialog()->criteriaSent()) landed << *s;
    QCOMPARE(landed, back.mid(1));
}

void TstFilter::aSelectionOfJustTNarrowsItsList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("rows");  // what the picker must offer
    QTest::newRow("groups, selection T") << "rbtListaGrupoBem" << "T" << "SELECT COUNT(*) FROM GRUPOBEM WHERE CDGRUPOBEM = 'T'";
    QTest::newRow("groups, a list") << "rbtListaGrupoBem" << "'000001'" << "SELECT COUNT(*) FROM GRUPOBEM WHERE CDEMPRESA = '01'";
    QTest::newRow("operators, selection T") << "rbtLsResponsavel" << "T" << "SELECT COUNT(*) FROM OPERADOR WHERE CDOPERADOR = 'T'";
    QTest::newRow("operators, a list") << "rbtLsResponsavel" << "'OPER001'" << "SELECT COUNT(*) FROM OPERADOR WHERE IDOPERATIVO = 'A'";
}

void TstFilter::aSelectionOfJustTNarrowsItsList()
{
    QFETCH(QString, list);
    QFETCH(QString, selection);
    QFETCH(QString, rows);
    QVERIFY(headerLeft(true));
    TfrmFiltroHistOpBem *d = dialog();
    const bool groups = list == "rbtListaGrupoBem";
    d->findChild<QRadioButton *>(list)->click();
    (groups ? d->stGrupoBem : d->stOperador) = selection;
    (groups ? d->btpGrupoBem : d->btpResponsavel)->click();
    QCOMPARE(fx.sp.texts("pickList").size(), 1);
    const int expected = count(rows);
    QVERIFY(selection == "T" ? expected == 0 : expected > 1);
    QCOMPARE(fx.sp.shown.last().rows, expected);
}

void TstFilter::aFailedListKeepsWhatItHad_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("strings");
    QTest::newRow("assets") << "getBem" << "rbtLsBem" << "btpBem" << "cdsBem" << QStringList{"stCdBem", "stTCdBem", "stValBem"};
    QTest::newRow("types") << "getTipoDeOperacao" << "rbtLsTipoOper" << "btpTipoOper" << "cdsTipoOper"
                           << QStringList{"stCdTpOper", "stTCdTpOper"};
    QTest::newRow("reasons") << "getMotivoOper" << "rbtLsMotivoOp" << "btpMotivoOp" << "cdsMotivoOper"
                             << QStringList{"stCdMotivoOp", "stTCdMotivoOp", "stValMotivo"};
    QTest::newRow("cost centres") << "getCentCusto" << "rbtLsCentCust" << "btpCCusto" << "cdsCentCust"
                                  << QStringList{"stCCusto", "stTCCusto"};
    QTest::newRow("sectors") << "getSetor" << "rbtLsSetor" << "btpSetor" << "cdsSetor" << QStringList{"stSetor", "stTSetor"};
}

void TstFilter::aFailedListKeepsWhatItHad()
{
    QFETCH(QString, method);
    QFETCH(QString, list);
    QFETCH(QString, button);
    QFETCH(QString, table);
    QFETCH(QStringList, strings);
    TfrmHistoricoBem *f = headerLeft(true);
    QVERIFY(f);
    TfrmFiltroHistOpBem *d = dialog();
    auto *t = d->findChild<TClientDataSet *>(table);
    QVERIFY(t);
    wire::DataPacket one = packetOf(t);
    one.rows << wire::Row(one.fields.size(), QVariant("K1"));
    fx.rec.answer(method, one);
    d->findChild<QRadioButton *>(list)->click();
    fx.sp.listAnswers = {"'K1'"};
    d->findChild<QToolButton *>(button)->click();
    QCOMPARE(fx.sp.texts("pickList").size(), 1);
    QCOMPARE(t->RecordCount(), 1);
    const QHash<QString, QString *> all = {
        {"stCdBem", &d->stCdBem},         {"stTCdBem", &d->stTCdBem},     {"stValBem", &d->stValBem},
        {"stCdTpOper", &d->stCdTpOper},   {"stTCdTpOper", &d->stTCdTpOper}, {"stCdMotivoOp", &d->stCdMotivoOp},
        {"stTCdMotivoOp", &d->stTCdMotivoOp}, {"stValMotivo", &d->stValMotivo}, {"stCCusto", &d->stCCusto},
        {"stTCCusto", &d->stTCCusto},     {"stSetor", &d->stSetor},       {"stTSetor", &d->stTSetor}};
    QStringList before;
    for (const QString &name : strings) before << *all.value(name);
    QCOMPARE(before.first(), QString("'K1'"));
    QCOMPARE(before.at(1), QString());  // "Lista" with its pick: no "all" flag
    fx.sp.clear();
    fx.rec.refuse(method, wire::ErrorCode::BadValue, "Lista indisponível.");
    d->findChild<QToolButton *>(button)->click();
    QCOMPARE(fx.sp.texts("error"), QStringList({"Lista indisponível."}));
    QCOMPARE(fx.sp.texts("pickList"), QStringList());
    QCOMPARE(t->RecordCount(), 1);
    QStringList after;
    for (const QString &name : strings) after << *all.value(name);
    QCOMPARE(after, before);
}

void TstFilter::moneyAddsUpToTheCent_data()
{
    QTest::addColumn<QString>("index");
    QTest::newRow("in reais") << "";
    QTest::newRow("converted by CDI") << "CDI";
}

void TstFilter::moneyAddsUpToTheCent()
{
    // Company 10's amounts given three decimals, each on a half cent as its
    // decimal digits read (0,005 and 0,675 lie just below it in binary).
    QFETCH(QString, index);
    const bool pg = Vantiro::Database().startsWith("postgres");
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "tres_casas", false);
        QSqlQuery q(db);
        QVERIFY2(q.exec("UPDATE OPERABEM SET VROPERABEM = ROUND(VROPERABEM) + 0.005, VRJADEPROPEBEM = ROUND(VRJADEPROPEBEM) + "
                        "0.125, VRFALDEPROPEBEM = ROUND(VRFALDEPROPEBEM) + 0.675 WHERE CDEMPRESA = '10'"),
                 qPrintable(q.lastError().text()));
    }
    dbconnect::close("tres_casas");
    // The rule in SQL, each database its own way: reais to cents half away from
    // zero, then (with the index) the cents divided and rounded again.
    const QStringList columns = {"O.VROPERABEM", "O.VRJADEPROPEBEM", "O.VRFALDEPROPEBEM"};
    QStringList sums;
    for (const QString &c : columns) {
        const QString cents = pg ? QString("ROUND(%1::numeric * 100)").arg(c) : QString("CAST(%1 * 100 + 0.5000001 AS INTEGER)").arg(c);
        const QString conv = index.isEmpty() ? cents
                             : pg            ? QString("ROUND(%1 / V.VRINDICE::numeric)").arg(cents)
                                             : QString("CAST(%1 / V.VRINDICE + 0.5000001 AS INTEGER)").arg(cents);
        sums << QString("SUM(%1)").arg(conv);
    }
    const QString from = "FROM OPERABEM O JOIN BEMATIVO B ON B.CDEMPRESA = O.CDEMPRESA AND B.CDBEMATIVO = O.CDBEMATIVO " +
                         QString(index.isEmpty() ? "" : "JOIN VALORINDICE V ON V.CDINDICE = '0001' AND V.DTREFIND = B.DTAQUIBEMATIVO AND V.VRINDICE <> 0 ") +
                         "WHERE O.CDEMPRESA = '10' AND O.IDSITOPERABEM = '1'";
    qint64 expected[3] = {0, 0, 0};
    int summed = 0;
    {
        QSqlDatabase db = dbconnect::open(Vantiro::Database(), "somas_centavos", true);
        QSqlQuery q(db);
        QVERIFY2(q.exec("SELECT COUNT(*), " + sums.join(", ") + " " + from) && q.next(), qPrintable(q.lastError().text()));
        summed = q.value(0).toInt();
        for (int i = 0; i < 3; ++i) expected[i] = qRound64(q.value(i + 1).toDouble());
    }
    dbconnect::close("somas_centavos");
    QVERIFY(summed > 5);
    TfrmHistoricoBem *f = fx.screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("10");
    f->depDtInicial->SetDate({});
    f->depDtFinal->SetDate({});
    f->edtSgIndice->setText(index);
    if (!index.isEmpty()) QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    fx.sp.clear();
    QVERIFY(answerFilter([f] { f->dbgPadrao->setFocus(); }, true));
    const TotaisHistorico &t = f->totais();
    const char *fields[] = {"VROPERABEM2", "VRJADEPROPEBEM2", "VRFALDEPROPEBEM2"};
    TClientDataSet *h = f->cdsHistoricoBem;
    for (int i = 0; i < 3; ++i) {
        // The totals line is the database's rule, to the cent...
        QCOMPARE(qRound64(t.somas.value(fields[i]) * 100), expected[i]);
        // ...and the column as the grid shows it adds up to it.
        qint64 shown = 0;
        for (int r = 0; r < h->RecordCount(); ++r) {
            if (f->foraDasSomas(r)) continue;
            QString text = h->FieldByName(fields[i])->DisplayTextAt(r).remove(index).remove('.').replace(',', '.').trimmed();
            shown += qRound64(text.toDouble() * 100);
        }
        QCOMPARE(shown, expected[i]);
    }
    // The summary: every row counted, the converted ones summed, as the totals line.
    const ResumoPeriodo r = resumirHistorico(f, "NMGRUPOBEM");
    QCOMPARE(r.total.quantidade, h->RecordCount());
    QCOMPARE(r.total.centavos, expected[0]);
    QCOMPARE(r.semConversao, t.semConversao);
    QCOMPARE(h->RecordCount() - r.semConversao, summed);
    if (!index.isEmpty()) QVERIFY(r.semConversao > 0);
    // The export writes the figures shown: its column adds up to the same.
    QTemporaryDir dir;
    fx.sp.fileAnswers = {dir.filePath("centavos.csv")};
    f->dbgPadrao->setFocus();
    f->mnuExportar->trigger();
    QFile csv(dir.filePath("centavos.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll().mid(3)).split("\r\n", Qt::SkipEmptyParts);
    const int col = lines.first().split(';').indexOf(index.isEmpty() ? "Valor Operação" : "Valor Operação (CDI)");
    QVERIFY(col >= 0);
    qint64 exported = 0;
    for (const QString &line : lines.mid(1))
        exported += qRound64(QString(line.split(QLatin1Char(';')).at(col)).remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() * 100);
    QCOMPARE(exported, expected[0]);
    StCDIndice.clear();
    StTpIndice.clear();
}

QStringList TstFilter::pdfPages(const QString &file)
{
    QStringList out;
    QProcess info;
    info.start("pdfinfo", {file});
    info.waitForFinished(20000);
    const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(info.readAllStandardOutput())).captured(1).toInt();
    for (int n = 1; n <= pages; ++n) {
        QProcess text;
        text.start("pdftotext", {"-layout", "-f", QString::number(n), "-l", QString::number(n), file, "-"});
        text.waitForFinished(20000);
        // The PDF's font joins "fi" and "fl" into ligatures; the text read back has them apart.
        out << QString::fromUtf8(text.readAllStandardOutput()).replace(QChar(0xFB01), "fi").replace(QChar(0xFB02), "fl");
    }
    return out;
}

void TstFilter::aNarrowedHistoryPrintsAndExportsWhatItShows()
{
    TfrmHistoricoBem *f = headerLeft(false);  // company 01, the whole period
    QVERIFY(f);
    confirm();
    const int all = f->cdsHistoricoBem->RecordCount();
    const ResumoPeriodo r = resumirHistorico(f, "NMGRUPOBEM");
    const QString group = r.linhas.first();
    const int kept = f->filtraHistorico("NMGRUPOBEM", group, {}, group);
    QVERIFY(kept > 0 && kept < all);
    QCOMPARE(kept, r.porLinha.value(group).quantidade);
    QTemporaryDir dir;
    // CSV and XLSX: the rows shown, and the notice says so.
    for (const QString name : {"estreito.csv", "estreito.xlsx"}) {
        fx.sp.clear();
        fx.sp.fileAnswers = {dir.filePath(name)};
        f->dbgPadrao->setFocus();
        f->mnuExportar->trigger();
        QCOMPARE(fx.sp.texts("notice"), QStringList({QString("Exportado: %1 linhas para %2").arg(kept).arg(dir.filePath(name))}));
    }
    QFile csv(dir.filePath("estreito.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll().mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), kept + 1);
    const int groupCol = lines.first().split(';').indexOf("Grupo de Bem");
    QVERIFY(groupCol >= 0);
    for (const QString &line : lines.mid(1)) QCOMPARE(line.split(';').at(groupCol), group);
    QProcess unzip;
    unzip.start("unzip", {"-p", dir.filePath("estreito.xlsx"), "xl/worksheets/sheet1.xml"});
    QVERIFY(unzip.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(unzip.readAllStandardOutput()).count("<row r="), kept + 1);
    // The print: the rows shown, a header that says how it was narrowed, their totals.
    fx.sp.clear();
    QVERIFY(host::dispatch([f] { f->Imprimir(f->dbgPadrao); }));
    const QString file = dir.filePath("estreito.pdf");
    fx.sp.fileAnswers = {file};
    QVERIFY(host::dispatch([this] { fx.sp.lastSavePdf(); }));
    const QStringList pages = pdfPages(file);
    QVERIFY(!pages.isEmpty());
    for (const QString &page : pages) QVERIFY2(page.contains("Filtro: " + group), qPrintable(page.left(600)));
    // A row per operation shown: the group's name once per row, besides the
    // header's line on each page and the totals after the last row; no row of
    // another group.
    int rowsPrinted = -1;
    for (const QString &page : pages) rowsPrinted += page.count(group) - 1;
    QCOMPARE(rowsPrinted, kept);
    for (const QString &other : r.linhas)
        if (other != group && !group.contains(other)) QVERIFY2(!pages.join('\n').contains(other), qPrintable(other));
    QVERIFY(pages.last().contains(QString("%1 operações").arg(hostLocale().toString(kept))));
    f->limpaFiltroHistorico();
}

QTEST_MAIN(TstFilter)
#include "tst_filter.moc"
