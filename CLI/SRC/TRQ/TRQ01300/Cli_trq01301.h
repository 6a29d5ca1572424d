#pragma once
// Filter dialog "Filtro de Histórico de Operações do Bem".
#include "frmfiltropadrao.h"
#include <QHash>
#include <QStringList>
#include <QVector>
#include <memory>

namespace Ui { class frmFiltroHistOpBem; }
// The flag of a criterion that asks for every value.
inline const QString kT = QStringLiteral("T");
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TADOIBQuery;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TMaskEdit;
class TMessages;
class TField;

class TfrmFiltroHistOpBem : public TfrmFiltroPadrao {
    Q_OBJECT
public:
    explicit TfrmFiltroHistOpBem(QWidget *parent = nullptr);
    ~TfrmFiltroHistOpBem() override;

    // The criteria, in declaration order.
    QString stGrupoBem, stTGrupoBem, stCdBem, stTCdBem, stCdTpOper, stTCdTpOper, stCdMotivoOp, stTCdMotivoOp,
        stOperador, stTOperador, stSituacao, stFilial, stTFilial, stCCusto, stTCCusto, stTSetor, stSetor,
        stCliente, stTCliente, stSerieNF, stTSerieNF, stCdNF, stTCdNF, stFornecedor, stTFornecedor, stValBem,
        stValMotivo;
    // Every criterion as a new dialog's controls show it (lists "all", the
    // situation boxes as they stand, no invoice).
    void CriteriosPadrao();
    // The 27 criteria in declaration order (the order of the saved options).
    QVector<QString *> criteriaFields();
    // Their names in the saved options, in the same order.
    static QStringList criteriaNames();
    // The 23 criteria sent with the history call, in the order sent.
    QVector<QString *> criteriaSent();

    TMessages *msgPadrao;

    // The form's controls, by their names.
    QRadioButton *rbtTdGrupoBem, *rbtListaGrupoBem, *rbtTdBem, *rbtLsBem, *rbtTdTipoOper, *rbtLsTipoOper, *rbtTdMotivoOp,
        *rbtLsMotivoOp, *rbtTdRsponsavel, *rbtLsResponsavel, *rbtTdFilial, *rbtLsFilial, *rbtTdCentCust, *rbtLsCentCust,
        *rbtTdSetor, *rbtLsSetor, *rbtTdCliente, *rbtLsCliente, *rbtTdFornec, *rbtLsFornec;
    TBtnPesquisa *btpGrupoBem, *btpBem, *btpTipoOper, *btpMotivoOp, *btpResponsavel, *btpFilial, *btpCCusto, *btpSetor,
        *btpCliente, *btpFornecedor, *btpNumero, *btpSerieNF;
    QCheckBox *ckbNContabil, *ckbContabilizada, *ckbCancela;
    TMaskEdit *medNumero, *medSerieNF;
    QLineEdit *edtSerieNF;

    // List tables and their sources.
    TADOIBQuery *qryGrupoBem, *qryOperador, *qryFilial, *qryCliente, *qryFornecedor;
    TClientDataSet *cdsBem, *cdsTipoOper, *cdsMotivoOper, *cdsCentCust, *cdsSetor;
    TDataSource *dtsGrupoBem, *dtsBem, *dtsTipoOper, *dtsMotivoOper, *dtsOperador, *dtsFilial, *dtsCCusto,
        *dtsSetor, *dtsCliente, *dtsFornecedor;
    // Invoices of the number lookup and series of the series lookup.
    TClientDataSet *cdsNotaFisc;
    TADOIBQuery *qrySerieNF;
    TDataSource *dtsNotaFisc, *dtsSerieNF;

    QString stIndNConv;  // "S" when the last conversion left rows unconverted

    void FormCreate() override;
    void sbtConfirmaClick() override;
    void sbtCancelClick() override;
    // Converts the main screen's history by the chosen index and warns once
    // when some row had no index value.
    void Converte_Valores();
    void ckbNContabilClick();
    void ckbContabilizadaClick();
    void ckbCancelaClick();

    // Invoice number and series.
    void btpNumeroBeforePesq(TBtnPesquisa *sender, bool &allowPesq);
    void btpNumeroAfterPesq(TBtnPesquisa *sender);
    void btpSerieNFBeforePesq(TBtnPesquisa *sender, bool &allowPesq);
    void btpSerieNFAfterPesq(TBtnPesquisa *sender);
    void medSerieNFChange();
    void medSerieNFExit();
    // Registration numbers shown through the mask of each row's person type.
    void qryClienteNRINSJURCLIEGetText(TField *sender, QString &text, bool displayText);
    void qryFornecedorNRINSJURFORNGetText(TField *sender, QString &text, bool displayText);

    // Saved options: the 27 criteria travel in the option variables.
    void btfSaveOpcClick() override;
    void btfLoadOpcClick() override;

    // List buttons.
    void btpGrupoBemClick();
    void btpBemClick();
    void btpTipoOperClick();
    void btpMotivoOpClick();
    void btpResponsavelClick();
    void btpFilialClick();
    void btpCCustoClick();
    void btpSetorClick();
    void btpClienteClick();
    void btpFornecedorClick();
    // Radio buttons, when they become checked.
    void rbtTdGrupoBemClick();
    void rbtListaGrupoBemClick();
    void rbtTdBemClick();
    void rbtLsBemClick();
    void rbtTdTipoOperClick();
    void rbtLsTipoOperClick();
    void rbtTdMotivoOpClick();
    void rbtLsMotivoOpClick();
    void rbtTdRsponsavelClick();
    void rbtLsResponsavelClick();
    void rbtTdFilialClick();
    void rbtLsFilialClick();
    void rbtTdCentCustClick();
    void rbtLsCentCustClick();
    void rbtTdSetorClick();
    void rbtLsSetorClick();
    void rbtTdClienteClick();
    void rbtLsClienteClick();
    void rbtTdFornecClick();
    void rbtLsFornecClick();
    // Validators, in the order the confirmation runs them.
    void Vd_GrupoBem();
    void Vd_Bem();
    void Vd_TipoOper();
    void Vd_MotivoOp();
    void Vd_Operador();
    void Vd_Situacao();
    void Vd_Filial();
    void Vd_CentCust();
    void Vd_Setor();
    void Vd_Cliente();
    void Vd_Fornecedor();

private:
    std::unique_ptr<Ui::frmFiltroHistOpBem> ui;
    // The checked situation boxes encoded ("_1_3_"); empty when none is checked.
    QString situacaoMarcada() const;
    void situacaoClicada();
    void buildLists();
    void wireHandlers();
    // A list criterion without dependencies: "all" chosen, or a non-empty list.
    void escolheTodos(TBtnPesquisa *botao, QString &flag);
    void escolheLista(TBtnPesquisa *botao, QString &flag);
    void validaLista(QRadioButton *todos, QRadioButton *lista, QString &selecao, QString &flag, const char *msgInf);
    QString titulo(const char *caption, const char *naoCadastrado) const;
    QString motivosComChaveAtual(const QString &selecao) const;
    QString empresaTexto() const;   // text of the main screen's company edit
    QString empresaLinha() const;   // CDEMPRESA of the main screen's company row
    void buildInvoiceLists();
    void wireInvoiceHandlers();
    // What each "Lista" criterion holds, beside its radio.
    struct SelectionView {
        QRadioButton *lista;
        QString *selection;
        TClientDataSet *table;
        const char *keyField, *nameField;
        QLabel *count = nullptr;
        QHash<QString, QString> names;  // code -> name, from the lists shown
    };
    QVector<SelectionView> m_selectionViews;
    void buildSelectionCounts();
public:
    // Tells beside each "Lista" radio how many codes it holds (names in the tooltip).
    void mostraSelecoes();
    // One line naming the criteria that narrow the history, for a printed header.
    QString criteriosResumo() const;
};
