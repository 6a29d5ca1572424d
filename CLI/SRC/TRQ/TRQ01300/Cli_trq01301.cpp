#include "Cli_trq01301.h"
#include "ui_Cli_trq01301.h"
#include "Cli_trq01300.h"
#include "module.h"

#include "messages.h"
#include "prompter.h"
#include <QLineEdit>

#include "btnpesquisa.h"
#include "dispatch.h"
#include "maskedit.h"

#include <QCheckBox>
#include <QRadioButton>

TfrmFiltroHistOpBem::TfrmFiltroHistOpBem(QWidget *parent)
    : TfrmFiltroPadrao(parent), ui(std::make_unique<Ui::frmFiltroHistOpBem>())
{
    setObjectName(QStringLiteral("frmFiltroHistOpBem"));
    setWindowTitle(QStringLiteral("Filtro de Histórico de Operações do Bem"));
    auto *content = new QWidget(grbFiltroPadrao);
    ui->setupUi(content);
    content->setGeometry(0, 0, 440, 349);
    lblCodTela->setText(QStringLiteral("Trq01301"));
    ui->medNumero->SetEditMask(QStringLiteral("!9999999999;1; "));
    ui->medSerieNF->setMaxLength(5);
    setFixedSize(495, 349);

    // Each "Lista" radio enables its list button; the "all" radio disables it.
    const QList<std::tuple<QRadioButton *, QRadioButton *, TBtnPesquisa *>> groups = {
        {ui->rbtTdGrupoBem, ui->rbtListaGrupoBem, ui->btpGrupoBem}, {ui->rbtTdBem, ui->rbtLsBem, ui->btpBem},
        {ui->rbtTdTipoOper, ui->rbtLsTipoOper, ui->btpTipoOper}, {ui->rbtTdMotivoOp, ui->rbtLsMotivoOp, ui->btpMotivoOp},
        {ui->rbtTdRsponsavel, ui->rbtLsResponsavel, ui->btpResponsavel}, {ui->rbtTdFilial, ui->rbtLsFilial, ui->btpFilial},
        {ui->rbtTdCentCust, ui->rbtLsCentCust, ui->btpCCusto}, {ui->rbtTdSetor, ui->rbtLsSetor, ui->btpSetor},
        {ui->rbtTdCliente, ui->rbtLsCliente, ui->btpCliente}, {ui->rbtTdFornec, ui->rbtLsFornec, ui->btpFornecedor}};
    for (const auto &[td, ls, btn] : groups) {
        connect(ls, &QRadioButton::toggled, btn, &QWidget::setEnabled);
        btn->setEnabled(ls->isChecked());
    }
    connect(ui->ckbNContabil, &QCheckBox::clicked, this, [this] { host::dispatch([this] { ckbNContabilClick(); }); });
    connect(ui->ckbContabilizada, &QCheckBox::clicked, this, [this] { host::dispatch([this] { ckbContabilizadaClick(); }); });
    connect(ui->ckbCancela, &QCheckBox::clicked, this, [this] { host::dispatch([this] { ckbCancelaClick(); }); });
}

TfrmFiltroHistOpBem::~TfrmFiltroHistOpBem() = default;

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

void TfrmFiltroHistOpBem::FormCreate() { TfrmFiltroPadrao::FormCreate(); }

void TfrmFiltroHistOpBem::Converte_Valores()
{
    TfrmHistoricoBem *frm = trq01300::frmHistoricoBem;
    const bool comIndice = !frm->edtSgIndice->text().isEmpty();
    if (comIndice) stIndNConv.clear();
    if (ConverteValoresHistorico(frm)) stIndNConv = QStringLiteral("S");
    // Only a conversion by an index warns, once, after the last row.
    if (comIndice && stIndNConv == QLatin1String("S"))
        host::prompter()->warning(frm->msgPadrao->Msg(QStringLiteral("Ind_N_Conv")));
}

void TfrmFiltroHistOpBem::ckbNContabilClick()
{
    if (ui->ckbNContabil->isChecked()) stSituacao = QStringLiteral("1");
}

void TfrmFiltroHistOpBem::ckbContabilizadaClick()
{
    if (ui->ckbContabilizada->isChecked()) stSituacao = QStringLiteral("2");
}

void TfrmFiltroHistOpBem::ckbCancelaClick()
{
    if (ui->ckbCancela->isChecked()) stSituacao = QStringLiteral("3");
}
