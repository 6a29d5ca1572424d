#include "Cli_trq01301.h"
#include "ui_Cli_trq01301.h"
#include "Cli_trq01300.h"
#include "module.h"

#include "adoibquery.h"
#include "btnpesquisa.h"
#include "consiste.h"
#include "dateeditplus.h"
#include "dispatch.h"
#include "listpicker.h"
#include "maskedit.h"
#include "messages.h"
#include "netconnection.h"
#include "pagecontrol.h"
#include "prompter.h"
#include "trq01300_layouts.h"

#include <QCheckBox>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>

namespace layout = trq01300::layout;
using trq01300::frmHistoricoBem;
using trq01300::withBusy;

namespace {
// The list buttons take no focus: from the keyboard, F4 on either radio of a
// criterion, or Enter on its "Lista" radio, chooses the list and opens it, as
// choosing "Lista" and pressing the button do.
class CriterionKeys : public QObject {
public:
    using QObject::QObject;
    void add(QRadioButton *all, QRadioButton *list, TBtnPesquisa *button)
    {
        for (QRadioButton *r : {all, list}) {
            m_groups.insert(r, {list, button});
            r->installEventFilter(this);
        }
    }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress) return false;
        auto *k = static_cast<QKeyEvent *>(e);
        const auto g = m_groups.constFind(o);
        if (g == m_groups.cend() || k->modifiers() & ~Qt::KeypadModifier) return false;
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        if (k->key() != Qt::Key_F4 && !(enter && o == g->list)) return false;
        if (!g->list->isChecked()) g->list->click();
        g->list->setFocus(Qt::OtherFocusReason);
        if (g->button->isEnabled()) g->button->click();
        return true;
    }

private:
    struct Group {
        QRadioButton *list;
        TBtnPesquisa *button;
    };
    QHash<QObject *, Group> m_groups;
};
}  // namespace

TfrmFiltroHistOpBem::TfrmFiltroHistOpBem(QWidget *parent)
    : TfrmFiltroPadrao(parent), ui(std::make_unique<Ui::frmFiltroHistOpBem>())
{
    setObjectName(QStringLiteral("frmFiltroHistOpBem"));
    setWindowTitle(QStringLiteral("Filtro de Histórico de Operações do Bem"));
    auto *content = new QWidget(grbFiltroPadrao);
    ui->setupUi(content);
    rbtTdGrupoBem = ui->rbtTdGrupoBem;
    rbtListaGrupoBem = ui->rbtListaGrupoBem;
    rbtTdBem = ui->rbtTdBem;
    rbtLsBem = ui->rbtLsBem;
    rbtTdTipoOper = ui->rbtTdTipoOper;
    rbtLsTipoOper = ui->rbtLsTipoOper;
    rbtTdMotivoOp = ui->rbtTdMotivoOp;
    rbtLsMotivoOp = ui->rbtLsMotivoOp;
    rbtTdRsponsavel = ui->rbtTdRsponsavel;
    rbtLsResponsavel = ui->rbtLsResponsavel;
    rbtTdFilial = ui->rbtTdFilial;
    rbtLsFilial = ui->rbtLsFilial;
    rbtTdCentCust = ui->rbtTdCentCust;
    rbtLsCentCust = ui->rbtLsCentCust;
    rbtTdSetor = ui->rbtTdSetor;
    rbtLsSetor = ui->rbtLsSetor;
    rbtTdCliente = ui->rbtTdCliente;
    rbtLsCliente = ui->rbtLsCliente;
    rbtTdFornec = ui->rbtTdFornec;
    rbtLsFornec = ui->rbtLsFornec;
    btpGrupoBem = ui->btpGrupoBem;
    btpBem = ui->btpBem;
    btpTipoOper = ui->btpTipoOper;
    btpMotivoOp = ui->btpMotivoOp;
    btpResponsavel = ui->btpResponsavel;
    btpFilial = ui->btpFilial;
    btpCCusto = ui->btpCCusto;
    btpSetor = ui->btpSetor;
    btpCliente = ui->btpCliente;
    btpFornecedor = ui->btpFornecedor;
    btpNumero = ui->btpNumero;
    btpSerieNF = ui->btpSerieNF;
    ckbNContabil = ui->ckbNContabil;
    ckbContabilizada = ui->ckbContabilizada;
    ckbCancela = ui->ckbCancela;
    medNumero = ui->medNumero;
    medSerieNF = ui->medSerieNF;
    edtSerieNF = ui->edtSerieNF;
    content->setGeometry(0, 0, 440, 349);
    lblCodTela->setText(QStringLiteral("Trq01301"));
    medNumero->SetEditMask(QStringLiteral("!9999999999;1; "));
    medSerieNF->setMaxLength(5);
    // The series boxes lie below the visible part of the panel: what cannot be
    // seen takes no focus and no typing, so it never holds a series unseen.
    medSerieNF->setFocusPolicy(Qt::NoFocus);
    setFixedSize(495, 349);
    msgPadrao = new TMessages(this);
    msgPadrao->LoadFromFile(QStringLiteral(":/TRQ01300/Cli_trq01301.msg"));
    buildLists();
    buildInvoiceLists();
    wireHandlers();
    buildSelectionCounts();
    wireInvoiceHandlers();
    CriteriosPadrao();
}

void TfrmFiltroHistOpBem::CriteriosPadrao()
{
    // As the controls start: every list "all", the situation as its boxes, no
    // invoice; so a re-query before any confirmation asks what the dialog shows.
    for (QString *s : criteriaFields()) s->clear();
    for (QString *flag : {&stTGrupoBem, &stTCdBem, &stTCdTpOper, &stTCdMotivoOp, &stTOperador, &stTFilial, &stTCCusto,
                          &stTSetor, &stTCliente, &stTSerieNF, &stTCdNF, &stTFornecedor})
        *flag = kT;
    stSituacao = situacaoMarcada();
}

TfrmFiltroHistOpBem::~TfrmFiltroHistOpBem() = default;

void TfrmFiltroHistOpBem::buildLists()
{
    using K = TFieldKind;
    qryGrupoBem = new TADOIBQuery(this, QStringLiteral("qryGrupoBem"));
    qryGrupoBem->SetSQL(QStringLiteral("SELECT CDEMPRESA, CDGRUPOBEM,NMGRUPOBEM\n"
                                       "  FROM GRUPOBEM\n"
                                       " WHERE :P_CDEMPRESA = CDEMPRESA\n"
                                       "   AND (:P_CDGRUPOBEM = CDGRUPOBEM OR :P_TCDGRUPOBEM = 'T')\n"
                                       " ORDER BY CDEMPRESA, CDGRUPOBEM"));
    qryGrupoBem->AddField(QStringLiteral("CDGRUPOBEM"), K::String, 6);
    qryGrupoBem->AddField(QStringLiteral("NMGRUPOBEM"), K::String, 50);
    qryGrupoBem->AddField(QStringLiteral("CDEMPRESA"), K::String, 2);
    presentFields(qryGrupoBem, {{"CDGRUPOBEM", "Código", true, nullptr, 8}, {"NMGRUPOBEM", "Nome", true},
                                {"CDEMPRESA", "Empresa", false}});

    cdsBem = new TClientDataSet(this, QStringLiteral("cdsBem"));
    cdsBem->AddFields(layout::bem());
    presentFields(cdsBem, {{"CDBEMATIVO", "Código", true}, {"CDPATRIBEMATIVO", "Patrimônio", true},
                           {"NMBEMATIVO", "Nome", true}});
    cdsTipoOper = new TClientDataSet(this, QStringLiteral("cdsTipoOper"));
    cdsTipoOper->AddFields(layout::tipoOper());
    presentFields(cdsTipoOper, {{"CDTIPOOPERBEM", "Código", true}, {"NMTIPOOPERBEM", "Nome", true}});
    cdsMotivoOper = new TClientDataSet(this, QStringLiteral("cdsMotivoOper"));
    cdsMotivoOper->AddFields(layout::motivoOper());
    presentFields(cdsMotivoOper, {{"CDTIPOOPERBEM", "Tipo", true}, {"CDMOTIVOOPER", "Código", true},
                                  {"NMMOTIVOOPER", "Nome", true}, {"CHAVE", "", false}});

    qryOperador = new TADOIBQuery(this, QStringLiteral("qryOperador"));
    qryOperador->SetSQL(QStringLiteral("SELECT CDOPERADOR, NMOPERADOR\n"
                                       "  FROM OPERADOR\n"
                                       " WHERE ((:P_CDOPERADOR = CDOPERADOR) OR (:P_TCDOPERADOR = 'T'))\n"
                                       "   AND IDOPERATIVO = 'A'\n"
                                       "ORDER BY CDOPERADOR"));
    qryOperador->AddField(QStringLiteral("CDOPERADOR"), K::String, 12);
    qryOperador->AddField(QStringLiteral("NMOPERADOR"), K::String, 40);
    presentFields(qryOperador, {{"CDOPERADOR", "Código", true, nullptr, 14}, {"NMOPERADOR", "Nome", true}});

    qryFilial = new TADOIBQuery(this, QStringLiteral("qryFilial"));
    qryFilial->SetSQL(QStringLiteral("SELECT CDFILIAL, NMFILIAL\n  FROM FILIAL\n ORDER BY CDFILIAL"));
    qryFilial->AddField(QStringLiteral("CDFILIAL"), K::String, 4);
    qryFilial->AddField(QStringLiteral("NMFILIAL"), K::String, 30);
    presentFields(qryFilial, {{"CDFILIAL", "Código", true, nullptr, 6}, {"NMFILIAL", "Nome", true, nullptr, 60}});

    cdsCentCust = new TClientDataSet(this, QStringLiteral("cdsCentCust"));
    cdsCentCust->AddFields(layout::centCusto());
    presentFields(cdsCentCust, {{"CDCENTCUST", "Código", true}, {"NMCENTCUST", "Nome", true}});
    cdsSetor = new TClientDataSet(this, QStringLiteral("cdsSetor"));
    cdsSetor->AddFields(layout::setor());
    presentFields(cdsSetor, {{"CDSETOR", "Código", true}, {"SGSETOR", "Sigla", true}, {"NMSETOR", "Nome", true}});

    qryCliente = new TADOIBQuery(this, QStringLiteral("qryCliente"));
    qryCliente->SetSQL(QStringLiteral("SELECT NRINSJURCLIE, NMRAZSOCCLIE, NMFANTCLIE, IDTPIJURCLIE, CDCLIENTE\n"
                                      "  FROM CLIENTE\nORDER BY NRINSJURCLIE"));
    qryCliente->AddField(QStringLiteral("NRINSJURCLIE"), K::String, 20);
    qryCliente->AddField(QStringLiteral("NMRAZSOCCLIE"), K::String, 50);
    qryCliente->AddField(QStringLiteral("NMFANTCLIE"), K::String, 50);
    qryCliente->AddField(QStringLiteral("IDTPIJURCLIE"), K::String, 1);
    qryCliente->AddField(QStringLiteral("CDCLIENTE"), K::String, 21);
    presentFields(qryCliente, {{"NRINSJURCLIE", "Inscrição", true, nullptr, 27}, {"NMRAZSOCCLIE", "Razão Social", true},
                               {"NMFANTCLIE", "Nome", true, nullptr, 55}, {"IDTPIJURCLIE", "", false},
                               {"CDCLIENTE", "", false}});

    qryFornecedor = new TADOIBQuery(this, QStringLiteral("qryFornecedor"));
    qryFornecedor->SetSQL(QStringLiteral("SELECT NRINSJURFORN, NMRAZSOCFORN, NMFANTFORN,IDTPIJURFORN, CDFORNECED\n"
                                         "  FROM FORNECEDOR\nORDER BY NRINSJURFORN"));
    qryFornecedor->AddField(QStringLiteral("NRINSJURFORN"), K::String, 20);
    qryFornecedor->AddField(QStringLiteral("NMRAZSOCFORN"), K::String, 40);
    qryFornecedor->AddField(QStringLiteral("NMFANTFORN"), K::String, 40);
    qryFornecedor->AddField(QStringLiteral("IDTPIJURFORN"), K::String, 1);
    qryFornecedor->AddField(QStringLiteral("CDFORNECED"), K::String, 21);
    presentFields(qryFornecedor, {{"NRINSJURFORN", "Inscrição", true, nullptr, 27},
                                  {"NMRAZSOCFORN", "Razão Social", true, nullptr, 42},
                                  {"NMFANTFORN", "Nome", true, nullptr, 42}, {"IDTPIJURFORN", "", false},
                                  {"CDFORNECED", "", false}});

    dtsGrupoBem = new TDataSource(this, qryGrupoBem, QStringLiteral("dtsGrupoBem"));
    dtsBem = new TDataSource(this, cdsBem, QStringLiteral("dtsBem"));
    dtsTipoOper = new TDataSource(this, cdsTipoOper, QStringLiteral("dtsTipoOper"));
    dtsMotivoOper = new TDataSource(this, cdsMotivoOper, QStringLiteral("dtsMotivoOper"));
    dtsOperador = new TDataSource(this, qryOperador, QStringLiteral("dtsOperador"));
    dtsFilial = new TDataSource(this, qryFilial, QStringLiteral("dtsFilial"));
    dtsCCusto = new TDataSource(this, cdsCentCust, QStringLiteral("dtsCCusto"));
    dtsSetor = new TDataSource(this, cdsSetor, QStringLiteral("dtsSetor"));
    dtsCliente = new TDataSource(this, qryCliente, QStringLiteral("dtsCliente"));
    dtsFornecedor = new TDataSource(this, qryFornecedor, QStringLiteral("dtsFornecedor"));
}

void TfrmFiltroHistOpBem::wireHandlers()
{
    using Fn = void (TfrmFiltroHistOpBem::*)();
    // Each "all" radio disables its list button, each "Lista" radio enables it;
    // the handlers run when the radio becomes checked.
    const QList<std::tuple<QRadioButton *, Fn, QRadioButton *, Fn, TBtnPesquisa *, Fn>> groups = {
        {rbtTdGrupoBem, &TfrmFiltroHistOpBem::rbtTdGrupoBemClick, rbtListaGrupoBem,
         &TfrmFiltroHistOpBem::rbtListaGrupoBemClick, btpGrupoBem, &TfrmFiltroHistOpBem::btpGrupoBemClick},
        {rbtTdBem, &TfrmFiltroHistOpBem::rbtTdBemClick, rbtLsBem, &TfrmFiltroHistOpBem::rbtLsBemClick,
         btpBem, &TfrmFiltroHistOpBem::btpBemClick},
        {rbtTdTipoOper, &TfrmFiltroHistOpBem::rbtTdTipoOperClick, rbtLsTipoOper,
         &TfrmFiltroHistOpBem::rbtLsTipoOperClick, btpTipoOper, &TfrmFiltroHistOpBem::btpTipoOperClick},
        {rbtTdMotivoOp, &TfrmFiltroHistOpBem::rbtTdMotivoOpClick, rbtLsMotivoOp,
         &TfrmFiltroHistOpBem::rbtLsMotivoOpClick, btpMotivoOp, &TfrmFiltroHistOpBem::btpMotivoOpClick},
        {rbtTdRsponsavel, &TfrmFiltroHistOpBem::rbtTdRsponsavelClick, rbtLsResponsavel,
         &TfrmFiltroHistOpBem::rbtLsResponsavelClick, btpResponsavel, &TfrmFiltroHistOpBem::btpResponsavelClick},
        {rbtTdFilial, &TfrmFiltroHistOpBem::rbtTdFilialClick, rbtLsFilial, &TfrmFiltroHistOpBem::rbtLsFilialClick,
         btpFilial, &TfrmFiltroHistOpBem::btpFilialClick},
        {rbtTdCentCust, &TfrmFiltroHistOpBem::rbtTdCentCustClick, rbtLsCentCust,
         &TfrmFiltroHistOpBem::rbtLsCentCustClick, btpCCusto, &TfrmFiltroHistOpBem::btpCCustoClick},
        {rbtTdSetor, &TfrmFiltroHistOpBem::rbtTdSetorClick, rbtLsSetor, &TfrmFiltroHistOpBem::rbtLsSetorClick,
         btpSetor, &TfrmFiltroHistOpBem::btpSetorClick},
        {rbtTdCliente, &TfrmFiltroHistOpBem::rbtTdClienteClick, rbtLsCliente,
         &TfrmFiltroHistOpBem::rbtLsClienteClick, btpCliente, &TfrmFiltroHistOpBem::btpClienteClick},
        {rbtTdFornec, &TfrmFiltroHistOpBem::rbtTdFornecClick, rbtLsFornec, &TfrmFiltroHistOpBem::rbtLsFornecClick,
         btpFornecedor, &TfrmFiltroHistOpBem::btpFornecedorClick}};
    auto *keys = new CriterionKeys(this);
    for (const auto &[td, tdFn, ls, lsFn, btn, btnFn] : groups) {
        keys->add(td, ls, btn);
        btn->setEnabled(ls->isChecked());
        connect(td, &QRadioButton::toggled, this, [this, fn = tdFn](bool on) {
            if (on) runHandler([this, fn] { (this->*fn)(); });
            mostraSelecoes();
        });
        connect(ls, &QRadioButton::toggled, this, [this, fn = lsFn](bool on) {
            if (on) runHandler([this, fn] { (this->*fn)(); });
            mostraSelecoes();
        });
        btn->OnClick = [this, fn = btnFn](TBtnPesquisa *) {
            const auto tell = qScopeGuard([this] { mostraSelecoes(); });  // also after a failed list
            (this->*fn)();
        };
    }
    connect(ckbNContabil, &QCheckBox::clicked, this, [this] { runHandler([this] { ckbNContabilClick(); }); });
    connect(ckbContabilizada, &QCheckBox::clicked, this, [this] { runHandler([this] { ckbContabilizadaClick(); }); });
    connect(ckbCancela, &QCheckBox::clicked, this, [this] { runHandler([this] { ckbCancelaClick(); }); });
}

QVector<QString *> TfrmFiltroHistOpBem::criteriaFields()
{
    return {&stGrupoBem, &stTGrupoBem, &stCdBem,   &stTCdBem,   &stCdTpOper, &stTCdTpOper, &stCdMotivoOp,
            &stTCdMotivoOp, &stOperador, &stTOperador, &stSituacao, &stFilial, &stTFilial, &stCCusto,
            &stTCCusto, &stTSetor, &stSetor, &stCliente, &stTCliente, &stSerieNF, &stTSerieNF,
            &stCdNF, &stTCdNF, &stFornecedor, &stTFornecedor, &stValBem, &stValMotivo};
}

QVector<QString *> TfrmFiltroHistOpBem::criteriaSent()
{
    // The sector goes selection first, like every other pair.
    return {&stGrupoBem, &stTGrupoBem, &stCdBem,   &stTCdBem,   &stCdTpOper, &stTCdTpOper,
            &stCdMotivoOp, &stTCdMotivoOp, &stOperador, &stTOperador, &stSituacao, &stFilial,
            &stTFilial,  &stCCusto,    &stTCCusto, &stSetor,    &stTSetor,   &stCliente,
            &stTCliente, &stSerieNF,   &stTSerieNF, &stCdNF,    &stTCdNF};
}

void TfrmFiltroHistOpBem::FormCreate()
{
    TfrmFiltroPadrao::FormCreate();
    // The lists are still closed: the person type read is empty.
    qryCliente->FieldByName(QStringLiteral("NRINSJURCLIE"))->EditMask =
        PictPess(qryCliente->FieldByName(QStringLiteral("IDTPIJURCLIE"))->AsString());
    qryFornecedor->FieldByName(QStringLiteral("NRINSJURFORN"))->EditMask =
        PictPess(qryFornecedor->FieldByName(QStringLiteral("IDTPIJURFORN"))->AsString());
}

QString TfrmFiltroHistOpBem::titulo(const char *caption, const char *naoCadastrado) const
{
    return msgPadrao->Msg(QLatin1String(caption)) + QLatin1Char('|') + msgPadrao->Msg(QLatin1String(naoCadastrado));
}

QString TfrmFiltroHistOpBem::empresaTexto() const { return frmHistoricoBem->medCdEmpresa->Text(); }

QString TfrmFiltroHistOpBem::empresaLinha() const
{
    return frmHistoricoBem->qryEmpresa->FieldByName(QStringLiteral("CDEMPRESA"))->AsString();
}

// ---- situation ----------------------------------------------------------------

QString TfrmFiltroHistOpBem::situacaoMarcada() const
{
    // An underscore, then each checked code followed by an underscore; empty
    // when no box is checked.
    QString situacao = QStringLiteral("_");
    if (ckbNContabil->isChecked()) situacao += QStringLiteral("1_");
    if (ckbContabilizada->isChecked()) situacao += QStringLiteral("2_");
    if (ckbCancela->isChecked()) situacao += QStringLiteral("3_");
    return situacao.size() > 1 ? situacao : QString();
}

// A click on any box (checking or unchecking) sends every box as it stands, as
// the confirmation does: a re-query after Cancel then shows what the boxes
// show. With none checked the criterion keeps its last value.
void TfrmFiltroHistOpBem::situacaoClicada()
{
    const QString situacao = situacaoMarcada();
    if (!situacao.isEmpty()) stSituacao = situacao;
}

void TfrmFiltroHistOpBem::ckbNContabilClick() { situacaoClicada(); }
void TfrmFiltroHistOpBem::ckbContabilizadaClick() { situacaoClicada(); }
void TfrmFiltroHistOpBem::ckbCancelaClick() { situacaoClicada(); }

// ---- list buttons ---------------------------------------------------------------

void TfrmFiltroHistOpBem::btpGrupoBemClick()
{
    qryGrupoBem->Close();
    qryGrupoBem->SetParam(QStringLiteral("P_CDEMPRESA"), empresaLinha());
    if (stGrupoBem == kT) {
        qryGrupoBem->SetParam(QStringLiteral("P_CDGRUPOBEM"), stGrupoBem);
        qryGrupoBem->SetParam(QStringLiteral("P_TCDGRUPOBEM"), QString());
    } else {
        qryGrupoBem->SetParam(QStringLiteral("P_CDGRUPOBEM"), QString());
        qryGrupoBem->SetParam(QStringLiteral("P_TCDGRUPOBEM"), kT);
    }
    qryGrupoBem->Open();
    PesquisaLista(dtsGrupoBem, QStringLiteral("CDGRUPOBEM"), msgPadrao->Msg(QStringLiteral("GRUPBEM")), false, stGrupoBem);
}

void TfrmFiltroHistOpBem::btpBemClick()
{
    // The asset pair lends itself to the list call; a call that fails gives it
    // back as it was, so the criterion still sends what the dialog shows.
    auto restore = qScopeGuard([this, cd = stCdBem, flag = stTCdBem] {
        stCdBem = cd;
        stTCdBem = flag;
    });
    if (rbtTdGrupoBem->isChecked()) {
        stCdBem.clear();
        stTCdBem = kT;
    }
    if (rbtListaGrupoBem->isChecked()) {
        stCdBem = stGrupoBem;
        stTCdBem.clear();
    }
    const wire::Reply r = frmHistoricoBem->netHistoricoBem->Call(
        QStringLiteral("getBem"), {TNetArg::Val(empresaTexto()), TNetArg::Ref(stCdBem), TNetArg::Ref(stTCdBem)});
    cdsBem->LoadFromPacket(CheckResultServ(r, true, 0));
    restore.dismiss();
    PesquisaLista(dtsBem, QStringLiteral("CDBEMATIVO"), titulo("BEM", "BEM_NCAD"), false, stValBem);
    // The list is the criterion now ("Lista" is chosen while its button is
    // enabled): the group's "all" lent to the call does not stay in its flag.
    stCdBem = stValBem;
    stTCdBem.clear();
}

void TfrmFiltroHistOpBem::btpTipoOperClick()
{
    const wire::Reply r = frmHistoricoBem->netHistoricoBem->Call(QStringLiteral("getTipoDeOperacao"),
                                                                 {TNetArg::Val(empresaTexto()), TNetArg::Val(kT)});
    cdsTipoOper->LoadFromPacket(CheckResultServ(r, true, 0));
    PesquisaLista(dtsTipoOper, QStringLiteral("CDTIPOOPERBEM"), titulo("TIPOOPER", "OPER_NCAD"), false, stCdTpOper);
}

void TfrmFiltroHistOpBem::btpMotivoOpClick()
{
    auto restore = qScopeGuard([this, cd = stCdMotivoOp] { stCdMotivoOp = cd; });
    stCdMotivoOp = rbtTdTipoOper->isChecked() ? kT : stCdTpOper;
    const wire::Reply r = frmHistoricoBem->netHistoricoBem->Call(QStringLiteral("getMotivoOper"),
                                                                 {TNetArg::Val(empresaTexto()), TNetArg::Ref(stCdMotivoOp)});
    cdsMotivoOper->LoadFromPacket(CheckResultServ(r, true, 0));
    restore.dismiss();
    stValMotivo = motivosComChaveAtual(stValMotivo);
    PesquisaLista(dtsMotivoOper, QStringLiteral("CHAVE"), titulo("MOTIVOOPER", "MOTIVO_NCAD"), false, stValMotivo);
    stCdMotivoOp = stValMotivo;
}

void TfrmFiltroHistOpBem::btpResponsavelClick()
{
    qryOperador->Close();
    if (stOperador == kT) {
        qryOperador->SetParam(QStringLiteral("P_CDOPERADOR"), stOperador);
        qryOperador->SetParam(QStringLiteral("P_TCDOPERADOR"), QString());
    } else {
        qryOperador->SetParam(QStringLiteral("P_CDOPERADOR"), QString());
        qryOperador->SetParam(QStringLiteral("P_TCDOPERADOR"), kT);
    }
    qryOperador->Open();
    PesquisaLista(dtsOperador, QStringLiteral("CDOPERADOR"), titulo("OPERADOR", "OPERADOR_NCAD"), false, stOperador);
}

void TfrmFiltroHistOpBem::btpFilialClick()
{
    qryFilial->Close();
    qryFilial->Open();
    PesquisaLista(dtsFilial, QStringLiteral("CDFILIAL"), titulo("FILIAL", "FILIAL_NCAD"), false, stFilial);
}

void TfrmFiltroHistOpBem::btpCCustoClick()
{
    const wire::Reply r = frmHistoricoBem->netHistoricoBem->Call(QStringLiteral("getCentCusto"), {TNetArg::Val(kT)});
    cdsCentCust->LoadFromPacket(CheckResultServ(r, true, 0));
    PesquisaLista(dtsCCusto, QStringLiteral("CDCENTCUST"), titulo("CENTCUST", "CENTCUST_NCAD"), false, stCCusto);
}

void TfrmFiltroHistOpBem::btpSetorClick()
{
    const wire::Reply r = frmHistoricoBem->netHistoricoBem->Call(QStringLiteral("getSetor"), {TNetArg::Val(kT)});
    cdsSetor->LoadFromPacket(CheckResultServ(r, true, 0));
    PesquisaLista(dtsSetor, QStringLiteral("CDSETOR"), titulo("SETOR", "SETOR_NCAD"), false, stSetor);
}

void TfrmFiltroHistOpBem::btpClienteClick()
{
    qryCliente->Close();
    qryCliente->Open();
    PesquisaLista(dtsCliente, QStringLiteral("CDCLIENTE"), titulo("CLIENTE", "CLIENTE_NCAD"), false, stCliente);
}

void TfrmFiltroHistOpBem::btpFornecedorClick()
{
    qryFornecedor->Close();
    qryFornecedor->Open();
    PesquisaLista(dtsFornecedor, QStringLiteral("CDFORNECED"), titulo("FORNECEDOR", "FORNEC_NCAD"), false, stFornecedor);
}

// ---- radio buttons --------------------------------------------------------------

// "Todos" always sends "all" for its criterion (selection empty, flag "T"), so
// that a re-query after Cancel never sends a criterion that matches nothing.
void TfrmFiltroHistOpBem::rbtTdGrupoBemClick()
{
    btpGrupoBem->setEnabled(false);
    stGrupoBem.clear();
    stTGrupoBem = kT;
}

void TfrmFiltroHistOpBem::rbtListaGrupoBemClick()
{
    btpGrupoBem->setEnabled(true);
    stTGrupoBem.clear();
}

void TfrmFiltroHistOpBem::rbtTdBemClick()
{
    btpBem->setEnabled(false);
    stCdBem.clear();
    stValBem.clear();
    stTCdBem = kT;
}

void TfrmFiltroHistOpBem::rbtLsBemClick()
{
    btpBem->setEnabled(true);
    stTCdBem.clear();
}

void TfrmFiltroHistOpBem::rbtTdTipoOperClick()
{
    btpTipoOper->setEnabled(false);
    stCdTpOper.clear();
    stTCdTpOper = kT;
}

void TfrmFiltroHistOpBem::rbtLsTipoOperClick()
{
    btpTipoOper->setEnabled(true);
    stTCdTpOper.clear();
}

void TfrmFiltroHistOpBem::rbtTdMotivoOpClick()
{
    btpMotivoOp->setEnabled(false);
    stCdMotivoOp.clear();
    stValMotivo.clear();
    stTCdMotivoOp = kT;
}

void TfrmFiltroHistOpBem::rbtLsMotivoOpClick()
{
    btpMotivoOp->setEnabled(true);
    stTCdMotivoOp.clear();
}

// The criteria without dependencies: "Todos" (or "Todas") sends "all" and
// "Lista" the list, as the dialog shows them. The list itself is kept, so that
// going back to "Lista" finds it again; "all" does not read it.
void TfrmFiltroHistOpBem::escolheTodos(TBtnPesquisa *botao, QString &flag)
{
    botao->setEnabled(false);
    flag = kT;
}

void TfrmFiltroHistOpBem::escolheLista(TBtnPesquisa *botao, QString &flag)
{
    botao->setEnabled(true);
    flag.clear();
}

void TfrmFiltroHistOpBem::rbtTdRsponsavelClick() { escolheTodos(btpResponsavel, stTOperador); }
void TfrmFiltroHistOpBem::rbtLsResponsavelClick() { escolheLista(btpResponsavel, stTOperador); }
void TfrmFiltroHistOpBem::rbtTdFilialClick() { escolheTodos(btpFilial, stTFilial); }
void TfrmFiltroHistOpBem::rbtLsFilialClick() { escolheLista(btpFilial, stTFilial); }
void TfrmFiltroHistOpBem::rbtTdCentCustClick() { escolheTodos(btpCCusto, stTCCusto); }
void TfrmFiltroHistOpBem::rbtLsCentCustClick() { escolheLista(btpCCusto, stTCCusto); }
void TfrmFiltroHistOpBem::rbtTdSetorClick() { escolheTodos(btpSetor, stTSetor); }
void TfrmFiltroHistOpBem::rbtLsSetorClick() { escolheLista(btpSetor, stTSetor); }
void TfrmFiltroHistOpBem::rbtTdClienteClick() { escolheTodos(btpCliente, stTCliente); }
void TfrmFiltroHistOpBem::rbtLsClienteClick() { escolheLista(btpCliente, stTCliente); }
void TfrmFiltroHistOpBem::rbtTdFornecClick() { escolheTodos(btpFornecedor, stTFornecedor); }
void TfrmFiltroHistOpBem::rbtLsFornecClick() { escolheLista(btpFornecedor, stTFornecedor); }

// ---- validators -------------------------------------------------------------------

void TfrmFiltroHistOpBem::validaLista(QRadioButton *todos, QRadioButton *lista, QString &selecao, QString &flag,
                                      const char *msgInf)
{
    if (todos->isChecked()) {
        selecao.clear();
        flag = kT;
    } else if (lista->isChecked()) {
        if (EmptyString(selecao)) {
            lista->setFocus();
            MensErroAborta(msgPadrao->Msg(QLatin1String(msgInf)));
        }
        flag.clear();
    }
}

void TfrmFiltroHistOpBem::Vd_GrupoBem()
{
    if (rbtListaGrupoBem->isChecked()) {
        // The flag is left as it is, and the focus does not move.
        if (EmptyString(stGrupoBem)) MensErroAborta(msgPadrao->Msg(QStringLiteral("Grupo_Info")));
    } else if (rbtTdGrupoBem->isChecked()) {
        stTGrupoBem = kT;
        qryGrupoBem->Close();
        qryGrupoBem->SetParam(QStringLiteral("P_CDEMPRESA"), empresaLinha());
        qryGrupoBem->SetParam(QStringLiteral("P_CDGRUPOBEM"), QString());
        qryGrupoBem->SetParam(QStringLiteral("P_TCDGRUPOBEM"), kT);
        qryGrupoBem->Open();
        if (qryGrupoBem->IsEmpty()) MensErroAborta(msgPadrao->Msg(QStringLiteral("Grupo_NCad")));
    }
}

void TfrmFiltroHistOpBem::Vd_Bem() { validaLista(rbtTdBem, rbtLsBem, stCdBem, stTCdBem, "BEM_INF"); }
void TfrmFiltroHistOpBem::Vd_TipoOper()
{
    validaLista(rbtTdTipoOper, rbtLsTipoOper, stCdTpOper, stTCdTpOper, "TIPOOPER_INF");
}
void TfrmFiltroHistOpBem::Vd_MotivoOp()
{
    validaLista(rbtTdMotivoOp, rbtLsMotivoOp, stCdMotivoOp, stTCdMotivoOp, "MOTIVOOP_INF");
}
void TfrmFiltroHistOpBem::Vd_Operador()
{
    validaLista(rbtTdRsponsavel, rbtLsResponsavel, stOperador, stTOperador, "OPERADOR_INF");
}

void TfrmFiltroHistOpBem::Vd_Situacao()
{
    if (!ckbNContabil->isChecked() && !ckbContabilizada->isChecked() && !ckbCancela->isChecked())
        MensErroAborta(msgPadrao->Msg(QStringLiteral("SITUACAO_INFO")));
}

void TfrmFiltroHistOpBem::Vd_Filial() { validaLista(rbtTdFilial, rbtLsFilial, stFilial, stTFilial, "FILIAL_INF"); }
void TfrmFiltroHistOpBem::Vd_CentCust()
{
    validaLista(rbtTdCentCust, rbtLsCentCust, stCCusto, stTCCusto, "CENTCUST_INF");
}
void TfrmFiltroHistOpBem::Vd_Setor() { validaLista(rbtTdSetor, rbtLsSetor, stSetor, stTSetor, "SETOR_INF"); }
void TfrmFiltroHistOpBem::Vd_Cliente()
{
    validaLista(rbtTdCliente, rbtLsCliente, stCliente, stTCliente, "CLIENTE_INF");
}
void TfrmFiltroHistOpBem::Vd_Fornecedor()
{
    validaLista(rbtTdFornec, rbtLsFornec, stFornecedor, stTFornecedor, "FORNEC_INF");
}

// ---- confirmation -----------------------------------------------------------------

void TfrmFiltroHistOpBem::sbtConfirmaClick()
{
    Vd_GrupoBem();
    Vd_Bem();
    Vd_TipoOper();
    Vd_MotivoOp();
    Vd_Operador();
    Vd_Situacao();
    Vd_Filial();
    Vd_CentCust();
    Vd_Setor();
    Vd_Cliente();
    Vd_Fornecedor();

    stSituacao = situacaoMarcada();

    if (EmptyString(medSerieNF->Text())) {
        stSerieNF.clear();
        stTSerieNF = kT;
    } else {
        stSerieNF = medSerieNF->Text();
        stTSerieNF.clear();
    }
    if (EmptyString(medNumero->Text())) {
        stCdNF.clear();
        stTCdNF = kT;
    } else {
        stCdNF = medNumero->Text();
        stTCdNF.clear();
    }

    TfrmHistoricoBem *frm = frmHistoricoBem;
    withBusy([this, frm] {
        frm->CarregaHistorico();
        Converte_Valores();
    });
    RequestClose();
    TClientDataSet *h = frm->cdsHistoricoBem;
    const auto campo = [h](const char *n) { return h->FieldByName(QLatin1String(n))->AsString(); };
    withBusy([&] { frm->CarregaEspecOper(campo("NRSEQOPERABEM"), campo("CDBEMATIVO")); });
    RequestClose();
    // The accounting entries follow the current operation's own keys, so they
    // are shown even when the operation has no specifications.
    withBusy([&] { frm->CarregaCTBLOper(campo("NRSEQCAPAOPEBEM"), campo("NRSEQITCAPAOPE")); });
    RequestClose();
    frm->pgcPadrao->SetActivePage(frm->tshPadrao);
}

void TfrmFiltroHistOpBem::sbtCancelClick() { RequestClose(); }

void TfrmFiltroHistOpBem::Converte_Valores()
{
    TfrmHistoricoBem *frm = frmHistoricoBem;
    const bool comIndice = !frm->edtSgIndice->text().isEmpty();
    if (comIndice) stIndNConv.clear();
    if (ConverteValoresHistorico(frm)) stIndNConv = QStringLiteral("S");
    // Only a conversion by an index warns, once, after the last row.
    if (comIndice && stIndNConv == QLatin1String("S"))
        host::prompter()->warning(frm->msgPadrao->Msg(QStringLiteral("Ind_N_Conv")));
}
