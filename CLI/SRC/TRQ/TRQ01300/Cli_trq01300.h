#pragma once
// Main screen "Histórico de Operações do Bem".
#include "adoibquery.h"
#include "datasource.h"
#include "frmpadraogrid.h"
#include "gridprint.h"
#include "netconnection.h"
#include <QHash>
#include <QPixmap>
#include <functional>
#include <memory>
#include <optional>

namespace Ui { class frmHistoricoBem; }
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;
class TBtnPesquisa;
class TDBMemo;
class TDateEditPlus;
class TMaskEdit;
struct TExportColumn;

// What the totals line says: rows shown, the sum of each money column (with an
// index, over converted rows only) and the rows left unconverted.
struct TotaisHistorico {
    int linhas = 0;
    int semConversao = 0;
    bool comIndice = false;
    QHash<QString, double> somas;  // by field
};

class TfrmHistoricoBem : public TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit TfrmHistoricoBem(QWidget *parent = nullptr);
    ~TfrmHistoricoBem() override;

    // Header.
    QFrame *panEmpresa;
    TMaskEdit *medCdEmpresa;
    TBtnPesquisa *btnEmpresa;
    QLineEdit *edtNmEmpresa;
    TDateEditPlus *depDtInicial, *depDtFinal;
    QLabel *lblIndFin;
    QLineEdit *edtSgIndice;
    TBtnPesquisa *btpIndFin;
    QLineEdit *edtNmIndice;
    QToolButton *sbtFiltro;
    QAction *mnuFolhaDados, *mnuFormulario, *Filtrar1, *mnuExportar;
    // Details page.
    QWidget *tshDadosComp;
    TDBGrid *dbgEspecOper, *dbgCTBLOper;
    TDBMemo *memObsOperacao;
    QLabel *imgConvertido, *imgNaoConvertido;

    // Tables and sources.
    TClientDataSet *cdsHistoricoBem, *cdsEspecOper, *cdsCTBLOper;
    TDataSource *dtsHistoricoBem, *dtsEspecOper, *dtsCTBLOper;
    // qryEmpresa holds the company validated in the header, which every call
    // and every figure shown belongs to; the lookup lists every company in a
    // statement of its own so that browsing the list never moves it.
    TADOIBQuery *qryEmpresa;
    TDataSource *dtsEmpresa;
    TADOIBQuery *qryListaEmpresa;
    TDataSource *dtsListaEmpresa;
    TClientDataSet *adqIndiceFin, *adqIndFin, *adqIndFinMes;
    TDataSource *dtsIndiceFin;
    TNetConnection *netHistoricoBem;
    QString stDtGeral;

    // Handlers.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void netHistoricoBemBeforeConnect(TNetConnection *sender);
    void medCdEmpresaKeyPress(QChar &key);
    void medCdEmpresaChange();
    void medCdEmpresaExit();
    void btnEmpresaBeforePesq(TBtnPesquisa *sender, bool &allowPesq);
    void btnEmpresaAfterPesq(TBtnPesquisa *sender);
    void depDtInicialExit();
    void depDtFinalExit();
    void panEmpresaEnter();
    void panEmpresaExit();
    void sbtFiltroClick();
    void Filtrar1Click();
    void mnuFolhaDadosClick();
    void mnuFormularioClick();
    void pgcPadraoChange();
    void dtsPadraoStateChange() override;
    void sbtVerificarClick() override;
    void cdsHistoricoBemAfterScroll(TClientDataSet *ds);
    void dbgEspecOperExit();
    // Financial index.
    void btpIndFinBeforePesq(TBtnPesquisa *sender, bool &allowPesq);
    void btpIndFinAfterPesq(TBtnPesquisa *sender);
    void edtSgIndiceChange();
    void edtSgIndiceExit();
    void carrega_Indice();
    void Converte_Valores();
    // Coded fields.
    void cdsHistoricoBemIDSITOPERABEMGetText(TField *sender, QString &text, bool displayText);
    void cdsHistoricoBemIDSITOPERABEMSetText(TField *sender, const QString &text);
    void cdsHistoricoBemIDIDENTOPERABEMGetText(TField *sender, QString &text, bool displayText);
    void cdsHistoricoBemIDIDENTOPERABEMSetText(TField *sender, const QString &text);
    void cdsEspecOperIDESPECIFICABEMGetText(TField *sender, QString &text, bool displayText);
    void cdsEspecOperIDESPECIFICABEMSetText(TField *sender, const QString &text);
    void cdsEspecOperVALORGetText(TField *sender, QString &text, bool displayText);
    void cdsEspecOperVALORSetText(TField *sender, const QString &text);
    void cdsCTBLOperIDTIPOOPERCONTGetText(TField *sender, QString &text, bool displayText);
    void cdsHistoricoBemConvertedGetText(TField *sender, QString &text, bool displayText);
    void adqIndiceFinCDTPINDICEGetText(TField *sender, QString &text, bool displayText);
    void dbgPadraoDrawColumnCell(QPainter *p, const QRect &rect, int row, int col);

    void vd_Empresa(bool boTestaVazio);
    void vd_Data(bool flag);
    // True while the focus is in the header (or nowhere yet): the tables are
    // closed and a change of the header waits for the header to be left.
    bool editandoCabecalho();
    // A lookup that changes the header: while results are shown it is a
    // change of the header, so the tables close as on entering it and the
    // header is validated as on leaving it (the filter opens).
    void mudaCabecalho(const std::function<void()> &muda);

    // The history call with the criteria of the filter dialog, loaded into the history table.
    void CarregaHistorico();
    // Specifications and accounting entries of the given keys.
    void CarregaEspecOper(const QString &nrSeqOper, const QString &cdBem);
    void CarregaCTBLOper(const QString &nrSeqCapa, const QString &nrSeqItem);
    // A grid's rows to a spreadsheet file the user names (the proposal names the
    // screen, the company and the period).
    void Exportar(TDBGrid *grid);
    void mnuExportarClick();
    // The history's columns in an exported file (amounts in reais beside the
    // converted ones, the mark and the index in columns of their own).
    void colunasExportadas(QVector<TExportColumn> &cols);

    // "Resumo do período" (Ctrl+R) over the rows shown.
    QAction *mnuResumo = nullptr;
    void mnuResumoClick();
    // Narrows the history grid to one cell of the summary (group null: any
    // group; kind empty: any kind); no call to the server. "Limpar filtro" or a
    // new retrieval shows all again.
    int filtraHistorico(const QString &groupField, const std::optional<QString> &group, const QString &kind,
                        const QString &caption);
    void limpaFiltroHistorico();
    QPushButton *btnLimparFiltro = nullptr;

    // Printing: the grid in use, with the query's header on every page.
    QAction *mnuImprimir = nullptr;
    void sbtImprimirClick();
    void Imprimir(TDBGrid *grid);
    host::PrintHeader cabecalhoImpressao(TDBGrid *grid) const;
    // The history's print to a PDF file, without a preview: what the host's
    // --pdf asks of the screen it opened (by name: the host links no package).
    Q_INVOKABLE bool SalvarPdf(const QString &file);

    // The totals line under the history grid.
    QLabel *lblTotais = nullptr;
    TotaisHistorico calculaTotais() const;
    const TotaisHistorico &totais() const { return m_totais; }
    // With an index chosen, a row the conversion could not convert stays out of
    // every converted sum (totals, summary, its narrowing).
    bool foraDasSomas(int row) const;
    // The word the grid shows for a row's kind of operation, worked out once per
    // code in the cache given.
    QString palavraDoTipo(int row, QHash<QString, QString> &cache) const;

    // Runs an action that moves through the history by code (retrieval,
    // conversion). Row changes inside it load no details: the row left current
    // gets them once when the outermost walk ends; a failed walk empties them
    // so they never belong to another row. Index values are asked once per
    // index and date within the walk.
    void WalkHistory(const std::function<void()> &walk);
    // An index value call, answered from the walk's earlier identical call.
    wire::Reply IndexValues(const QString &method, const QVector<TNetArg> &args);
    // From this many distinct dates (or months) on, the conversion asks the
    // index values of the whole range in one call instead of one per date.
    int DatasParaIndiceDoPeriodo = 16;

private:
    void buildTables();
    void buildGrids();
    void wireHandlers();
    void wireExport();
    void buildTotals();
    QAction *acaoDoMenu(const char *name, const QString &text, const QKeySequence &key, const std::function<void()> &run);
    void wirePrint();
    void atualizaTotais();
    void mostraTotais();
    TotaisHistorico m_totais;
    QString m_filtro;  // what the summary narrowed the grid to; empty: every row
    std::unique_ptr<Ui::frmHistoricoBem> ui;
    int m_walks = 0;
    bool m_detailsWaiting = false;
    QHash<QString, wire::Reply> m_indexValues;
};

// The value conversion by financial index, shared by the screen's refresh and
// the filter dialog's confirmation; returns true when some row could not be converted.
bool ConverteValoresHistorico(TfrmHistoricoBem *frm);
