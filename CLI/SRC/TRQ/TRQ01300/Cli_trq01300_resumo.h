#pragma once
// "Resumo do período": the movements of the history shown, by asset group (or
// kind of operation, branch, cost centre) and kind of operation, counted and
// summed, with totals; converted when an index is chosen (rows that could not
// be converted are counted apart). Worked out over the rows the screen holds:
// no call to the server.
#include <QDialog>
#include <QHash>
#include <QStringList>
#include <QVector>

class QComboBox;
class TClientDataSet;
class TDBGrid;
class TDataSource;
class TfrmHistoricoBem;

struct ResumoCelula {
    int quantidade = 0;
    double valor = 0;
};

struct ResumoPeriodo {
    QStringList linhas;  // the groups, in order
    QStringList tipos;   // the kinds of operation, in order
    QHash<QString, QHash<QString, ResumoCelula>> celulas;  // group -> kind -> cell
    QHash<QString, ResumoCelula> porLinha, porTipo;
    ResumoCelula total;
    int semConversao = 0;  // with an index: rows left out of the sums
};

// groupField: NMGRUPOBEM, NMTIPOOPERBEM, NMFILIAL or NMCENTCUST.
ResumoPeriodo resumirHistorico(TfrmHistoricoBem *frm, const QString &groupField);

class TfrmResumoPeriodo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmResumoPeriodo(TfrmHistoricoBem *screen);
    TClientDataSet *cdsResumo;
    TDBGrid *dbgResumo;
    QComboBox *cbxAgrupar;
    void recalcula();
    // Narrows the history to the rows of a cell (the total row or column: any).
    void filtraCelula(int row, int column);
private:
    QStringList m_linhas, m_tipos;
    TfrmHistoricoBem *m_screen;
    TDataSource *m_src;
};
