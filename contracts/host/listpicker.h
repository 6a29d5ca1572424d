#pragma once
// The multi-selection list picker: a modal window over the rows of a data set
// (a view over the set itself, whose cursor it never moves), with a search
// that narrows the rows as one types, marks, and a selection string as result.
#include "host_export.h"
#include <QAbstractTableModel>
#include <QDialog>
#include <QSortFilterProxyModel>

class QLabel;
class QLineEdit;
class QTableView;
class TClientDataSet;
class TDataSource;
class TField;

namespace host {

// Text folded for searching: no accents, no case.
HOST_EXPORT QString foldForSearch(const QString &text);

// Rows of a data set with a mark column first, then its visible fields.
class HOST_EXPORT ListPickerModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ListPickerModel(TClientDataSet *ds, const QString &keyField, const QString &selection, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    bool marked(int row) const { return m_marked.at(row); }
    void setMarked(int row, bool on);
    int markedCount() const { return m_markedCount; }
    // Keys of the marked rows, in row order.
    QStringList markedKeys() const;
    const QString &searchText(int row) const { return m_search.at(row); }
    int displayWidth(int column) const;  // characters
signals:
    void marksChanged();
private:
    TClientDataSet *m_ds;
    TField *m_key;
    QVector<TField *> m_shown;
    QVector<bool> m_marked;
    QVector<QString> m_search;
    int m_markedCount = 0;
};

// Keeps the rows whose shown texts contain the search text.
class HOST_EXPORT ListPickerFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setSearch(const QString &text);
protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;
private:
    QString m_needle;
};

class HOST_EXPORT ListPickerDialog : public QDialog {
    Q_OBJECT
public:
    // title: "caption|text shown when the list has no rows".
    ListPickerDialog(TClientDataSet *ds, const QString &keyField, const QString &title, const QString &selection,
                     QWidget *parent = nullptr);
    // The marked keys as a selection string; empty when none is marked.
    QString result() const;
    void setSearch(const QString &text);
    int shownRows() const;
    // Marks or unmarks the rows shown.
    void markShown(bool on);
    void toggleCurrent();
    ListPickerModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    QLineEdit *searchBox() const { return m_search; }
    QLabel *emptyLabel() const { return m_empty; }
    QLabel *countLabel() const { return m_count; }
protected:
    bool eventFilter(QObject *o, QEvent *e) override;
private:
    void updateCount();
    ListPickerModel *m_model;
    ListPickerFilter *m_filter;
    QTableView *m_view;
    QLineEdit *m_search;
    QLabel *m_empty, *m_count;
};

}  // namespace host

// Lets the user mark rows of the source; the selection string goes in and the
// picker's result comes back in it (unchanged when the user cancels).
HOST_EXPORT void PesquisaLista(TDataSource *source, const QString &keyField, const QString &title, bool flag,
                               QString &selection);
