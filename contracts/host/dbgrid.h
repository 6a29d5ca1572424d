#pragma once
// Data-aware grid: a table view over a data set, columns bound to fields,
// selection and cursor kept in step both ways, no in-place editing.
#include "datasource.h"
#include "host_export.h"
#include <QAbstractTableModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QSet>
#include <QStringList>
#include <functional>

struct HOST_EXPORT TColumn {
    QString FieldName;
    QString Title;      // empty: the field's label
    int Width = 0;      // 0: default
    bool Visible = true;
    std::optional<TAlignment> Alignment;  // unset: the field's
};

class TDBGrid;
class TField;

// One column of an exported file: a field's values (numbers and dates as
// values, the rest as the grid shows them), under a title.
struct HOST_EXPORT TExportColumn {
    QString Title;
    TField *Field = nullptr;
    int WidthPx = 64;
    // Rows where the column holds nothing (unset: every row holds its value).
    std::function<bool(int row)> RowHasValue;
    // A text of the column's own instead of the field's (unset: the field's).
    std::function<QString(int row)> Text;
};

class HOST_EXPORT DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(TDBGrid *grid);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void rebind();
    void refreshRow(int row);
private:
    TDBGrid *m_grid;
    int m_rows = 0;
};

class HOST_EXPORT TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);

    void SetDataSource(TDataSource *ds);
    TDataSource *DataSource() const { return m_src; }
    TClientDataSet *DataSet() const { return m_src ? m_src->DataSet() : nullptr; }

    const QVector<TColumn> &Columns() const { return m_columns; }
    TColumn &Column(int i) { return m_columns[i]; }
    void SetColumns(const QVector<TColumn> &cols);
    void SetColumnVisible(int i, bool visible);
    void SetColumnAlignment(int i, TAlignment a);
    TField *ColumnField(int i) const;
    QString ColumnTitle(int i) const;
    // Text of a cell and the alignment it is painted with, worked out for that
    // row (its text handler runs first, as it may set the column's alignment);
    // neither the cursor nor row events move. A failing handler gives an empty
    // text, reported once after painting.
    QString CellText(int row, int col, TAlignment *alignment = nullptr);
    // Called with an exception being handled while a cell was displayed.
    void displayFailed();

    // Called after the default painting of each cell (row, column index).
    std::function<void(QPainter *, const QRect &, int row, int col, const QStyleOptionViewItem &)>
        OnDrawColumnCell;
    // Returns true when it handled the key.
    std::function<bool(QKeyEvent *)> OnKeyDown;
    // The columns of an exported file, given those the grid shows in the
    // user's order with their titles; unset: those.
    std::function<void(QVector<TExportColumn> &)> OnExportColumns;

    // The user's layout (order, columns hidden by the user, widths), by field
    // name; restoring skips fields it does not know. Right-click on the titles
    // shows or hides columns and restores the default; titles are dragged to
    // reorder and their edges to resize.
    QString SaveLayout() const;
    // What the titles' menu does for one column.
    void SetColumnHiddenByUser(int col, bool hidden);
    void RestoreLayout(const QString &layout);
    void RestoreDefaultLayout();

    DataSetModel *dataModel() const { return m_model; }

    // Shows only the rows keep accepts (a local narrowing: the table keeps every
    // row); a new load of the table shows them all again. Returns the rows kept.
    int SetRowFilter(const std::function<bool(int row)> &keep);
    void ClearRowFilter();
    bool RowFilterActive() const { return m_rowFilterActive; }
    // The rows of the data set the grid shows, in order: what a print or an
    // export of the grid holds (every row without a filter).
    QVector<int> ShownRows() const;

    // Said inside the grid when its table is open and holds no row (an empty
    // retrieval), never while it is closed; empty: nothing is said.
    void SetEmptyText(const QString &text);
    QString EmptyText() const { return m_emptyText; }
    bool ShowsEmptyText() const;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void bindDataSet();
    void applyColumns();
    void syncFromCursor(int row);
    friend class DataSetModel;
    QPointer<TDataSource> m_src;
    QVector<TColumn> m_columns;
    DataSetModel *m_model;
    QMetaObject::Connection m_c1, m_c2, m_c3, m_srcConn;
    bool m_syncing = false;
    bool m_displayErrorPending = false, m_displayErrorShown = false;
    bool m_applyingColumns = false;
    QVector<TColumn> m_defaultColumns;
    QSet<QString> m_userHidden;
    QSet<QString> m_userSized;  // columns whose width the user set: they never fit themselves
    QStringList m_order;  // fields in the user's order; empty: as declared
    QString m_emptyText;
    bool m_rowFilterActive = false;
    void headerMenu(const QPoint &at);
    void applyOrder();
};
