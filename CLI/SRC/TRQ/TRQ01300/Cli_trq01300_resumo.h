#pragma once
// "Resumo do período": the movements of the history shown, by asset group (or
// kind of operation, branch, cost centre) and kind of operation, counted and
// summed, with totals; converted when an index is chosen (rows that could not
// be converted are counted, and left out of the sums). Worked out over the rows the screen holds:
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

// Every row of the cell is counted; with an index only the converted ones are
// summed (in whole cents), as the totals line under the grid does.
struct ResumoCelula {
    int quantidade = 0;
    int somadas = 0;       // rows in the sum
    qint64 centavos = 0;
    double valor() const { return double(centavos) / 100; }
};

struct ResumoPeriodo {
    QStringList linhas;  // the groups, in order
    QStringList tipos;   // the kinds of operation, in order
    QHash<QString, QHash<QString, ResumoCelula>> celulas;  // group -> kind -> cell
    QHash<QString, ResumoCelula> porLinha, porTipo;
    ResumoCelula total;
    int semConversao = 0;  // with an index: rows counted but left out of the sums
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
