// The history screen driven offscreen against the real server object over loopback.
#include "Cli_trq01300.h"
#include "Cli_trq01301.h"
#include "module.h"

#include "adoibquery.h"
#include "appserver.h"
#include "dateeditplus.h"
#include "dbgrid.h"
#include "dbconnect.h"
#include "generator.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "prompter.h"
#include "vantiro.h"
#include "recordingserver.h"
#include "screenfixture.h"
#include "tcpconnections.h"
#include "codec.h"
#include "trq01300_methods.h"
#include "scriptedprompter.h"
#include "standardobjects.h"
#include <QCheckBox>
#include <QPainter>
#include <QRadioButton>

#include <QLineEdit>
#include <QTimer>
#include "btnpesquisa.h"
#include "consiste.h"
#include "dispatch.h"
#include <QTemporaryDir>
#include <QHeaderView>
#include "testguards.h"
#include <QTest>
#include <QRegularExpression>
#include <limits>
#include <QToolButton>

using namespace trq01300;

class TstScreen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void factoriesAndLifetime();
    void gridColumnsAndTitles();
    void companyCodeChecks();
    void leavingHeaderOpensFilterAndCancelKeepsTablesClosed();
    void indexPickAndTypedLookup();
    void conversionMarksRows();
    void codedTexts();
    void indexLookupSendsExactArguments();
    void anIndexOfAnotherKindIsFound();
    void conversionAsksTheRightDates_data();
    void conversionAsksTheRightDates();
    void dialogConversionWarnsOnce();
    void manyDatesConvertedByOneCallAsByACallEach_data();
    void manyDatesConvertedByOneCallAsByACallEach();
    void rangeCallFailingFallsBackToACallPerDate();
    void rowChangeLoadsDetailsOfNewRow();
    void filterCommandsAndPages();
    void dialogKeepsItsStateBetweenOpenings();
    void markDrawnOnlyInMarkColumn();
    void codeWordsAndSetters_data();
    void codeWordsAndSetters();
    void periodFlagFollowsTheDates_data();
    void periodFlagFollowsTheDates();
    void companyPickedFromItsList();
    void accountCodesShownByTheHostsPicture();
    void closingHangsUp();
    void failedSpecificationsKeepBothDetailTables();
    void failedRequeryKeepsTheRowsUnconverted();
    void filterCommandLeavesTheScreenAsItWas();
    void helpOpensTheScreensPage();
private:
    // A screen connected to the recording server.
    TfrmHistoricoBem *recordedScreen();
    void loadHistory(TfrmHistoricoBem *f, const QVector<wire::Row> &rows);
    Recorder m_rec;
    std::unique_ptr<appsrv::ServerThread> m_recServer;
    TfrmHistoricoBem *screen();
    QTemporaryDir m_dir;
    std::unique_ptr<appsrv::ServerThread> m_server;
    host::ScriptedPrompter m_sp;
};

void TstScreen::initTestCase()
{
    isolateSettings();
    const QString file = m_dir.filePath("demo.db");
    demo::generate(dbconnect::open("sqlite:" + file, "gen", dbconnect::Mode::Create), {});
    dbconnect::close("gen");
    Vantiro::SetDatabase("sqlite:" + file);
    host::openSharedDatabase(Vantiro::Database());
    appsrv::Config cfg;
    cfg.database = Vantiro::Database();
    m_server = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
    QString why;
    QVERIFY2(m_server->start(&why), qPrintable(why));
    Vantiro::SetWebURL("127.0.0.1");
    Vantiro::SetWebPort(m_server->port());
    host::setPrompter(&m_sp);
    initializeUnits();
}

void TstScreen::cleanupTestCase()
{
    finalizeUnits();
    host::setPrompter(nullptr);
    m_server->stop();
}

void TstScreen::init()
{
    m_sp.clear();
    // Any dialog opened by a test is cancelled as soon as it shows.
    m_sp.onShown = nullptr;
}

TfrmHistoricoBem *TstScreen::screen()
{
    CriaHistoricoBem();
    TfrmHistoricoBem *f = frmHistoricoBem;
    f->activateWindow();
    if (!QTest::qWaitForWindowActive(f)) return nullptr;
    return f;
}

void TstScreen::factoriesAndLifetime()
{
    QVERIFY(boPrimeiraVez);
    TfrmHistoricoBem *a = screen();
    QVERIFY(a);
    QVERIFY(!boPrimeiraVez);
    QCOMPARE(a->depDtInicial->GetDate(), a->depDtFinal->GetDate().addDays(-30));
    QCOMPARE(QApplication::focusWidget(), a->medCdEmpresa);
    a->showMinimized();
    CriaHistoricoBem();
    QCOMPARE(frmHistoricoBem.data(), a);
    QVERIFY(!(a->windowState() & Qt::WindowMinimized));
    QPointer<TfrmHistoricoBem> old(a);
    a->close();
    QVERIFY(!boIdCriado);
    QTRY_VERIFY(!old);
    TfrmHistoricoBem *b = screen();
    QVERIFY(b);
    // A new screen starts in its first control, "Empresa", in the header.
    QCOMPARE(QApplication::focusWidget(), b->medCdEmpresa);
    QVERIFY(!b->sbtVerificar->isEnabled());
    // The start date is defaulted once per package load only.
    QCOMPARE(b->depDtInicial->GetDate(), QDate::currentDate());
}

void TstScreen::gridColumnsAndTitles()
{
    TfrmHistoricoBem *f = screen();
    QCOMPARE(f->dbgPadrao->Columns().size(), 29);
    QCOMPARE(f->dbgPadrao->Columns().first().FieldName, QString("IDINDFINOK"));
    QVERIFY(f->dbgPadrao->isColumnHidden(0));
    QCOMPARE(f->dbgPadrao->ColumnTitle(7), QString("Valor Operação"));
    QCOMPARE(f->dbgPadrao->columnWidth(5), 252);
    // No title is cut at the font in use, on any grid, before or after rows are loaded.
    for (int pass = 0; pass < 2; ++pass) {
        for (TDBGrid *g : {f->dbgPadrao, f->dbgEspecOper, f->dbgCTBLOper}) {
            const QFontMetrics fm = g->horizontalHeader()->fontMetrics();
            for (int c = 0; c < g->Columns().size(); ++c)
                if (!g->isColumnHidden(c))
                    QVERIFY2(g->columnWidth(c) > fm.horizontalAdvance(g->ColumnTitle(c)) + 4, qPrintable(g->ColumnTitle(c)));
        }
        host::dispatch([&] { loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}}); });
    }
    // A width the user drags survives the next load.
    f->dbgPadrao->horizontalHeader()->resizeSection(5, 400);
    host::dispatch([&] { loadHistory(f, {{"2", "B", "1", "1", QVariant(), 2.0}}); });
    QCOMPARE(f->dbgPadrao->columnWidth(5), 400);
    m_sp.clear();
    QCOMPARE(f->dbgEspecOper->ColumnTitle(3), QString("Especificação"));
    QCOMPARE(f->dbgCTBLOper->ColumnTitle(1), QString("Débito/Crédito"));
    QCOMPARE(f->cdsHistoricoBem->Fields().size(), 46);
    QCOMPARE(f->cdsEspecOper->Fields().size(), 10);
    QCOMPARE(f->cdsCTBLOper->Fields().size(), 5);
    QCOMPARE(f->pgcPadrao->tabText(1), QString("Dados Complementares"));
    QVERIFY(!f->mnuIncluir->isEnabled());
    QCOMPARE(f->Filtrar1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
}

void TstScreen::companyCodeChecks()
{
    TfrmHistoricoBem *f = screen();
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->clear();
    QTest::keyClicks(f->medCdEmpresa, "a9b9");
    QCOMPARE(f->medCdEmpresa->Text(), QString("99"));
    f->depDtInicial->setFocus();  // leaving the box checks the code
    QCOMPARE(m_sp.texts("error"), QStringList({"Empresa não cadastrada."}));
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    m_sp.clear();
    f->medCdEmpresa->clear();
    QTest::keyClicks(f->medCdEmpresa, "1");
    f->depDtInicial->setFocus();
    QVERIFY(m_sp.shown.isEmpty());
    QCOMPARE(f->medCdEmpresa->Text(), QString("01"));
    QCOMPARE(f->edtNmEmpresa->text(), QString("Metalúrgica Aurora Ltda"));
    QTest::keyClicks(f->medCdEmpresa, "");
    f->medCdEmpresa->SetText("02");
    QCOMPARE(f->edtNmEmpresa->text(), QString());  // any change empties the name
}

void TstScreen::leavingHeaderOpensFilterAndCancelKeepsTablesClosed()
{
    TfrmHistoricoBem *f = screen();
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("01");
    f->depDtInicial->SetDate({});
    f->depDtFinal->SetDate({});
    // From the grid with a history shown, back into the header: the tables close.
    ScreenFixture::cancelFilterWhenShown();
    f->dbgPadrao->setFocus();
    f->activateWindow();  // back from the dialog, as the window system does it
    QTRY_COMPARE(QApplication::focusWidget(), f->dbgPadrao);
    ScreenFixture::loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}});
    QVERIFY(f->cdsHistoricoBem->Active());
    f->medCdEmpresa->setFocus();
    QVERIFY(!f->cdsHistoricoBem->Active());
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (frmFiltroHistOpBem && frmFiltroHistOpBem->isVisible()) {
            opened = true;
            frmFiltroHistOpBem->sbtCancel->click();
        }
    });
    f->dbgPadrao->setFocus();
    QVERIFY(opened);
    QCOMPARE(f->stDtGeral, QString("T"));
    QVERIFY(!f->cdsHistoricoBem->Active());
    QVERIFY(f->sbtVerificar->isEnabled());
    QVERIFY(!f->pgcPadrao->PageEnabled(f->tshDadosComp));
    // Only one date given: the dialog does not open.
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    f->medCdEmpresa->setFocus();
    QVERIFY(!f->sbtVerificar->isEnabled());
    f->depDtFinal->SetDate(QDate(2024, 1, 31));
    m_sp.clear();
    f->dbgPadrao->setFocus();
    QCOMPARE(m_sp.texts("error"), QStringList({"Data inicial deve ser informada."}));
    QCOMPARE(QApplication::focusWidget(), f->depDtInicial);
}

void TstScreen::indexPickAndTypedLookup()
{
    TfrmHistoricoBem *f = screen();
    StCDIndice.clear();
    StTpIndice.clear();
    m_sp.rowAnswers = {0};  // CDI, first by abbreviation
    f->btpIndFin->Pesquisar();
    QCOMPARE(f->edtSgIndice->text(), QString("CDI"));
    QCOMPARE(f->edtNmIndice->text(), QString("Depósito Interbancário"));
    QCOMPARE(StCDIndice, QString("0001"));
    QCOMPARE(StTpIndice, QString("1"));
    // An index not registered is said so, and the one chosen stays.
    f->edtSgIndice->setText("XPTO");
    QVERIFY(!host::dispatch([f] { f->carrega_Indice(); }));
    QCOMPARE(m_sp.texts("error").last(), QString("Índice Finaceiro não cadastrado. "));
    QCOMPARE(StCDIndice, QString("0001"));
    f->edtSgIndice->setText("usd");
    QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    QCOMPARE(StCDIndice, QString("0005"));
    QCOMPARE(f->edtSgIndice->text(), QString("usd"));
}

void TstScreen::conversionMarksRows()
{
    TfrmHistoricoBem *f = screen();
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    wire::DataPacket p;
    // Rows built from a real retrieval, then acquisition dates set by hand.
    frmFiltroHistOpBem ? void() : void(CriaFiltroHistOpBem);
    StCDIndice = "0001";
    StTpIndice = "1";
    f->edtSgIndice->setText("CDI");
    f->stDtGeral = "T";
    TfrmFiltroHistOpBem *d = ScreenFixture::filterDialog();
    for (QString *s : d->criteriaSent()) s->clear();
    for (int i : {1, 3, 5, 7, 9, 12, 14, 16, 18, 20, 22}) *d->criteriaSent()[i] = "T";
    *d->criteriaSent()[10] = "_1_2_3_";
    f->depDtInicial->SetDate(QDate(2024, 1, 1));
    f->depDtFinal->SetDate(QDate(2024, 1, 10));
    f->stDtGeral.clear();
    QVERIFY(host::dispatch([f] { f->CarregaHistorico(); }));
    TClientDataSet *h = f->cdsHistoricoBem;
    QVERIFY(h->RecordCount() >= 3);
    const QVector<QDateTime> acq = {QDateTime(QDate(2020, 3, 4), QTime(0, 0), Qt::UTC),   // has a value
                                    QDateTime(QDate(2020, 3, 7), QTime(0, 0), Qt::UTC),   // a Saturday: none
                                    QDateTime(QDate(2020, 3, 2), QTime(0, 0), Qt::UTC)};  // value zero
    for (int i = 0; i < 3; ++i) {
        h->SetRecNo(i);
        h->Edit();
        h->FieldByName("DTAQUIBEMATIVO")->SetAsDateTime(acq[i]);
        h->Post();
    }
    const double vr0 = h->valueAt(0, h->FieldByName("VROPERABEM")->Index()).toDouble();
    bool naoConv = false;
    QVERIFY(host::dispatch([&] { naoConv = ConverteValoresHistorico(f); }));
    QVERIFY(naoConv);
    QCOMPARE(h->RecNo(), h->RecordCount() - 1);
    QCOMPARE(h->State(), TDataSetState::Browse);
    const int ok = h->FieldByName("IDINDFINOK")->Index(), vr2 = h->FieldByName("VROPERABEM2")->Index();
    QCOMPARE(h->valueAt(0, ok).toString(), QString("S"));
    QVERIFY(h->valueAt(0, vr2).toDouble() < vr0);
    QCOMPARE(h->valueAt(1, ok).toString(), QString("N"));
    QCOMPARE(h->valueAt(2, ok).toString(), QString("N"));
    QVERIFY(!f->dbgPadrao->isColumnHidden(0));
    h->SetRecNo(1);
    const double vr1 = h->FieldByName("VROPERABEM")->AsFloat();
    QCOMPARE(h->FieldByName("VROPERABEM2")->AsFloat(), vr1);
    QCOMPARE(h->FieldByName("VROPERABEM2")->DisplayText(), FormatFloat(" ###,##0.00", vr1));
    h->SetRecNo(0);
    QVERIFY(h->FieldByName("VROPERABEM2")->DisplayText().startsWith("CDI "));
    // Without an index every row keeps its values, unmarked, the column hidden.
    f->edtSgIndice->clear();
    QVERIFY(!ConverteValoresHistorico(f));
    QVERIFY(f->dbgPadrao->isColumnHidden(0));
    QCOMPARE(h->valueAt(0, vr2).toDouble(), vr0);
}

void TstScreen::codedTexts()
{
    TfrmHistoricoBem *f = screen();
    wire::DataPacket p;
    for (TField *fl : f->cdsEspecOper->Fields())
        p.fields.push_back({fl->FieldName(), fl->Kind() == TFieldKind::DateTime ? wire::FieldKind::DateTime : wire::FieldKind::String, fl->Size()});
    p.rows = {{"1", "1", "000002", "Valor residual", "Vl", "02", QVariant(), "  12,5  ", QVariant(), QVariant()},
              {"1", "1", "000003", "Série", "Nr", "03", QVariant(), QVariant(), "SN-1", QVariant()},
              {"1", "1", "000001", "Garantia", "G", "01", 45000.0 + 30.0 / 86400, QVariant(), QVariant(), QVariant()},
              {"1", "1", "000009", "Outro", "O", "7", QVariant(), QVariant(), QVariant(), QVariant()}};
    f->cdsEspecOper->LoadFromPacket(p);
    TClientDataSet *e = f->cdsEspecOper;
    const QStringList kinds = {"Valor", "Texto", "Data", ""};
    const QStringList values = {"12,5", "SN-1", "15/03/2023 00:00:30", ""};
    for (int i = 0; i < 4; ++i) {
        e->SetRecNo(i);
        QCOMPARE(e->FieldByName("IDESPECIFICABEM")->DisplayText(), kinds[i]);
        QCOMPARE(e->FieldByName("VALOR")->DisplayText(), values[i]);
    }
    // Debit and credit of the accounting entries, each its own word.
    wire::DataPacket lanc;
    for (TField *fl : f->cdsCTBLOper->Fields())
        lanc.fields.push_back({fl->FieldName(), fl->Kind() == TFieldKind::Float ? wire::FieldKind::Float : wire::FieldKind::String, fl->Size()});
    wire::Row debito(lanc.fields.size()), credito(lanc.fields.size()), outro(lanc.fields.size());
    const int dc = f->cdsCTBLOper->FieldByName("IDTIPOOPERCONT")->Index();
    debito[dc] = "D";
    credito[dc] = "C";
    outro[dc] = "X";
    lanc.rows = {debito, credito, outro};
    f->cdsCTBLOper->LoadFromPacket(lanc);
    const QStringList sides = {"Débito", "Crédito", ""};
    for (int i = 0; i < 3; ++i) {
        f->cdsCTBLOper->SetRecNo(i);
        QCOMPARE(f->cdsCTBLOper->FieldByName("IDTIPOOPERCONT")->DisplayText(), sides[i]);
    }
    e->SetRecNo(1);
    e->Edit();
    e->FieldByName("IDESPECIFICABEM")->SetText("Valor");
    e->FieldByName("VALOR")->SetText("1.234,5");
    e->Post();
    QCOMPARE(e->FieldByName("VRESPECITCAPAOP")->AsString(), QString("1234,5"));
    QVERIFY(e->FieldByName("DSESPECITCAPAOP")->IsNull());
    e->Edit();
    QVERIFY(!host::dispatch([e] { e->FieldByName("VALOR")->SetText("abc"); }));
    QCOMPARE(e->FieldByName("VRESPECITCAPAOP")->AsString(), QString("1234,5"));
    e->Cancel();
}

TfrmHistoricoBem *TstScreen::recordedScreen()
{
    if (!m_recServer) {
        QVector<QPair<QString, QVector<wire::ArgKind>>> methods;
        for (const auto &m : trq01300::methodTable()) methods.push_back({m.name, m.args});
        m_recServer = std::make_unique<appsrv::ServerThread>(appsrv::Config{Vantiro::Database()}, [this, methods](appsrv::Server &s) {
            s.registerObject("Trq01300.rdmHistoricoBem", [this, methods] { return std::make_unique<RecordingObject>(&m_rec, methods); });
        });
        QString why;
        if (!m_recServer->start(&why)) return nullptr;
    }
    if (boIdCriado) frmHistoricoBem->close();
    Vantiro::SetWebPort(m_recServer->port());
    TfrmHistoricoBem *f = screen();
    Vantiro::SetWebPort(m_server->port());
    if (f) {
        m_rec.answer("GetEspecOper", packetOf(f->cdsEspecOper));
        m_rec.answer("GetCTBLOper", packetOf(f->cdsCTBLOper));
    }
    m_rec.clear();
    return f;
}

void TstScreen::loadHistory(TfrmHistoricoBem *f, const QVector<wire::Row> &rows) { ScreenFixture::loadHistory(f, rows); }

namespace {
wire::DataPacket indexValues(const TClientDataSet *table, QVector<double> values)
{
    return ScreenFixture::indexValues(table, values);
}
}  // namespace

void TstScreen::indexLookupSendsExactArguments()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    StCDIndice.clear();
    StTpIndice.clear();
    wire::DataPacket cat = packetOf(f->adqIndiceFin);
    cat.rows << wire::Row{"IGPM", "Preços", "2", "0002", "M"};
    m_rec.answer("getIndiceFin", cat);
    f->edtSgIndice->setText("IGPM");
    QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    m_sp.rowAnswers = {0};
    f->btpIndFin->Pesquisar();
    f->edtSgIndice->setText("XYZ");
    QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    const auto calls = m_rec.calls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[0].args, QStringList({"IGPM", "", "T"}));
    QCOMPARE(calls[1].args, QStringList({"", "T", "T"}));
    QCOMPARE(calls[2].args, QStringList({"XYZ", "", "T"}));  // every kind, whatever was chosen before
    // The box keeps the text as typed; the picked list shows the type as a word.
    QCOMPARE(f->edtSgIndice->text(), QString("XYZ"));
    QCOMPARE(f->adqIndiceFin->FieldByName("CDTPINDICE")->DisplayText(), QString("Mensal"));
    // An empty box asks nothing.
    f->edtSgIndice->clear();
    QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    QCOMPARE(m_rec.calls().size(), 3);
}

void TstScreen::anIndexOfAnotherKindIsFound()
{
    // The real server: a monthly index chosen, then a daily one typed.
    if (boIdCriado) frmHistoricoBem->close();
    QTRY_VERIFY(!boIdCriado);
    TfrmHistoricoBem *f = screen();
    QVERIFY(f);
    StCDIndice.clear();
    StTpIndice.clear();
    for (const auto &[sigla, codigo, tipo] : {std::tuple{"IGPM", "0002", "2"}, std::tuple{"CDI", "0001", "1"}, std::tuple{"IGPM", "0002", "2"}}) {
        f->edtSgIndice->setText(sigla);
        QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
        QCOMPARE(m_sp.texts("error"), QStringList());
        QCOMPARE(StCDIndice, QString(codigo));
        QCOMPARE(StTpIndice, QString(tipo));
    }
}

void TstScreen::conversionAsksTheRightDates_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("acquisition");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("args");
    const double mar4 = wire::toOleDate(QDate(2020, 3, 4));
    QTest::newRow("daily") << "1" << QVariant(mar4) << "getIndFin" << QStringList({"ref:0001", "04/03/2020"});
    QTest::newRow("monthly") << "2" << QVariant(mar4) << "getIndFinMes" << QStringList({"ref:0001", "01/03/2020", "31/03/2020"});
    QTest::newRow("daily, no acquisition date") << "1" << QVariant() << "getIndFin" << QStringList({"ref:0001", "30/12/1899"});
    QTest::newRow("monthly, no acquisition date") << "2" << QVariant() << "getIndFinMes"
                                                  << QStringList({"ref:0001", "01/12/1899", "31/12/1899"});
    QTest::newRow("foreign type") << "3" << QVariant(mar4) << "" << QStringList();
}

void TstScreen::conversionAsksTheRightDates()
{
    QFETCH(QString, type);
    QFETCH(QVariant, acquisition);
    QFETCH(QString, method);
    QFETCH(QStringList, args);
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    StCDIndice = "0001";
    StTpIndice = type;
    f->edtSgIndice->setText("IDX");
    m_rec.answer("getIndFin", indexValues(f->adqIndFin, {4.0, 8.0}));  // only the first value counts
    m_rec.answer("getIndFinMes", indexValues(f->adqIndFinMes, {4.0}));
    loadHistory(f, {{"1", "B1", "10", "1", acquisition, 100.0}});
    m_rec.clear();
    QVERIFY(host::dispatch([f] { f->Converte_Valores(); }));
    QStringList indexCalls;
    RecordedCall call;
    for (const RecordedCall &c : m_rec.calls())
        if (c.method.startsWith("getInd")) { indexCalls << c.method; call = c; }
    TClientDataSet *h = f->cdsHistoricoBem;
    if (method.isEmpty()) {
        QVERIFY(indexCalls.isEmpty());
        QCOMPARE(h->FieldByName("IDINDFINOK")->AsString(), QString("X"));  // left as loaded
        QCOMPARE(h->FieldByName("VROPERABEM2")->AsFloat(), 1.0);
        QVERIFY(!f->dbgPadrao->isColumnHidden(0));
        return;
    }
    QCOMPARE(indexCalls, QStringList({method}));
    QCOMPARE(call.args, args);
    QCOMPARE(h->FieldByName("IDINDFINOK")->AsString(), QString("S"));
    QCOMPARE(h->FieldByName("VROPERABEM2")->AsFloat(), 25.0);
    QCOMPARE(h->FieldByName("VRJADEPROPEBEM2")->AsFloat(), 12.5);
    QCOMPARE(h->FieldByName("VROPERABEM2")->DisplayText(), QString("IDX 25,00"));
}

void TstScreen::manyDatesConvertedByOneCallAsByACallEach_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("type");
    QTest::newRow("daily index") << "0001" << "1";
    QTest::newRow("monthly index, months without a value") << "0004" << "2";
    // Several values in each month: the month's first is the one a call per month gives.
    QTest::newRow("daily values asked by month") << "0001" << "2";
}

void TstScreen::manyDatesConvertedByOneCallAsByACallEach()
{
    QFETCH(QString, code);
    QFETCH(QString, type);
    if (boIdCriado) frmHistoricoBem->close();  // a screen on the real server
    TfrmHistoricoBem *f = screen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    frmFiltroHistOpBem ? void() : void(CriaFiltroHistOpBem);
    TfrmFiltroHistOpBem *d = ScreenFixture::filterDialog();
    for (QString *c : d->criteriaSent()) c->clear();
    for (int i : {1, 3, 5, 7, 9, 12, 14, 16, 18, 20, 22}) *d->criteriaSent()[i] = "T";
    *d->criteriaSent()[10] = "_1_2_3_";
    f->stDtGeral = "T";
    m_sp.clear();
    QVERIFY2(host::dispatch([f] { f->CarregaHistorico(); }), qPrintable(m_sp.shown.isEmpty() ? "" : m_sp.shown.last().text));
    TClientDataSet *h = f->cdsHistoricoBem;
    QVERIFY(h->RecordCount() > 100);
    // Besides the demo's acquisition dates: none at all, a Saturday, a day
    // whose value is zero, and days before and after any value.
    const int aq = h->FieldByName("DTAQUIBEMATIVO")->Index();
    const QVector<QVariant> edges = {QVariant(), wire::toOleDate(QDate(2020, 3, 7)), wire::toOleDate(QDate(2020, 3, 2)),
                                     wire::toOleDate(QDate(1990, 1, 15)), wire::toOleDate(QDate(2040, 6, 1))};
    for (int i = 0; i < edges.size(); ++i) {
        h->SetRecNo(i * 7);
        h->Edit();
        h->Fields()[aq]->SetValue(edges[i]);
        h->Post();
    }
    StCDIndice = code;
    StTpIndice = type;
    f->edtSgIndice->setText("IDX");
    const auto converted = [&](int fromDates, int *calls) {
        f->DatasParaIndiceDoPeriodo = fromDates;
        const int before = f->netHistoricoBem->CallCount();
        bool naoConv = false;
        if (!host::dispatch([&] { naoConv = ConverteValoresHistorico(f); })) return QStringList();
        *calls = f->netHistoricoBem->CallCount() - before;
        QStringList rows;
        for (int r = 0; r < h->RecordCount(); ++r) {
            QStringList cells;
            for (const char *n : {"IDINDFINOK", "VROPERABEM2", "VRJADEPROPEBEM2", "VRFALDEPROPEBEM2"})
                cells << h->valueAt(r, h->FieldByName(n)->Index()).toString();
            rows << cells.join('|');
        }
        rows << (naoConv ? "some not converted" : "all converted");
        return rows;
    };
    int callsEach = 0, callsOne = 0;
    const QStringList each = converted(std::numeric_limits<int>::max(), &callsEach);
    const QStringList one = converted(16, &callsOne);
    QVERIFY(each.size() > 100);
    QCOMPARE(one, each);
    // Beside the index calls, the current row's two detail calls once the walk ends.
    QVERIFY2(callsEach > 20 + 2, qPrintable(QString::number(callsEach)));
    QCOMPARE(callsOne, 1 + 2);
    // Both marks occur: the comparison is not of rows all alike.
    QVERIFY(each.filter(QRegularExpression("^S\\|")).size() > 10);
    QVERIFY(each.filter(QRegularExpression("^N\\|")).size() >= 3);
}

void TstScreen::rangeCallFailingFallsBackToACallPerDate()
{
    // The range's call failing (a server without the values, a database
    // error), each date is asked on its own: the outcome is the one it always was.
    m_rec.reset();
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    StCDIndice = "0001";
    StTpIndice = "1";
    f->edtSgIndice->setText("CDI");
    f->DatasParaIndiceDoPeriodo = 3;
    m_rec.refuse("getIndFinMes", wire::ErrorCode::Database, "Erro no banco de dados. (ref. 0000abcd)");
    m_rec.answer("getIndFin", indexValues(f->adqIndFin, {2.0}));
    const auto day = [](int d) { return wire::toOleDate(QDate(2021, 5, d)); };
    loadHistory(f, {{"1", "A", "1", "1", day(3), 10.0}, {"2", "B", "1", "2", day(4), 20.0}, {"3", "C", "2", "1", day(5), 30.0}});
    m_rec.clear();
    m_sp.clear();
    QVERIFY(host::dispatch([f] { f->Converte_Valores(); }));
    QStringList calls;
    for (const RecordedCall &c : m_rec.calls())
        if (c.method.startsWith("getInd")) calls << c.method + " " + c.args.join(' ');
    QCOMPARE(calls, QStringList({"getIndFinMes ref:0001 03/05/2021 05/05/2021", "getIndFin ref:0001 03/05/2021",
                                 "getIndFin ref:0001 04/05/2021", "getIndFin ref:0001 05/05/2021"}));
    TClientDataSet *h = f->cdsHistoricoBem;
    for (int r = 0; r < 3; ++r) QCOMPARE(h->valueAt(r, h->FieldByName("IDINDFINOK")->Index()).toString(), QString("S"));
    QCOMPARE(h->valueAt(2, h->FieldByName("VROPERABEM2")->Index()).toDouble(), 15.0);
    QVERIFY(m_sp.shown.isEmpty());  // the failed range call says nothing of its own
    m_rec.refuse("getIndFinMes", wire::ErrorCode::None, {});
}

void TstScreen::dialogConversionWarnsOnce()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    QVERIFY(ScreenFixture::filterDialog());
    StCDIndice = "0001";
    StTpIndice = "1";
    f->edtSgIndice->setText("CDI");
    // Values for the first and third rows; none for the second; zero for the fourth.
    m_rec.answerSequence("getIndFin", {indexValues(f->adqIndFin, {2.0}), indexValues(f->adqIndFin, {}),
                                       indexValues(f->adqIndFin, {5.0}), indexValues(f->adqIndFin, {0.0})});
    const auto day = [](int d) { return wire::toOleDate(QDate(2021, 5, d)); };
    loadHistory(f, {{"1", "A", "1", "1", day(3), 10.0}, {"2", "B", "1", "2", day(4), 20.0},
                    {"3", "C", "2", "1", day(5), 30.0}, {"4", "D", "2", "2", day(6), 40.0}});
    m_sp.clear();
    QVERIFY(host::dispatch([] { frmFiltroHistOpBem->Converte_Valores(); }));
    QCOMPARE(m_sp.texts("warning"),
             QStringList({"Alguns bens não tiveram seus valores convertidos. O Índice Financeiro selecionado não possui "
                          "valor de conversão para a data de aquisição dos mesmos.  Estes bens podem ser verificados na "
                          "coluna \"OK\"."}));
    TClientDataSet *h = f->cdsHistoricoBem;
    const int ok = h->FieldByName("IDINDFINOK")->Index(), vr2 = h->FieldByName("VROPERABEM2")->Index();
    QCOMPARE(h->valueAt(0, ok).toString() + h->valueAt(1, ok).toString() + h->valueAt(2, ok).toString() +
                 h->valueAt(3, ok).toString(), QString("SNSN"));
    QCOMPARE(h->valueAt(1, vr2).toDouble(), 20.0);
    QCOMPARE(h->valueAt(2, vr2).toDouble(), 6.0);
    QCOMPARE(h->valueAt(3, vr2).toDouble(), 40.0);  // zero never divides
    // The screen's own variant never warns; without an index nobody warns.
    m_sp.clear();
    m_rec.answerSequence("getIndFin", {indexValues(f->adqIndFin, {})});
    QVERIFY(host::dispatch([f] { f->Converte_Valores(); }));
    f->edtSgIndice->clear();
    QVERIFY(host::dispatch([] { frmFiltroHistOpBem->Converte_Valores(); }));
    QVERIFY(m_sp.texts("warning").isEmpty());
}

void TstScreen::rowChangeLoadsDetailsOfNewRow()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    loadHistory(f, {{"11", "BEM-A", "100", "1", QVariant(), 1.0}, {"12", "BEM-B", "101", "2", QVariant(), 2.0}});
    m_rec.clear();
    f->dbgPadrao->setCurrentIndex(f->dbgPadrao->dataModel()->index(1, 2));
    const auto calls = m_rec.calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].method, QString("GetEspecOper"));
    QCOMPARE(calls[0].args, QStringList({"01", "R", "12", "BEM-B"}));
    QCOMPARE(calls[1].method, QString("GetCTBLOper"));
    QCOMPARE(calls[1].args, QStringList({"01", "101", "2", "R"}));
}

void TstScreen::filterCommandsAndPages()
{
    TfrmHistoricoBem *f = screen();
    // An empty company stops the filter command before the dialog.
    f->medCdEmpresa->clear();
    m_sp.clear();
    f->sbtFiltro->setEnabled(true);
    f->sbtFiltro->click();
    QCOMPARE(m_sp.texts("error"), QStringList({"Empresa deve ser informada."}));
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);
    // The page items switch pages and their checks.
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->mnuFormulario->trigger();
    QCOMPARE(f->pgcPadrao->ActivePage(), f->tshDadosComp);
    QVERIFY(f->mnuFormulario->isChecked());
    QVERIFY(!f->mnuFolhaDados->isChecked());
    f->mnuFolhaDados->trigger();
    QCOMPARE(f->pgcPadrao->ActivePage(), f->tshPadrao);
    QCOMPARE(f->dtsPadrao->DataSet(), f->cdsHistoricoBem);
    QVERIFY(f->mnuFolhaDados->isChecked());
}

void TstScreen::dialogKeepsItsStateBetweenOpenings()
{
    screen();
    QPointer<TfrmFiltroHistOpBem> first;
    QTimer::singleShot(0, [&] {
        first = frmFiltroHistOpBem;
        frmFiltroHistOpBem->findChild<QCheckBox *>("ckbCancela")->click();
        frmFiltroHistOpBem->findChild<QRadioButton *>("rbtLsBem")->click();
        frmFiltroHistOpBem->sbtCancel->click();
    });
    CriaFiltroHistOpBem();
    QVERIFY(first);
    QCOMPARE(first->stSituacao, QString("_1_3_"));
    bool same = false, kept = false;
    QTimer::singleShot(0, [&] {
        same = frmFiltroHistOpBem == first;
        kept = frmFiltroHistOpBem->findChild<QRadioButton *>("rbtLsBem")->isChecked() &&
               frmFiltroHistOpBem->findChild<QToolButton *>("btpBem")->isEnabled();
        frmFiltroHistOpBem->close();
    });
    CriaFiltroHistOpBem();
    QVERIFY(same);
    QVERIFY(kept);
    QVERIFY(!first->isVisible());
    first->findChild<QRadioButton *>("rbtTdBem")->click();
}

void TstScreen::markDrawnOnlyInMarkColumn()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}, {"2", "B", "1", "2", QVariant(), 2.0}});
    TClientDataSet *h = f->cdsHistoricoBem;
    h->First();
    h->Edit();
    h->FieldByName("IDINDFINOK")->SetAsString("S");
    h->Post();
    QImage img(40, 40, QImage::Format_ARGB32);
    auto paint = [&](int row, int col) {
        img.fill(Qt::white);
        QPainter p(&img);
        f->dbgPadraoDrawColumnCell(&p, QRect(0, 0, 30, 20), row, col);
    };
    paint(0, 0);
    QCOMPARE(img.pixelColor(2, 1), QColor(Qt::white));       // olive corner: transparent
    QCOMPARE(img.pixelColor(4, 1), QColor(0, 0, 0x80));      // dark blue border of the converted mark
    paint(1, 0);
    QCOMPARE(img.pixelColor(4, 1), QColor(Qt::black));       // black border of the other mark
    paint(0, 1);
    QCOMPARE(img.pixelColor(4, 1), QColor(Qt::white));       // other columns: nothing drawn
    h->Close();
    paint(0, 0);
    QCOMPARE(img.pixelColor(4, 1), QColor(Qt::white));
}

void TstScreen::codeWordsAndSetters_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("word");
    // Every code of each table, so that two swapped codes fail.
    QTest::newRow("situation 1") << "IDSITOPERABEM" << "1" << "Não Contabilizada";
    QTest::newRow("situation 2") << "IDSITOPERABEM" << "2" << "Contabilizada";
    QTest::newRow("situation 3") << "IDSITOPERABEM" << "3" << "Cancelada";
    QTest::newRow("situation 4") << "IDSITOPERABEM" << "4" << "";
    QTest::newRow("situation empty") << "IDSITOPERABEM" << "" << "";
    const char *kinds[] = {"Imobilização", "Depreciação", "Transfência Física", "Baixa por Venda", "Baixas Diversas",
                           "Reavaliação", "Suspenção da Depreciação", "Retorno da Depreciação", "Transferência Contábil"};
    for (int k = 0; k < 9; ++k)
        QTest::addRow("kind 0%d", k + 1) << "IDIDENTOPERABEM" << QString("0%1").arg(k + 1) << QString::fromUtf8(kinds[k]);
    QTest::newRow("kind one digit") << "IDIDENTOPERABEM" << "7" << "";
    QTest::newRow("kind with blank") << "IDIDENTOPERABEM" << "01 " << "";
}

void TstScreen::codeWordsAndSetters()
{
    QFETCH(QString, field);
    QFETCH(QString, code);
    QFETCH(QString, word);
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    loadHistory(f, {{"1", "A", "1", "1", QVariant(), 1.0}});
    TClientDataSet *h = f->cdsHistoricoBem;
    TField *fl = h->FieldByName(field);
    h->Edit();
    fl->SetAsString(code);
    h->Post();
    QCOMPARE(fl->DisplayText(), word);
    QCOMPARE(fl->Text(), word);
    if (word.isEmpty()) return;
    // The setter takes back exactly the shown word, and nothing else.
    h->Edit();
    fl->SetAsString("x");
    fl->SetText(word);
    QCOMPARE(fl->AsString(), code);
    fl->SetText(word.toUpper());
    QCOMPARE(fl->AsString(), code);
    h->Post();
}


void TstScreen::periodFlagFollowsTheDates_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("flag");
    QTest::newRow("both dates") << QDate(2024, 1, 1) << QDate(2024, 1, 31) << "T" << "";
    QTest::newRow("neither") << QDate() << QDate() << "" << "T";
    QTest::newRow("start after end, not compared here") << QDate(2024, 2, 1) << QDate(2024, 1, 1) << "T" << "";
}

void TstScreen::periodFlagFollowsTheDates()
{
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(QString, before);
    QFETCH(QString, flag);
    TfrmHistoricoBem *f = screen();
    QVERIFY(f);
    f->depDtInicial->SetDate(start);
    f->depDtFinal->SetDate(end);
    f->stDtGeral = before;
    QVERIFY(host::dispatch([f] { f->vd_Data(true); }));
    QCOMPARE(m_sp.texts("error"), QStringList());
    QCOMPARE(f->stDtGeral, flag);
}

void TstScreen::companyPickedFromItsList()
{
    TfrmHistoricoBem *f = screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("01");
    f->edtNmEmpresa->setText("nome antigo");
    m_sp.rowAnswers = {1};  // the second company by code
    f->btnEmpresa->Pesquisar();
    QCOMPARE(m_sp.texts("pickRow"), QStringList({"Empresa"}));
    QCOMPARE(m_sp.shown.first().rows, 5);  // every company
    QCOMPARE(f->medCdEmpresa->Text(), QString("02"));
    QCOMPARE(f->edtNmEmpresa->text(), QString("Transportes Serra Azul S/A"));
    // Typing another code empties the name until the code is checked.
    f->medCdEmpresa->SetText("03");
    QCOMPARE(f->edtNmEmpresa->text(), QString());
}

void TstScreen::accountCodesShownByTheHostsPicture()
{
    const QString kept = Vantiro::DBPict(ptContCtbl);
    Vantiro::SetDBPict(ptContCtbl, "9.99.999.999;0;_");
    if (boIdCriado) frmHistoricoBem->close();
    TfrmHistoricoBem *f = screen();
    Vantiro::SetDBPict(ptContCtbl, kept);
    QVERIFY(f);
    TField *conta = f->cdsCTBLOper->FieldByName("CDCONTCTBL");
    QCOMPARE(conta->EditMask, QString("9.99.999.999;0;_"));
    wire::DataPacket p = packetOf(f->cdsCTBLOper);
    wire::Row r(p.fields.size());
    r[p.indexOf("CDCONTCTBL")] = "123010001";
    p.rows << r;
    f->cdsCTBLOper->LoadFromPacket(p);
    QCOMPARE(conta->DisplayText(), QString("1.23.010.001"));
}

void TstScreen::closingHangsUp()
{
    TfrmHistoricoBem *f = screen();
    QVERIFY(f);
    QVERIFY(f->netHistoricoBem->Connected());
    QTRY_VERIFY(establishedTo(m_server->port()) >= 1);
    QPointer<TfrmHistoricoBem> closing(f);
    f->close();
    // Hung up by the closing itself, not later by the screen's destruction.
    QVERIFY(closing);
    QVERIFY(!closing->netHistoricoBem->Connected());
    QTRY_COMPARE(establishedTo(m_server->port()), 0);
}

void TstScreen::failedSpecificationsKeepBothDetailTables()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    wire::DataPacket esp = packetOf(f->cdsEspecOper), ctb = packetOf(f->cdsCTBLOper);
    wire::Row e(esp.fields.size()), c(ctb.fields.size());
    e[esp.indexOf("NMESPECIFICABEM")] = "Data da garantia";
    c[ctb.indexOf("CDCONTCTBL")] = "123010001";
    esp.rows << e;
    ctb.rows << c;
    m_rec.answer("GetEspecOper", esp);
    m_rec.answer("GetCTBLOper", ctb);
    loadHistory(f, {{"11", "BEM-A", "100", "1", QVariant(), 1.0}, {"12", "BEM-B", "101", "2", QVariant(), 2.0}});
    QCOMPARE(f->cdsEspecOper->RecordCount(), 1);
    QCOMPARE(f->cdsCTBLOper->RecordCount(), 1);
    wire::DataPacket broken;  // refused when loaded
    broken.fields = {{"X", wire::FieldKind::String, 1}};
    m_rec.answer("GetEspecOper", broken);
    m_rec.answer("GetCTBLOper", packetOf(f->cdsCTBLOper));  // empty: would show if asked
    m_rec.clear();
    m_sp.clear();
    f->dbgPadrao->setCurrentIndex(f->dbgPadrao->dataModel()->index(1, 2));
    QCOMPARE(m_rec.methods(), QStringList({"GetEspecOper"}));
    QCOMPARE(m_sp.texts("error").size(), 1);
    QCOMPARE(f->cdsEspecOper->RecordCount(), 1);
    QCOMPARE(f->cdsEspecOper->FieldByName("NMESPECIFICABEM")->AsString(), QString("Data da garantia"));
    QCOMPARE(f->cdsCTBLOper->RecordCount(), 1);
    QCOMPARE(f->cdsCTBLOper->FieldByName("CDCONTCTBL")->AsString(), QString("123010001"));
}

void TstScreen::failedRequeryKeepsTheRowsUnconverted()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    f->stDtGeral = "T";
    ScreenFixture::filterDialog();
    loadHistory(f, {{"11", "BEM-A", "100", "1", QVariant(), 1.0}, {"12", "BEM-B", "101", "2", QVariant(), 2.0}});
    f->pgcPadrao->SetActivePage(f->tshPadrao);
    wire::DataPacket broken;
    broken.fields = {{"X", wire::FieldKind::String, 1}};
    m_rec.answer("GetHistoricoOpBem", broken);
    m_rec.clear();
    m_sp.clear();
    f->sbtVerificar->setEnabled(true);
    f->sbtVerificar->click();
    QCOMPARE(m_rec.methods(), QStringList({"GetHistoricoOpBem"}));
    QCOMPARE(m_sp.texts("error").size(), 1);
    TClientDataSet *h = f->cdsHistoricoBem;
    QCOMPARE(h->RecordCount(), 2);
    // The conversion would have marked every row "N" (no index chosen).
    for (int r = 0; r < 2; ++r) QCOMPARE(h->valueAt(r, h->FieldByName("IDINDFINOK")->Index()).toString(), QString("X"));
}

void TstScreen::filterCommandLeavesTheScreenAsItWas()
{
    TfrmHistoricoBem *f = recordedScreen();
    QVERIFY(f);
    f->medCdEmpresa->SetText("01");
    QVERIFY(host::dispatch([f] { f->vd_Empresa(true); }));
    loadHistory(f, {{"11", "BEM-A", "100", "1", QVariant(), 1.0}});
    f->pgcPadrao->SetPageEnabled(f->tshDadosComp, true);
    f->pgcPadrao->SetActivePage(f->tshDadosComp);
    f->dtsPadrao->SetDataSet(f->cdsCTBLOper);
    f->sbtProcurar->setEnabled(false);
    f->sbtVerificar->setEnabled(true);
    f->sbtFiltro->setEnabled(true);
    ScreenFixture::cancelFilterWhenShown();
    m_rec.clear();
    f->sbtFiltro->click();
    QCOMPARE(m_rec.calls().size(), 0);
    QCOMPARE(f->pgcPadrao->ActivePage(), f->tshDadosComp);
    QVERIFY(f->pgcPadrao->PageEnabled(f->tshDadosComp));
    QCOMPARE(f->dtsPadrao->DataSet(), f->cdsCTBLOper);
    QVERIFY(!f->sbtProcurar->isEnabled());
    QVERIFY(f->sbtVerificar->isEnabled());
    QVERIFY(f->sbtFiltro->isEnabled());
    QCOMPARE(f->cdsHistoricoBem->RecordCount(), 1);
}

void TstScreen::helpOpensTheScreensPage()
{
    TfrmHistoricoBem *f = screen();
    QVERIFY(f);
    f->medCdEmpresa->setFocus();
    m_sp.clear();
    QTest::keyClick(f->medCdEmpresa, Qt::Key_F1);
    f->sbtAjuda->click();
    QCOMPARE(m_sp.texts("help"), QStringList({"Ajuda — Histórico de Operações do Bem", "Ajuda — Histórico de Operações do Bem"}));
    // The page the package ships: what the screen is, the criteria, the
    // conversion, export, saved options, the keys and the index-type rule.
    for (const char *part : {"<h2>Histórico de Operações do Bem (TRQ01300)</h2>", "<b>Todos</b>", "<b>Lista</b>",
                             "<b>Ok</b>", "Exportar", "<b>Opções salvas</b>", "Ctrl+L", "F5", "não cadastrado"})
        QVERIFY2(m_sp.lastHelp.contains(QString::fromUtf8(part)), part);
    QCOMPARE(QApplication::focusWidget(), f->medCdEmpresa);  // no exit ran: the header is still being edited
    QCOMPARE(m_sp.texts("warning"), QStringList());
}

QTEST_MAIN(TstScreen)
#include "tst_screen.moc"
