#include "screenfixture.h"
#include "standardobjects.h"

#include <QDeadlineTimer>
#include "testguards.h"
#include "module.h"

#include "adoibquery.h"
#include "dateeditplus.h"
#include "dbgrid.h"
#include "maskedit.h"
#include "application.h"
#include "dbconnect.h"
#include "generator.h"
#include "trq01300_methods.h"
#include "vantiro.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QMdiSubWindow>
#include <QToolButton>
#include <QTest>
#include <QTimer>

using namespace trq01300;

bool ScreenFixture::setUp(QString *why, const QString &databaseUrl)
{
    isolateSettings();
    const QString url = databaseUrl.isEmpty() ? "sqlite:" + m_dir.filePath("demo.db") : databaseUrl;
    demo::generate(dbconnect::open(url, "gen", dbconnect::Mode::Create), {});
    dbconnect::close("gen");
    Vantiro::SetDatabase(url);
    host::openSharedDatabase(url);
    appsrv::Config cfg;
    cfg.database = url;
    m_server = std::make_unique<appsrv::ServerThread>(cfg, appsrv::registerStandardObjects);
    if (!m_server->start(why)) return false;
    QVector<QPair<QString, QVector<wire::ArgKind>>> methods;
    for (const auto &m : methodTable()) methods.push_back({m.name, m.args});
    m_recServer = std::make_unique<appsrv::ServerThread>(cfg, [this, methods](appsrv::Server &s) {
        s.registerObject("Trq01300.rdmHistoricoBem", [this, methods] { return std::make_unique<RecordingObject>(&rec, methods); });
    });
    if (!m_recServer->start(why)) return false;
    Vantiro::SetWebURL("127.0.0.1");
    Vantiro::SetWebPort(m_server->port());
    main = std::make_unique<QMainWindow>();
    mdi = new QMdiArea(main.get());
    main->setCentralWidget(mdi);
    main->resize(1200, 760);
    TApplication::SetMainForm(main.get(), mdi);
    main->show();
    host::setPrompter(&sp);
    initializeUnits();
    return true;
}

void ScreenFixture::tearDown()
{
    finalizeUnits();
    host::setPrompter(nullptr);
    TApplication::SetMainForm(nullptr, nullptr);
    main.reset();
    host::closeSharedDatabase();
    if (m_recServer) m_recServer->stop();
    if (m_server) m_server->stop();
}

void ScreenFixture::reset()
{
    if (boIdCriado && frmHistoricoBem) frmHistoricoBem->CloseForm();
    QTRY_VERIFY(!boIdCriado);
    if (frmFiltroHistOpBem && frmFiltroHistOpBem->isVisible()) frmFiltroHistOpBem->close();
    QApplication::processEvents();
    sp.clear();
    sp.onShown = nullptr;
    rec.reset();
    StCDIndice.clear();
    StTpIndice.clear();
}

TfrmHistoricoBem *ScreenFixture::screen()
{
    CriaHistoricoBem();
    TfrmHistoricoBem *f = frmHistoricoBem;
    if (!f) return nullptr;
    main->activateWindow();
    if (!QTest::qWaitForWindowActive(main.get())) return nullptr;
    mdi->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(f->parentWidget()));
    QApplication::processEvents();
    return f;
}

bool ScreenFixture::backToMain()
{
    main->activateWindow();
    QDeadlineTimer deadline(2000);
    while (QApplication::activeWindow() != main.get() && !deadline.hasExpired()) QTest::qWait(5);
    return QApplication::activeWindow() == main.get();
}

TfrmHistoricoBem *ScreenFixture::recordedScreen()
{
    const int port = Vantiro::WebPort();
    Vantiro::SetWebPort(m_recServer->port());
    TfrmHistoricoBem *f = screen();
    Vantiro::SetWebPort(port);
    if (f) {
        rec.answer("GetEspecOper", packetOf(f->cdsEspecOper));
        rec.answer("GetCTBLOper", packetOf(f->cdsCTBLOper));
        rec.answer("GetHistoricoOpBem", packetOf(f->cdsHistoricoBem));
    }
    rec.clear();
    return f;
}

void ScreenFixture::cancelFilterWhenShown()
{
    QTimer::singleShot(0, [] {
        if (frmFiltroHistOpBem && frmFiltroHistOpBem->isVisible()) frmFiltroHistOpBem->sbtCancel->click();
    });
}

TfrmFiltroHistOpBem *ScreenFixture::filterDialog()
{
    if (!frmFiltroHistOpBem) {
        cancelFilterWhenShown();
        CriaFiltroHistOpBem();
    }
    return frmFiltroHistOpBem;
}

void ScreenFixture::filterDefaults()
{
    TfrmFiltroHistOpBem *d = frmFiltroHistOpBem;
    if (!d) return;
    for (QRadioButton *r : d->findChildren<QRadioButton *>())
        if (r->text() != "Lista") r->setChecked(true);
    d->findChild<QCheckBox *>("ckbNContabil")->setChecked(true);
    d->findChild<QCheckBox *>("ckbContabilizada")->setChecked(false);
    d->findChild<QCheckBox *>("ckbCancela")->setChecked(false);
    d->findChild<QLineEdit *>("medNumero")->clear();
    d->findChild<QLineEdit *>("medSerieNF")->clear();
    d->CriteriosPadrao();
    d->stlVariaveis.Lines.clear();
}

TfrmHistoricoBem *ScreenFixture::headerLeft(bool recorded)
{
    TfrmHistoricoBem *f = recorded ? recordedScreen() : screen();
    if (!f) return nullptr;
    f->medCdEmpresa->setFocus();
    f->medCdEmpresa->SetText("01");
    f->depDtInicial->SetDate({});
    f->depDtFinal->SetDate({});
    cancelFilterWhenShown();
    f->dbgPadrao->setFocus();
    rec.clear();
    sp.clear();
    return f;
}

void ScreenFixture::loadHistory(TfrmHistoricoBem *f, const QVector<wire::Row> &rows)
{
    wire::DataPacket p = packetOf(f->cdsHistoricoBem);
    for (const wire::Row &in : rows) {
        wire::Row r(p.fields.size());
        auto set = [&](const char *name, const QVariant &v) { r[p.indexOf(name)] = v; };
        set("NRSEQOPERABEM", in[0]);
        set("CDBEMATIVO", in[1]);
        set("NRSEQCAPAOPEBEM", in[2]);
        set("NRSEQITCAPAOPE", in[3]);
        set("DTAQUIBEMATIVO", in[4]);
        set("VROPERABEM", in[5]);
        set("VRJADEPROPEBEM", in[5].toDouble() / 2);
        set("VRFALDEPROPEBEM", in[5].toDouble() / 2);
        set("VROPERABEM2", 1.0);
        set("IDINDFINOK", "X");
        p.rows << r;
    }
    f->cdsHistoricoBem->LoadFromPacket(p);
}

wire::DataPacket ScreenFixture::indexValues(const TClientDataSet *table, const QVector<double> &values)
{
    wire::DataPacket p = packetOf(table);
    for (double v : values) {
        wire::Row r(p.fields.size());
        r[p.indexOf("VRINDICE")] = v;
        p.rows << r;
    }
    return p;
}
