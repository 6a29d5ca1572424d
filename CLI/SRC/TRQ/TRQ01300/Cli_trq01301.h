#pragma once
// Filter dialog "Filtro de Histórico de Operações do Bem".
#include "frmfiltropadrao.h"
#include <QVector>
#include <memory>

namespace Ui { class frmFiltroHistOpBem; }
class QCheckBox;
class QRadioButton;
class TBtnPesquisa;
class TMaskEdit;

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
    // The 27 criteria in declaration order (the order of the saved options).
    QVector<QString *> criteriaFields();
    // The 23 criteria sent with the history call, in the order sent.
    QVector<QString *> criteriaSent();

    std::unique_ptr<Ui::frmFiltroHistOpBem> ui;

    QString stIndNConv;  // "S" when the last conversion left rows unconverted

    void FormCreate() override;
    // Converts the main screen's history by the chosen index and warns once
    // when some row had no index value.
    void Converte_Valores();
    void ckbNContabilClick();
    void ckbContabilizadaClick();
    void ckbCancelaClick();
};
