// The history screen driven offscreen against the real server object over loopback.
#include "Cli_trq01300.h"
#include "Cli_trq01301.h"
#include "module.h"

#include "adoibquery.h"
#include "appserver.h"
#include "dateeditplus.h"
#include "dbgrid.h"
#include "generator.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "prompter.h"
#include "vantiro.h"

#include <QLineEdit>
#include <QTimer>
#include "btnpesquisa.h"
#include "consiste.h"
#include "dispatch.h"
#include <QTemporaryDir>
#include <QTest>
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
private:
    TfrmHistoricoBem *screen();
    QTemporaryDir m_dir;
    std::unique_ptr<appsrv::ServerThread> m_server;
    host::ScriptedPrompter m_sp;
};

void TstScreen::initTestCase()
{
    const QString file = m_dir.filePath("demo.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "gen");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        demo::generate(db, {});
    }
    QSqlDatabase::removeDatabase("gen");
    Vantiro::SetDatabase("sqlite:" + file);
    host::openSharedDatabase(Vantiro::Database());
    appsrv::Config cfg;
    cfg.database = Vantiro::Database();
    m_server = std::make_unique<appsrv::ServerThread>(cfg);
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
    // A monthly index is not found while a daily one is selected.
    f->edtSgIndice->setText("IGPM");
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
    if (!frmFiltroHistOpBem) {
        QTimer::singleShot(0, [] { frmFiltroHistOpBem->sbtCancel->click(); });
        CriaFiltroHistOpBem();
    }
    TfrmFiltroHistOpBem *d = frmFiltroHistOpBem;
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

QTEST_MAIN(TstScreen)
#include "tst_screen.moc"
