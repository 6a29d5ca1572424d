#include "Cli_trq01300.h"
#include "Cli_trq01301.h"
#include "module.h"
#include "ui_Cli_trq01300.h"

#include "application.h"
#include "btnpesquisa.h"
#include "busy.h"
#include "codec.h"
#include "consiste.h"
#include "dateeditplus.h"
#include "dbcontrols.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "focustracker.h"
#include "maskedit.h"
#include "messages.h"
#include "pagecontrol.h"
#include "prompter.h"
#include "trq01300_layouts.h"
#include "trq01300_methods.h"
#include "vantiro.h"

#include <QAction>
#include <QBitmap>
#include <QMainWindow>
#include <QMenu>
#include <cmath>
#include <QPainter>
#include <QToolButton>

using namespace trq01300;
namespace layout = trq01300::layout;

namespace {

struct Code {
    const char *code;
    const char *key;
};
const Code kSituacao[] = {{"1", "N_CONTABIL"}, {"2", "CONTABIL"}, {"3", "CANCEL"}};
const Code kIdentOper[] = {{"01", "IMOBI"},         {"02", "DEPRECIA"},      {"03", "TRANS_FISI"},
                           {"04", "BAIXA_VENDA"},   {"05", "BAIXAS_DIV"},    {"06", "REAVAL"},
                           {"07", "SUSPE_DEPRECI"}, {"08", "RET_DEPRECI"},   {"09", "TRANS_CONT"}};
const Code kEspec[] = {{"01", "DATA"}, {"02", "VALOR"}, {"03", "TEXTO"}};
const Code kDebCred[] = {{"D", "DEBITO"}, {"C", "CREDITO"}};

template <size_t N>
QString codeText(const TMessages *m, const Code (&table)[N], const QString &value)
{
    for (const Code &c : table)
        if (value == QLatin1String(c.code)) return m->Msg(QLatin1String(c.key));
    return {};
}

template <size_t N>
void textCode(const TMessages *m, const Code (&table)[N], TField *f, const QString &text)
{
    for (const Code &c : table)
        if (text == m->Msg(QLatin1String(c.key))) {
            f->SetValue(QLatin1String(c.code));
            return;
        }
}

QPixmap markPicture(const QString &res)
{
    // Olive marks the pixels outside the drawing.
    QPixmap pm(res);
    pm.setMask(pm.createMaskFromColor(QColor(128, 128, 0)));
    return pm;
}

}  // namespace

TfrmHistoricoBem::TfrmHistoricoBem(QWidget *parent)
    : TfrmPadraoGrid(parent), ui(std::make_unique<Ui::frmHistoricoBem>())
{
    setObjectName(QStringLiteral("frmHistoricoBem"));
    setWindowTitle(QStringLiteral("Histórico de Operações do Bem"));
    auto *holder = new QWidget(this);
    holder->hide();
    ui->setupUi(holder);
    panEmpresa = ui->panEmpresa;
    medCdEmpresa = ui->medCdEmpresa;
    btnEmpresa = ui->btnEmpresa;
    edtNmEmpresa = ui->edtNmEmpresa;
    depDtInicial = ui->depDtInicial;
    depDtFinal = ui->depDtFinal;
    lblIndFin = ui->lblIndFin;
    edtSgIndice = ui->edtSgIndice;
    // Alt plus the underlined letter focuses each header box.
    ui->lblEmpresa->setText(QStringLiteral("&Empresa"));
    ui->lblEmpresa->setBuddy(medCdEmpresa);
    ui->lblPeriodo->setText(QStringLiteral("Perío&do"));
    ui->lblPeriodo->setBuddy(depDtInicial);
    lblIndFin->setText(QStringLiteral("Índice &Financeiro"));
    lblIndFin->setBuddy(edtSgIndice);
    btpIndFin = ui->btpIndFin;
    edtNmIndice = ui->edtNmIndice;
    tshDadosComp = ui->tshDadosComp;
    dbgEspecOper = ui->dbgEspecOper;
    dbgCTBLOper = ui->dbgCTBLOper;
    memObsOperacao = ui->memObsOperacao;
    imgConvertido = ui->imgConvertido;
    imgNaoConvertido = ui->imgNaoConvertido;
    imgConvertido->setParent(this);
    imgNaoConvertido->setParent(this);
    imgConvertido->setPixmap(markPicture(QStringLiteral(":/TRQ01300/imgConvertido.xpm")));
    imgNaoConvertido->setPixmap(markPicture(QStringLiteral(":/TRQ01300/imgNaoConvertido.xpm")));
    imgConvertido->hide();
    imgNaoConvertido->hide();

    headerArea()->addWidget(panEmpresa);
    panEmpresa->setStyleSheet(QStringLiteral("#panEmpresa { background: #f7f8fa; }"));
    medCdEmpresa->setStyleSheet(QStringLiteral("background: #ffffe1;"));
    medCdEmpresa->SetEditMask(QStringLiteral("!99;1; "));
    edtNmEmpresa->setFocusPolicy(Qt::NoFocus);
    edtNmIndice->setFocusPolicy(Qt::NoFocus);
    pgcPadrao->setTabText(0, QStringLiteral("Operações do Bem"));
    pgcPadrao->setAccessibleName(QStringLiteral("Páginas do Histórico"));
    dbgPadrao->setAccessibleName(QStringLiteral("Operações do Bem"));
    pgcPadrao->addTab(tshDadosComp, QStringLiteral("Dados Complementares"));
    pgcPadrao->SetPageEnabled(tshDadosComp, false);
    lblCodTela->setText(QStringLiteral("TRQ01300"));
    msgPadrao->LoadFromFile(QStringLiteral(":/TRQ01300/Cli_trq01300.msg"));

    sbtFiltro = addToolButton(QStringLiteral("sbtFiltro"), QStringLiteral("Filtrar"), QStringLiteral("Filtrar"),
                              QStyle::SP_FileDialogListView);
    mnuFolhaDados = mnuOperacao->addAction(QStringLiteral("Operações do Bem"));
    mnuFolhaDados->setObjectName(QStringLiteral("mnuFolhaDados"));
    mnuFolhaDados->setCheckable(true);
    mnuFolhaDados->setChecked(true);
    mnuFormulario = mnuOperacao->addAction(QStringLiteral("Dados Complementares"));
    mnuFormulario->setObjectName(QStringLiteral("mnuFormulario"));
    mnuFormulario->setCheckable(true);
    mnuOperacao->addSeparator();
    for (QAction *a : {mnuIncluir, mnuAlterar, mnuExcluir, mnuCancelar, mnuConfirmar}) a->setEnabled(false);
    mnuManutencao->addSeparator();
    Filtrar1 = mnuManutencao->addAction(QStringLiteral("Filtrar"));
    Filtrar1->setObjectName(QStringLiteral("Filtrar1"));
    Filtrar1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    Filtrar1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(Filtrar1);

    netHistoricoBem = new TNetConnection(this, QStringLiteral("netHistoricoBem"));
    netHistoricoBem->ServerName = QString::fromLatin1(kObjectName);
    netHistoricoBem->Host = QStringLiteral("servidor-nao-configurado");
    netHistoricoBem->ThrowException = false;

    // The header comes first: a new screen's focus lands in "Empresa", and Tab
    // from the index box goes on to the history grid, then the details.
    QWidget *order[] = {medCdEmpresa, depDtInicial, depDtFinal, edtSgIndice, dbgPadrao, dbgEspecOper, memObsOperacao, dbgCTBLOper};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    buildTables();
    buildGrids();
    wireHandlers();
    wireExport();
    buildTotals();
    wirePrint();
    resize(1060, 600);
}

TfrmHistoricoBem::~TfrmHistoricoBem() = default;

void TfrmHistoricoBem::buildTables()
{
    using K = TFieldKind;
    const char *money = "#,##0.00";
    cdsHistoricoBem = new TClientDataSet(this, QStringLiteral("cdsHistoricoBem"));
    cdsHistoricoBem->AddFields(layout::history());
    presentFields(cdsHistoricoBem, {
        {"IDSITOPERABEM", "Situação", false},
        {"NRSEQOPERABEM", "Nr.Operação", true},
        {"DTOPERABEM", "Data Operação", true},
        {"CDBEMATIVO", "Nr.Bem", true},
        {"NMBEMATIVO", "Nome do Bem", true},
        {"NMTIPOOPERBEM", "Tipo de Operação", true},
        {"IDIDENTOPERABEM", "Ident. Operação", true},
        {"NMMOTIVOOPER", "Motivo Operação", true},
        {"NMOPERADOR", "Responsável", true},
        {"NMFANTCLIE", "Cliente", true},
        {"NRNOTAFIOPERA", "Nr. Nota Fiscal", true},
        {"CDSERIENFOPERA", "Série NF", true},
        {"VROPERABEM", "Valor Operação", false, money},
        {"NMFILIAL", "Filial", true},
        {"NMCENTCUST", "Centro de Custo", true},
        {"CDBEMATIVCRIADO", "Nr. Bem Gerado", true},
        {"NMSETOR", "Setor", true},
        {"NMGRUPOBEM", "Grupo de Bem", true},
        {"QTMESDEPOPENOVO", "Vida Útil (meses)", true, money},
        {"VRTAXDEPOPENOVO", "Taxa Anual (%)", true, money},
        {"VRJADEPROPEBEM", "Dep. Acumulada", true, money},
        {"VRFALDEPROPEBEM", "Falta Depreciar", true, money},
        {"DTINCOPERABEM", "Data Inclusão", true},
        {"CDOPEINCOPERABE", "Operador Inclusão", false},
        {"NMOPERINC", "Operador Inclusão", true},
        {"DTATUOPERABEM", "Data Alteração", true},
        {"NMOPERATU", "Operador Alteração", true},
        {"CDOPEATUOPERABE", "Operador", true},
        {"DTCANOPERABEM", "Data Cancelamento", true},
        {"CDOPECANOPERABE", "Operador Cancelamento", false},
        {"NMOPERCAN", "Operador Cancelamento", true},
        {"VRFALDEPROPEBEM2", "Falta Depreciar", true, money},
        {"VRJADEPROPEBEM2", "Dep. Acumulada", true, money},
        {"VROPERABEM2", "Valor Operação", true, money},
        {"IDINDFINOK", "Ok", false},
    });

    cdsEspecOper = new TClientDataSet(this, QStringLiteral("cdsEspecOper"));
    cdsEspecOper->AddFields(layout::especOper());
    presentFields(cdsEspecOper, {{"CDESPECIFICABEM", "Código", true},
                                 {"NMESPECIFICABEM", "Nome", true},
                                 {"NMABREVESPECBEM", "Abreviado", true},
                                 {"IDESPECIFICABEM", "Especificação", true},
                                 {"VALOR", "Valor", true}});

    cdsCTBLOper = new TClientDataSet(this, QStringLiteral("cdsCTBLOper"));
    cdsCTBLOper->AddFields(layout::ctblOper());
    presentFields(cdsCTBLOper, {{"NRSEQCTBLITCAPA", "Ordem", true},
                                {"IDTIPOOPERCONT", "Débito/Crédito", true},
                                {"CDCONTCTBL", "Conta Contábil", true},
                                {"NMCONTCTBL", "Nome da Conta", true},
                                {"VRCONTCTBLITC", "Valor", true, money}});

    dtsHistoricoBem = new TDataSource(this, cdsHistoricoBem, QStringLiteral("dtsHistoricoBem"));
    dtsEspecOper = new TDataSource(this, cdsEspecOper, QStringLiteral("dtsEspecOper"));
    dtsCTBLOper = new TDataSource(this, cdsCTBLOper, QStringLiteral("dtsCTBLOper"));
    dtsPadrao->SetDataSet(cdsHistoricoBem);

    qryEmpresa = new TADOIBQuery(this, QStringLiteral("qryEmpresa"));
    qryEmpresa->SetSQL(QStringLiteral("SELECT CDEMPRESA, NMEMPRESA\nFROM EMPRESA\n"
                                      "WHERE ((CDEMPRESA = :P_CDEMPRESA) OR (:P_TCDEMPRESA = 'T'))\n"
                                      "ORDER BY CDEMPRESA"));
    qryEmpresa->AddField(QStringLiteral("CDEMPRESA"), K::String, 2, QStringLiteral("Código"));
    qryEmpresa->AddField(QStringLiteral("NMEMPRESA"), K::String, 50, QStringLiteral("Nome"));
    dtsEmpresa = new TDataSource(this, qryEmpresa, QStringLiteral("dtsEmpresa"));
    qryListaEmpresa = new TADOIBQuery(this, QStringLiteral("qryListaEmpresa"));
    qryListaEmpresa->SetSQL(QStringLiteral("SELECT CDEMPRESA, NMEMPRESA\nFROM EMPRESA\nORDER BY CDEMPRESA"));
    qryListaEmpresa->AddField(QStringLiteral("CDEMPRESA"), K::String, 2, QStringLiteral("Código"));
    qryListaEmpresa->AddField(QStringLiteral("NMEMPRESA"), K::String, 50, QStringLiteral("Nome"));
    dtsListaEmpresa = new TDataSource(this, qryListaEmpresa, QStringLiteral("dtsListaEmpresa"));

    adqIndiceFin = new TClientDataSet(this, QStringLiteral("adqIndiceFin"));
    adqIndiceFin->AddFields(layout::indiceFin());
    presentFields(adqIndiceFin, {{"SGINDICE", "Sigla", true}, {"INDICE", "Nome", true}, {"CDTPINDICE", "Tipo do Índice", true}});
    dtsIndiceFin = new TDataSource(this, adqIndiceFin, QStringLiteral("dtsIndiceFin"));
    adqIndFin = new TClientDataSet(this, QStringLiteral("adqIndFin"));
    adqIndFin->AddFields(layout::indexValues());
    adqIndFinMes = new TClientDataSet(this, QStringLiteral("adqIndFinMes"));
    adqIndFinMes->AddFields(layout::indexValues());
}

void TfrmHistoricoBem::buildGrids()
{
    dbgPadrao->SetColumns({
        {"IDINDFINOK", "Ok", 28, false, {}},
        {"IDSITOPERABEM", "Situação", 103, true, {}},
        {"NRSEQOPERABEM", "Nr. Operação", 75, true, {}},
        {"DTOPERABEM", "Data Operação", 79, true, {}},
        {"CDBEMATIVO", "Nr. Bem", 79, true, {}},
        {"NMBEMATIVO", "Nome do Bem", 252, true, {}},
        {"IDIDENTOPERABEM", "Ident. Operação", 115, true, {}},
        {"VROPERABEM2", "Valor Operação", 79, true, {}},
        {"QTMESDEPOPENOVO", "Vida Útil (meses)", 87, true, {}},
        {"VRTAXDEPOPENOVO", "Taxa Anual (%)", 79, true, {}},
        {"NMGRUPOBEM", "Grupo de Bem", 149, true, {}},
        {"NMOPERADOR", "Responsável", 220, true, {}},
        {"NMTIPOOPERBEM", "Tipo de Operação", 137, true, {}},
        {"NMMOTIVOOPER", "Motivo Operação", 143, true, {}},
        {"NMFANTCLIE", "Cliente", 181, true, {}},
        {"CDSERIENFOPERA", "Série NF", 53, true, {}},
        {"NRNOTAFIOPERA", "Nr. Nota Fiscal", 92, true, {}},
        {"NMFILIAL", "Filial", 145, true, {}},
        {"NMSETOR", "Setor", 136, true, {}},
        {"NMCENTCUST", "Centro de Custo", 129, true, {}},
        {"CDBEMATIVCRIADO", "Nr. Bem Gerado", 83, true, {}},
        {"VRJADEPROPEBEM2", "Dep. Acumulada", 86, true, {}},
        {"VRFALDEPROPEBEM2", "Falta Depreciar", 80, true, {}},
        {"DTINCOPERABEM", "Data Inclusão", 113, true, {}},
        {"NMOPERINC", "Operador Inclusão", 150, true, {}},
        {"DTATUOPERABEM", "Data Alteração", 0, true, {}},
        {"NMOPERATU", "Operador Alteração", 166, true, {}},
        {"DTCANOPERABEM", "Data Cancelamento", 0, true, {}},
        {"NMOPERCAN", "Operador Cancelamento", 162, true, {}},
    });
    dbgPadrao->SetDataSource(dtsHistoricoBem);
    dbgPadrao->SetEmptyText(QStringLiteral("Nenhuma operação encontrada para os critérios informados."));
    dbgEspecOper->SetColumns({{"CDESPECIFICABEM", "Código", 0, true, {}},
                              {"NMESPECIFICABEM", "Nome", 0, true, {}},
                              {"NMABREVESPECBEM", "Abreviado", 0, true, {}},
                              {"IDESPECIFICABEM", "Especificação", 82, true, {}},
                              {"VALOR", "Valor", 126, true, {}}});
    dbgEspecOper->SetDataSource(dtsEspecOper);
    dbgCTBLOper->SetColumns({{"NRSEQCTBLITCAPA", "Ordem", 107, true, {}},
                             {"IDTIPOOPERCONT", "Débito/Crédito", 100, true, {}},
                             {"CDCONTCTBL", "Conta Contábil", 120, true, {}},
                             {"NMCONTCTBL", "Nome da Conta", 220, true, {}},
                             {"VRCONTCTBLITC", "Valor", 117, true, {}}});
    dbgCTBLOper->SetDataSource(dtsCTBLOper);
    for (TDBGrid *g : {dbgEspecOper, dbgCTBLOper}) {
        g->setStyleSheet(QStringLiteral("TDBGrid { background: #ffffe1; }"));
        g->OnKeyDown = [this](QKeyEvent *e) { return dbgPadraoKeyDown(e); };
    }
    memObsOperacao->Bind(dtsHistoricoBem, QStringLiteral("DSOBSOPERABEM"));
    memObsOperacao->MaxLength = 255;
    dbtNome->Bind(dtsHistoricoBem, QStringLiteral("CAPADBTNOME"));
    dbnPadrao->SetDataSource(dtsHistoricoBem);
}

void TfrmHistoricoBem::wireHandlers()
{
    auto *ft = host::FocusTracker::instance();
    ft->setOnExit(medCdEmpresa, [this] { medCdEmpresaExit(); });
    ft->setOnExit(depDtInicial, [this] { depDtInicialExit(); });
    ft->setOnExit(depDtFinal, [this] { depDtFinalExit(); });
    ft->setOnExit(edtSgIndice, [this] { edtSgIndiceExit(); });
    ft->setOnEnter(panEmpresa, [this] { panEmpresaEnter(); });
    ft->setOnExit(panEmpresa, [this] { panEmpresaExit(); });
    ft->setOnExit(dbgEspecOper, [this] { dbgEspecOperExit(); });

    medCdEmpresa->OnKeyPress = [this](QChar &k) { medCdEmpresaKeyPress(k); };
    connect(medCdEmpresa, &QLineEdit::textChanged, this, [this] { host::dispatch([this] { medCdEmpresaChange(); }); });
    connect(edtSgIndice, &QLineEdit::textChanged, this, [this] { host::dispatch([this] { edtSgIndiceChange(); }); });

    btnEmpresa->Associate = medCdEmpresa;
    btnEmpresa->DataSource = dtsListaEmpresa;
    btnEmpresa->Title = QStringLiteral("Empresa");
    btnEmpresa->EmptyError = QStringLiteral("Não há Empresa cadastrada");
    btnEmpresa->OnBeforePesq = [this](TBtnPesquisa *s, bool &a) { btnEmpresaBeforePesq(s, a); };
    btnEmpresa->OnAfterPesq = [this](TBtnPesquisa *s) { btnEmpresaAfterPesq(s); };
    btpIndFin->Associate = edtSgIndice;
    btpIndFin->DataSource = dtsIndiceFin;
    btpIndFin->Title = QStringLiteral("Índice Financeiro");
    btpIndFin->EmptyError = QStringLiteral("Não há índice Financeiro Cadastrado");
    btpIndFin->OnBeforePesq = [this](TBtnPesquisa *s, bool &a) { btpIndFinBeforePesq(s, a); };
    btpIndFin->OnAfterPesq = [this](TBtnPesquisa *s) { btpIndFinAfterPesq(s); };

    connect(sbtFiltro, &QToolButton::clicked, this, [this] { host::dispatch([this] { sbtFiltroClick(); }); });
    connect(Filtrar1, &QAction::triggered, this, [this] { host::dispatch([this] { Filtrar1Click(); }); });
    connect(mnuFolhaDados, &QAction::triggered, this, [this] { host::dispatch([this] { mnuFolhaDadosClick(); }); });
    connect(mnuFormulario, &QAction::triggered, this, [this] { host::dispatch([this] { mnuFormularioClick(); }); });
    pgcPadrao->OnChange = [this] { pgcPadraoChange(); };
    netHistoricoBem->BeforeConnect = [this](TNetConnection *c) { netHistoricoBemBeforeConnect(c); };
    cdsHistoricoBem->AfterScroll = [this](TClientDataSet *ds) { cdsHistoricoBemAfterScroll(ds); };

    auto bindText = [this](TClientDataSet *ds, const char *field, auto get) {
        ds->FieldByName(QLatin1String(field))->OnGetText = [this, get](TField *f, QString &t, bool d) { (this->*get)(f, t, d); };
    };
    bindText(cdsHistoricoBem, "IDSITOPERABEM", &TfrmHistoricoBem::cdsHistoricoBemIDSITOPERABEMGetText);
    bindText(cdsHistoricoBem, "IDIDENTOPERABEM", &TfrmHistoricoBem::cdsHistoricoBemIDIDENTOPERABEMGetText);
    bindText(cdsEspecOper, "IDESPECIFICABEM", &TfrmHistoricoBem::cdsEspecOperIDESPECIFICABEMGetText);
    bindText(cdsEspecOper, "VALOR", &TfrmHistoricoBem::cdsEspecOperVALORGetText);
    bindText(cdsCTBLOper, "IDTIPOOPERCONT", &TfrmHistoricoBem::cdsCTBLOperIDTIPOOPERCONTGetText);
    for (const char *f : {"VROPERABEM2", "VRJADEPROPEBEM2", "VRFALDEPROPEBEM2"})
        bindText(cdsHistoricoBem, f, &TfrmHistoricoBem::cdsHistoricoBemConvertedGetText);
    bindText(adqIndiceFin, "CDTPINDICE", &TfrmHistoricoBem::adqIndiceFinCDTPINDICEGetText);
    auto bindSet = [this](TClientDataSet *ds, const char *field, auto set) {
        ds->FieldByName(QLatin1String(field))->OnSetText = [this, set](TField *f, const QString &t) { (this->*set)(f, t); };
    };
    bindSet(cdsHistoricoBem, "IDSITOPERABEM", &TfrmHistoricoBem::cdsHistoricoBemIDSITOPERABEMSetText);
    bindSet(cdsHistoricoBem, "IDIDENTOPERABEM", &TfrmHistoricoBem::cdsHistoricoBemIDIDENTOPERABEMSetText);
    bindSet(cdsEspecOper, "IDESPECIFICABEM", &TfrmHistoricoBem::cdsEspecOperIDESPECIFICABEMSetText);
    bindSet(cdsEspecOper, "VALOR", &TfrmHistoricoBem::cdsEspecOperVALORSetText);
    dbgPadrao->OnDrawColumnCell = [this](QPainter *p, const QRect &r, int row, int col, const QStyleOptionViewItem &) {
        dbgPadraoDrawColumnCell(p, r, row, col);
    };
}

// ---- lifecycle --------------------------------------------------------------

void TfrmHistoricoBem::FormCreate()
{
    TfrmPadraoGrid::FormCreate();
    pgcPadrao->SetActivePage(tshPadrao);
    cdsCTBLOper->FieldByName(QStringLiteral("CDCONTCTBL"))->EditMask = Vantiro::DBPict(ptContCtbl);
    netHistoricoBem->Connect();
}

void TfrmHistoricoBem::netHistoricoBemBeforeConnect(TNetConnection *sender)
{
    Vantiro::ApplyServer(sender);
}

void TfrmHistoricoBem::FormActivate()
{
    if (!boPrimeiraVez) return;
    depDtInicial->SetDate(depDtFinal->GetDate().addDays(-30));
    boPrimeiraVez = false;
    medCdEmpresa->setFocus();
}

void TfrmHistoricoBem::FormClose()
{
    netHistoricoBem->Disconnect();
    TfrmPadraoGrid::FormClose();
    boIdCriado = false;
}

void TfrmHistoricoBem::dtsPadraoStateChange()
{
    // Deliberately empty: the base's reaction to the current table does not apply here.
}

// ---- company ----------------------------------------------------------------

void TfrmHistoricoBem::medCdEmpresaKeyPress(QChar &key)
{
    if (!(key.isDigit() && key.unicode() < 128) && key != QLatin1Char('\b')) key = QChar();
}

void TfrmHistoricoBem::medCdEmpresaChange() { edtNmEmpresa->clear(); }

void TfrmHistoricoBem::medCdEmpresaExit() { vd_Empresa(false); }

void TfrmHistoricoBem::vd_Empresa(bool boTestaVazio)
{
    if (EmptyString(medCdEmpresa->Text())) {
        if (!boTestaVazio) return;
        medCdEmpresa->setFocus();
        MensErroAborta(msgPadrao->Msg(QStringLiteral("EMP_INFO")));
    }
    try {
        medCdEmpresa->SetText(Ajusta(medCdEmpresa->Text(), 2));
        qryEmpresa->Close();
        qryEmpresa->SetParam(QStringLiteral("P_CDEMPRESA"), medCdEmpresa->Text());
        qryEmpresa->SetParam(QStringLiteral("P_TCDEMPRESA"), QString());
        qryEmpresa->Open();
        if (qryEmpresa->IsEmpty()) {
            medCdEmpresa->setFocus();
            MensErroAborta(msgPadrao->Msg(QStringLiteral("EMP_NCAD")));
        }
        edtNmEmpresa->setText(qryEmpresa->FieldByName(QStringLiteral("NMEMPRESA"))->AsString());
    } catch (...) {
        medCdEmpresa->setFocus();
        throw;
    }
}

void TfrmHistoricoBem::btnEmpresaBeforePesq(TBtnPesquisa *, bool &)
{
    qryListaEmpresa->Close();
    qryListaEmpresa->Open();
}

void TfrmHistoricoBem::btnEmpresaAfterPesq(TBtnPesquisa *)
{
    const QString codigo = qryListaEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
    const QString nome = qryListaEmpresa->FieldByName(QStringLiteral("NMEMPRESA"))->AsString();
    mudaCabecalho([&] {
        medCdEmpresa->SetText(codigo);
        edtNmEmpresa->setText(nome);
    });
}

// ---- period -----------------------------------------------------------------

void TfrmHistoricoBem::depDtInicialExit() { depDtInicial->CheckValidDate(); }

void TfrmHistoricoBem::depDtFinalExit()
{
    depDtFinal->CheckValidDate();
    const QDate ini = depDtInicial->GetDate(), fim = depDtFinal->GetDate();
    if (ini.isValid() && fim.isValid() && ini > fim) {
        depDtFinal->setFocus();
        MensErroAborta(msgPadrao->Msg(QStringLiteral("DTINI_NMAIOR_DTFIN")));
    }
}

void TfrmHistoricoBem::vd_Data(bool)
{
    const bool iniVazia = EmptyString(depDtInicial->Text());
    const bool fimVazia = EmptyString(depDtFinal->Text());
    if (iniVazia && !fimVazia) {
        depDtInicial->setFocus();
        MensErroAborta(msgPadrao->Msg(QStringLiteral("DTINI_INF")));
    }
    if (fimVazia && !iniVazia) {
        depDtFinal->setFocus();
        MensErroAborta(msgPadrao->Msg(QStringLiteral("DTFIN_INF")));
    }
    stDtGeral = iniVazia && fimVazia ? QStringLiteral("T") : QString();
}

// ---- header transitions -----------------------------------------------------

void TfrmHistoricoBem::panEmpresaEnter()
{
    dtsPadrao->SetDataSet(nullptr);
    cdsHistoricoBem->Close();
    cdsEspecOper->Close();
    cdsCTBLOper->Close();
    pgcPadrao->SetActivePage(tshPadrao);
    pgcPadrao->SetPageEnabled(tshDadosComp, false);
    for (QToolButton *b : {sbtProcurar, sbtVerificar, sbtFiltro}) b->setEnabled(false);
}

void TfrmHistoricoBem::panEmpresaExit()
{
    vd_Empresa(true);
    vd_Data(true);
    CriaFiltroHistOpBem();
    dtsPadrao->SetDataSet(cdsHistoricoBem);
    pgcPadrao->SetPageEnabled(tshDadosComp, !cdsHistoricoBem->IsEmpty());
    for (QToolButton *b : {sbtProcurar, sbtVerificar, sbtFiltro}) b->setEnabled(true);
}

bool TfrmHistoricoBem::editandoCabecalho()
{
    QWidget *own = host::FocusTracker::instance()->focusedIn(host::FocusTracker::formOf(this));
    return !own || panEmpresa->isAncestorOf(own);
}

void TfrmHistoricoBem::mudaCabecalho(const std::function<void()> &muda)
{
    if (editandoCabecalho()) {
        muda();
        return;
    }
    panEmpresaEnter();
    muda();
    panEmpresaExit();
}

void TfrmHistoricoBem::sbtFiltroClick()
{
    vd_Empresa(true);
    vd_Data(true);
    CriaFiltroHistOpBem();
}

void TfrmHistoricoBem::Filtrar1Click() { sbtFiltroClick(); }

// ---- pages ------------------------------------------------------------------

void TfrmHistoricoBem::mnuFolhaDadosClick()
{
    pgcPadrao->SetActivePage(tshPadrao);
    pgcPadraoChange();
}

void TfrmHistoricoBem::mnuFormularioClick()
{
    pgcPadrao->SetActivePage(tshDadosComp);
    pgcPadraoChange();
}

void TfrmHistoricoBem::pgcPadraoChange()
{
    mnuFolhaDados->setChecked(pgcPadrao->ActivePage() == tshPadrao);
    mnuFormulario->setChecked(pgcPadrao->ActivePage() == tshDadosComp);
    if (pgcPadrao->ActivePage() == tshDadosComp) {
        if (dbgEspecOper->hasFocus()) dtsPadrao->SetDataSet(cdsEspecOper);
    } else {
        dtsPadrao->SetDataSet(cdsHistoricoBem);
    }
}

void TfrmHistoricoBem::dbgEspecOperExit()
{
    if (pgcPadrao->ActivePage() == tshDadosComp && dbgCTBLOper->hasFocus()) dtsPadrao->SetDataSet(cdsCTBLOper);
}

// ---- retrieval and details --------------------------------------------------

void TfrmHistoricoBem::CarregaHistorico()
{
    TfrmFiltroHistOpBem *f = frmFiltroHistOpBem;
    if (!f) MensErroAborta(QStringLiteral("Abra o filtro antes de consultar o histórico."));
    const QString emp = qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
    QString dtGeral = stDtGeral;
    QVector<TNetArg> args{TNetArg::Val(emp), TNetArg::Date(depDtInicial->GetDate()), TNetArg::Date(depDtFinal->GetDate()),
                          TNetArg::Ref(dtGeral)};
    for (QString *s : f->criteriaSent()) args << TNetArg::Ref(*s);
    const wire::Reply r = netHistoricoBem->Call(QStringLiteral("GetHistoricoOpBem"), args);
    stDtGeral = dtGeral;
    cdsHistoricoBem->LoadFromPacket(CheckResultServ(r, true, 0));
}

void TfrmHistoricoBem::CarregaEspecOper(const QString &nrSeqOper, const QString &cdBem)
{
    const QString emp = qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
    const wire::Reply r = netHistoricoBem->Call(QStringLiteral("GetEspecOper"),
        {TNetArg::Val(emp), TNetArg::Val(QStringLiteral("R")), TNetArg::Val(nrSeqOper), TNetArg::Val(cdBem)});
    cdsEspecOper->LoadFromPacket(CheckResultServ(r, true, 0));
}

void TfrmHistoricoBem::CarregaCTBLOper(const QString &nrSeqCapa, const QString &nrSeqItem)
{
    const QString emp = qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
    const wire::Reply r = netHistoricoBem->Call(QStringLiteral("GetCTBLOper"),
        {TNetArg::Val(emp), TNetArg::Val(nrSeqCapa), TNetArg::Val(nrSeqItem), TNetArg::Val(QStringLiteral("R"))});
    cdsCTBLOper->LoadFromPacket(CheckResultServ(r, true, 0));
}


void TfrmHistoricoBem::WalkHistory(const std::function<void()> &walk)
{
    // The bound controls are refreshed once, for the row the walk leaves current.
    if (m_walks++ == 0) cdsHistoricoBem->DisableControls();
    try {
        walk();
    } catch (...) {
        if (--m_walks == 0) {
            m_indexValues.clear();
            cdsHistoricoBem->EnableControls();
            atualizaTotais();
            // The details shown are those of the row the walk stopped on, loaded
            // once; only when the connection itself is gone, or they cannot be
            // loaded, are they emptied, so that they never belong to another row.
            if (std::exchange(m_detailsWaiting, false) &&
                !(netHistoricoBem->Connected() && host::dispatch([this] { cdsHistoricoBemAfterScroll(cdsHistoricoBem); }))) {
                cdsEspecOper->LoadFromPacket({cdsEspecOper->Layout(), {}});
                cdsCTBLOper->LoadFromPacket({cdsCTBLOper->Layout(), {}});
            }
        }
        throw;
    }
    if (--m_walks > 0) return;
    m_indexValues.clear();
    cdsHistoricoBem->EnableControls();
    atualizaTotais();
    if (std::exchange(m_detailsWaiting, false)) cdsHistoricoBemAfterScroll(cdsHistoricoBem);
}

wire::Reply TfrmHistoricoBem::IndexValues(const QString &method, const QVector<TNetArg> &args)
{
    QString key = method;
    for (const TNetArg &a : args)
        key += QLatin1Char('\x1f') + QString::number(int(a.arg.kind)) + QLatin1Char(':') + a.arg.text + QLatin1Char(':') +
               QString::number(a.arg.date, 'g', 17);
    if (m_walks > 0) {
        const auto known = m_indexValues.constFind(key);
        if (known != m_indexValues.constEnd()) {
            // The by-reference values come back as the first call left them.
            int k = 0;
            for (const TNetArg &a : args)
                if (a.arg.kind == wire::ArgKind::TextRef && a.ref && k < known->refs.size()) *a.ref = known->refs[k++];
            return *known;
        }
    }
    wire::Reply r = netHistoricoBem->Call(method, args);
    if (m_walks > 0 && r.ok()) m_indexValues.insert(key, r);
    return r;
}

void TfrmHistoricoBem::sbtVerificarClick()
{
    if (pgcPadrao->ActivePage() == tshPadrao) {
        withBusy([this] {
            CarregaHistorico();
            Converte_Valores();
        });
    } else if (pgcPadrao->ActivePage() == tshDadosComp) {
        cdsHistoricoBemAfterScroll(cdsHistoricoBem);
    }
}

void TfrmHistoricoBem::cdsHistoricoBemAfterScroll(TClientDataSet *)
{
    if (m_walks > 0) {
        m_detailsWaiting = true;
        return;
    }
    const auto field = [this](const char *n) { return cdsHistoricoBem->FieldByName(QLatin1String(n))->AsString(); };
    withBusy([&] { CarregaEspecOper(field("NRSEQOPERABEM"), field("CDBEMATIVO")); });
    withBusy([&] { CarregaCTBLOper(field("NRSEQCAPAOPEBEM"), field("NRSEQITCAPAOPE")); });
}

// ---- financial index --------------------------------------------------------

void TfrmHistoricoBem::btpIndFinBeforePesq(TBtnPesquisa *, bool &)
{
    const wire::Reply r = netHistoricoBem->Call(QStringLiteral("getIndiceFin"),
        {TNetArg::Val(QString()), TNetArg::Val(QStringLiteral("T")), TNetArg::Val(QStringLiteral("T"))});
    adqIndiceFin->LoadFromPacket(CheckResultServ(r, true, 0));
}

void TfrmHistoricoBem::btpIndFinAfterPesq(TBtnPesquisa *)
{
    // Values shown converted by one index are never labelled with another.
    mudaCabecalho([this] {
        edtSgIndice->setText(adqIndiceFin->FieldByName(QStringLiteral("SGINDICE"))->AsString());
        edtNmIndice->setText(adqIndiceFin->FieldByName(QStringLiteral("INDICE"))->AsString());
        StCDIndice = adqIndiceFin->FieldByName(QStringLiteral("CDINDICE"))->AsString();
        StTpIndice = adqIndiceFin->FieldByName(QStringLiteral("CDTPINDICE"))->AsString();
    });
}

void TfrmHistoricoBem::edtSgIndiceChange() { edtNmIndice->clear(); }

void TfrmHistoricoBem::edtSgIndiceExit() { carrega_Indice(); }

void TfrmHistoricoBem::carrega_Indice()
{
    if (edtSgIndice->text().isEmpty()) return;
    // A typed abbreviation is looked for among every kind of index: narrowing it
    // to the kind chosen last made an existing index of the other kind read as
    // one not registered.
    const wire::Reply r = netHistoricoBem->Call(QStringLiteral("getIndiceFin"),
        {TNetArg::Val(edtSgIndice->text()), TNetArg::Val(QString()), TNetArg::Val(QStringLiteral("T"))});
    adqIndiceFin->LoadFromPacket(CheckResultServ(r, true, 0));
    if (adqIndiceFin->IsEmpty()) {
        edtSgIndice->setFocus();
        MensErroAborta(msgPadrao->Msg(QStringLiteral("N_Ind_Cad")));
    }
    edtNmIndice->setText(adqIndiceFin->FieldByName(QStringLiteral("INDICE"))->AsString());
    StCDIndice = adqIndiceFin->FieldByName(QStringLiteral("CDINDICE"))->AsString();
    StTpIndice = adqIndiceFin->FieldByName(QStringLiteral("CDTPINDICE"))->AsString();
}


// ---- coded fields -----------------------------------------------------------

void TfrmHistoricoBem::cdsHistoricoBemIDSITOPERABEMGetText(TField *s, QString &t, bool)
{
    t = codeText(msgPadrao, kSituacao, s->AsString());
}
void TfrmHistoricoBem::cdsHistoricoBemIDSITOPERABEMSetText(TField *s, const QString &t) { textCode(msgPadrao, kSituacao, s, t); }
void TfrmHistoricoBem::cdsHistoricoBemIDIDENTOPERABEMGetText(TField *s, QString &t, bool)
{
    t = codeText(msgPadrao, kIdentOper, s->AsString());
}
void TfrmHistoricoBem::cdsHistoricoBemIDIDENTOPERABEMSetText(TField *s, const QString &t) { textCode(msgPadrao, kIdentOper, s, t); }
void TfrmHistoricoBem::cdsEspecOperIDESPECIFICABEMGetText(TField *s, QString &t, bool)
{
    t = codeText(msgPadrao, kEspec, s->AsString());
}
void TfrmHistoricoBem::cdsEspecOperIDESPECIFICABEMSetText(TField *s, const QString &t) { textCode(msgPadrao, kEspec, s, t); }
void TfrmHistoricoBem::cdsCTBLOperIDTIPOOPERCONTGetText(TField *s, QString &t, bool)
{
    t = codeText(msgPadrao, kDebCred, s->AsString());
}

void TfrmHistoricoBem::cdsEspecOperVALORGetText(TField *, QString &t, bool)
{
    const QString kind = cdsEspecOper->FieldByName(QStringLiteral("IDESPECIFICABEM"))->AsString();
    const int col = IndiceCol(dbgEspecOper, QStringLiteral("VALOR"));
    if (kind == QLatin1String("03")) {
        dbgEspecOper->SetColumnAlignment(col, TAlignment::Left);
        t = cdsEspecOper->FieldByName(QStringLiteral("DSESPECITCAPAOP"))->AsString();
    } else if (kind == QLatin1String("02")) {
        dbgEspecOper->SetColumnAlignment(col, TAlignment::Right);
        t = cdsEspecOper->FieldByName(QStringLiteral("VRESPECITCAPAOP"))->AsString().trimmed();
    } else if (kind == QLatin1String("01")) {
        dbgEspecOper->SetColumnAlignment(col, TAlignment::Left);
        t = DateTimeText(cdsEspecOper->FieldByName(QStringLiteral("DTESPECITCAPAOP"))->AsDateTime());
    } else {
        t.clear();
    }
}

void TfrmHistoricoBem::cdsEspecOperVALORSetText(TField *, const QString &t)
{
    const QString kind = cdsEspecOper->FieldByName(QStringLiteral("IDESPECIFICABEM"))->AsString();
    TField *dt = cdsEspecOper->FieldByName(QStringLiteral("DTESPECITCAPAOP"));
    TField *vr = cdsEspecOper->FieldByName(QStringLiteral("VRESPECITCAPAOP"));
    TField *ds = cdsEspecOper->FieldByName(QStringLiteral("DSESPECITCAPAOP"));
    if (kind == QLatin1String("03")) {
        ds->SetAsString(t);
        vr->Clear();
        dt->Clear();
    } else if (kind == QLatin1String("02") && !t.isEmpty()) {
        bool ok = false;
        const double v = hostLocale().toDouble(t.trimmed(), &ok);
        if (!ok) throw host::EHostError(QStringLiteral("'%1' não é um valor numérico válido.").arg(t));
        QLocale loc = hostLocale();
        loc.setNumberOptions(QLocale::OmitGroupSeparator);
        vr->SetAsString(loc.toString(v, 'g', 15));
        ds->Clear();
        dt->Clear();
    } else if (kind == QLatin1String("01") && !t.isEmpty()) {
        const QDateTime d = DateTimeFromText(t);
        if (!d.isValid()) throw host::EHostError(QStringLiteral("'%1' não é uma data válida.").arg(t));
        dt->SetAsDateTime(d);
        ds->Clear();
        vr->Clear();
    }
}

void TfrmHistoricoBem::cdsHistoricoBemConvertedGetText(TField *s, QString &t, bool)
{
    // A value the operation does not have is shown as nothing, not as 0,00.
    if (cdsHistoricoBem->IsEmpty() || s->IsNull()) {
        t.clear();
        return;
    }
    t = FormatFloat(QStringLiteral(" ###,##0.00"), s->AsFloat());
    if (cdsHistoricoBem->FieldByName(QStringLiteral("IDINDFINOK"))->AsString() == QLatin1String("S"))
        t = edtSgIndice->text() + t;
}

void TfrmHistoricoBem::adqIndiceFinCDTPINDICEGetText(TField *s, QString &t, bool)
{
    const QString v = s->AsString();
    t = v == QLatin1String("1") ? QStringLiteral("Diário") : v == QLatin1String("2") ? QStringLiteral("Mensal") : QString();
}

void TfrmHistoricoBem::dbgPadraoDrawColumnCell(QPainter *p, const QRect &rect, int row, int col)
{
    if (cdsHistoricoBem->IsEmpty()) return;
    if (dbgPadrao->Columns().value(col).FieldName != QLatin1String("IDINDFINOK")) return;
    const QVariant mark = cdsHistoricoBem->valueAt(row, cdsHistoricoBem->FieldByName(QStringLiteral("IDINDFINOK"))->Index());
    const QPixmap bmPict = (mark.toString() == QLatin1String("S") ? imgConvertido : imgNaoConvertido)->pixmap();
    const QRect target(rect.left() + 2, rect.top() + 1, bmPict.width(), rect.height());
    p->drawPixmap(target.topLeft(), bmPict, QRect(0, 0, bmPict.width(), std::min(rect.height(), bmPict.height())));
}
