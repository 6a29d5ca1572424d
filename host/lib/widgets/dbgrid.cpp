#include "dbgrid.h"
#include <QFontMetrics>
#include <QScopedValueRollback>
#include <QStyle>
#include "consiste.h"
#include "dispatch.h"
#include "hostlog.h"
#include "prompter.h"

#include <QHeaderView>
#include <QMenu>
#include <QKeyEvent>
#include <QPainter>

namespace {
// How a column fits its texts: rows looked at (the first ones: a long history
// costs no more), the room around a text, and the widest a column grows alone.
constexpr int kFitSampleRows = 300;
constexpr int kCellMargins = 14;
constexpr int kFitCapPx = 280;


// Paints the cell as usual, then hands the painter to the grid's hook.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TDBGrid *g) : QStyledItemDelegate(g), m_grid(g) {}
    void paint(QPainter *p, const QStyleOptionViewItem &opt, const QModelIndex &idx) const override
    {
        QStyledItemDelegate::paint(p, opt, idx);
        if (!m_grid->OnDrawColumnCell) return;
        p->save();
        try {
            m_grid->OnDrawColumnCell(p, opt.rect, idx.row(), idx.column(), opt);
        } catch (...) {
            m_grid->displayFailed();
        }
        p->restore();
    }
private:
    TDBGrid *m_grid;
};

Qt::Alignment qtAlign(TAlignment a)
{
    switch (a) {
    case TAlignment::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case TAlignment::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

}  // namespace

DataSetModel::DataSetModel(TDBGrid *grid) : QAbstractTableModel(grid), m_grid(grid) {}

int DataSetModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_rows; }

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid->m_columns.size();
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows) return {};
    TField *f = m_grid->ColumnField(index.column());
    if (!f) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::TextAlignmentRole) {
        // Qt asks for the alignment before the text: both come from the text
        // handler run for this row, which may set the column's alignment.
        TAlignment a = TAlignment::Left;
        const QString t = m_grid->CellText(index.row(), index.column(), &a);
        if (role == Qt::TextAlignmentRole) return int(qtAlign(a));
        if (role == Qt::ToolTipRole && t.size() < 40) return {};
        return t;
    }
    return {};
}

QVariant DataSetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < m_grid->m_columns.size())
        return m_grid->ColumnTitle(section);
    return {};
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void DataSetModel::rebind()
{
    beginResetModel();
    TClientDataSet *ds = m_grid->DataSet();
    m_rows = ds && ds->Active() ? ds->RecordCount() : 0;
    endResetModel();
}

void DataSetModel::refreshRow(int row)
{
    if (row < 0 || row >= m_rows || columnCount() == 0) return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent), m_model(new DataSetModel(this))
{
    setModel(m_model);
    setItemDelegate(new GridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);  // Tab moves between controls
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultSectionSize(64);
    setAlternatingRowColors(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    // A width the user drags stays the column's width when the rows are loaded again.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int i, int, int size) {
        if (m_applyingColumns || i >= m_columns.size() || size <= 0) return;
        m_columns[i].Width = size;
        m_userSized.insert(m_columns[i].FieldName);
    });
    horizontalHeader()->setSectionsMovable(true);
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, [this] {
        if (m_applyingColumns) return;
        m_order.clear();
        for (int v = 0; v < horizontalHeader()->count(); ++v) {
            const int c = horizontalHeader()->logicalIndex(v);
            if (c >= 0 && c < m_columns.size()) m_order << m_columns[c].FieldName;
        }
    });
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this, &TDBGrid::headerMenu);
}

void TDBGrid::SetDataSource(TDataSource *ds)
{
    disconnect(m_srcConn);
    m_src = ds;
    if (ds) m_srcConn = connect(ds, &TDataSource::dataSetChanged, this, [this] { bindDataSet(); });
    bindDataSet();
}

QString TDBGrid::CellText(int row, int col, TAlignment *alignment)
{
    if (col < 0 || col >= m_columns.size()) return {};
    TField *f = ColumnField(col);
    QString t;
    if (f) {
        try {
            t = f->DisplayTextAt(row);
        } catch (...) {
            t.clear();
            displayFailed();
        }
    }
    if (alignment) {
        const TColumn &c = m_columns[col];
        *alignment = c.Alignment.value_or(f ? f->Alignment : TAlignment::Left);
    }
    return t;
}

void TDBGrid::displayFailed()
{
    // Painting must never open a dialog: the cell stays empty and the error is
    // told once, after painting, until the data changes.
    QString detail;
    try {
        throw;
    } catch (const host::EHostError &e) {
        detail = e.text();
    } catch (const std::exception &e) {
        detail = QString::fromUtf8(e.what());
    } catch (...) {
        detail = QStringLiteral("erro desconhecido");
    }
    qCWarning(lcGrid) << objectName() << "cell display failed:" << detail;
    if (m_displayErrorPending || m_displayErrorShown) return;
    m_displayErrorPending = true;
    QMetaObject::invokeMethod(this, [this] {
        m_displayErrorPending = false;
        m_displayErrorShown = true;
        host::prompter()->error(QStringLiteral("Não foi possível mostrar alguns valores da grade."));
    }, Qt::QueuedConnection);
}

void TDBGrid::bindDataSet()
{
    disconnect(m_c1);
    disconnect(m_c2);
    disconnect(m_c3);
    TClientDataSet *ds = DataSet();
    if (ds) {
        m_c1 = connect(ds, &TClientDataSet::contentReset, this, [this] {
            m_displayErrorShown = false;
            m_rowFilterActive = false;  // the model's reset shows every row again
            m_model->rebind();
            applyColumns();
        });
        m_c2 = connect(ds, &TClientDataSet::rowChanged, this, [this](int row) {
            m_displayErrorShown = false;
            m_model->refreshRow(row);
        });
        m_c3 = connect(ds, &TClientDataSet::currentChanged, this, &TDBGrid::syncFromCursor);
    }
    m_model->rebind();
    applyColumns();
    if (ds) syncFromCursor(ds->RecNo());
}

void TDBGrid::SetColumns(const QVector<TColumn> &cols)
{
    m_columns = cols;
    m_defaultColumns = cols;
    m_userHidden.clear();
    m_userSized.clear();
    m_order.clear();
    m_model->rebind();
    applyColumns();
}

void TDBGrid::applyColumns()
{
    const QScopedValueRollback<bool> applying(m_applyingColumns, true);
    const QFontMetrics fm = horizontalHeader()->fontMetrics();
    // Room around a title: the header section's margins on both sides.
    const int margins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 8;
    const TClientDataSet *ds = DataSet();
    const int sample = ds && ds->Active() ? std::min(ds->RecordCount(), kFitSampleRows) : 0;
    const QFontMetrics cellFm = fontMetrics();
    for (int i = 0; i < m_columns.size(); ++i) {
        setColumnHidden(i, !m_columns[i].Visible || m_userHidden.contains(m_columns[i].FieldName));
        // A width is never narrower than its title at the font in use.
        const QString title = m_model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
        int fit = fm.horizontalAdvance(title) + margins;
        const int given = m_columns[i].Width > 0 ? m_columns[i].Width : columnWidth(i);
        // The stated width is where a column starts: it grows to its widest text
        // among the first rows, up to a cap, unless the user sized it.
        if (!m_userSized.contains(m_columns[i].FieldName) && !isColumnHidden(i)) {
            int widest = 0;
            TField *f = ColumnField(i);
            for (int r = 0; f && r < sample; ++r) {
                QString t;
                try {
                    t = f->DisplayTextAt(r);
                } catch (...) {
                    // Told once by the painting that meets it, not by the measuring.
                }
                widest = std::max(widest, cellFm.horizontalAdvance(t));
            }
            if (widest > 0) fit = std::max(fit, std::min(widest + kCellMargins, kFitCapPx));
        }
        setColumnWidth(i, std::max(given, fit));
    }
    applyOrder();
}

void TDBGrid::SetColumnVisible(int i, bool visible)
{
    if (i < 0 || i >= m_columns.size()) return;
    m_columns[i].Visible = visible;
    setColumnHidden(i, !visible || m_userHidden.contains(m_columns[i].FieldName));
}

void TDBGrid::applyOrder()
{
    if (m_order.isEmpty()) return;
    const QScopedValueRollback<bool> applying(m_applyingColumns, true);
    QHeaderView *h = horizontalHeader();
    int to = 0;
    for (const QString &field : m_order) {
        for (int c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c].FieldName != field) continue;
            h->moveSection(h->visualIndex(c), to++);
            break;
        }
    }
}

QString TDBGrid::SaveLayout() const
{
    // field:width:shown, in the order seen; "|" between columns.
    QStringList parts;
    const QHeaderView *h = horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (c < 0 || c >= m_columns.size()) continue;
        const TColumn &col = m_columns[c];
        parts << QStringLiteral("%1:%2:%3").arg(col.FieldName).arg(col.Width).arg(m_userHidden.contains(col.FieldName) ? 0 : 1);
    }
    return parts.join(QLatin1Char('|'));
}

void TDBGrid::RestoreLayout(const QString &layout)
{
    if (layout.size() > 20000) return;  // not a layout this grid wrote
    QStringList order;
    QSet<QString> hidden;
    for (const QString &part : layout.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QStringList f = part.split(QLatin1Char(':'));
        if (f.size() != 3) continue;
        bool okW = false;
        const int width = f[1].toInt(&okW);
        for (TColumn &col : m_columns) {
            if (col.FieldName != f[0]) continue;
            if (okW && width >= 0 && width <= 2000) col.Width = width;
            // A width other than the program's was the user's.
            for (const TColumn &def : m_defaultColumns)
                if (def.FieldName == col.FieldName && def.Width != col.Width) m_userSized.insert(col.FieldName);
            if (f[2] == QLatin1String("0")) hidden << col.FieldName;
            order << col.FieldName;
        }
    }
    m_userHidden = hidden;
    m_order = order;
    applyColumns();
}

void TDBGrid::RestoreDefaultLayout()
{
    // The program's own visibility (columns it shows or hides itself) stays.
    for (int i = 0; i < m_columns.size() && i < m_defaultColumns.size(); ++i) m_columns[i].Width = m_defaultColumns[i].Width;
    m_userHidden.clear();
    m_userSized.clear();
    m_order.clear();
    const QScopedValueRollback<bool> applying(m_applyingColumns, true);
    QHeaderView *h = horizontalHeader();
    for (int c = 0; c < m_columns.size(); ++c) h->moveSection(h->visualIndex(c), c);
    applyColumns();
}

void TDBGrid::SetColumnHiddenByUser(int c, bool hidden)
{
    if (c < 0 || c >= m_columns.size()) return;
    if (hidden) m_userHidden.insert(m_columns[c].FieldName);
    else m_userHidden.remove(m_columns[c].FieldName);
    setColumnHidden(c, hidden || !m_columns[c].Visible);
}

void TDBGrid::headerMenu(const QPoint &at)
{
    QMenu menu(this);
    for (int c = 0; c < m_columns.size(); ++c) {
        if (!m_columns[c].Visible) continue;  // columns the program hides are not the user's to show
        QAction *a = menu.addAction(ColumnTitle(c));
        a->setCheckable(true);
        a->setChecked(!m_userHidden.contains(m_columns[c].FieldName));
        connect(a, &QAction::toggled, this, [this, c](bool on) { SetColumnHiddenByUser(c, !on); });
    }
    menu.addSeparator();
    QAction *reset = menu.addAction(QStringLiteral("Restaurar padrão"));
    connect(reset, &QAction::triggered, this, &TDBGrid::RestoreDefaultLayout);
    menu.exec(horizontalHeader()->mapToGlobal(at));
}

void TDBGrid::SetColumnAlignment(int i, TAlignment a)
{
    if (i < 0 || i >= m_columns.size()) return;
    m_columns[i].Alignment = a;
}

TField *TDBGrid::ColumnField(int i) const
{
    TClientDataSet *ds = DataSet();
    if (!ds || i < 0 || i >= m_columns.size()) return nullptr;
    return ds->FindField(m_columns[i].FieldName);
}

QString TDBGrid::ColumnTitle(int i) const
{
    const TColumn &c = m_columns[i];
    if (!c.Title.isEmpty()) return c.Title;
    TField *f = ColumnField(i);
    return f ? f->Label() : c.FieldName;
}

void TDBGrid::syncFromCursor(int row)
{
    if (m_syncing) return;
    m_syncing = true;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearSelection();
    } else {
        // A hidden column (such as a mark column not shown) cannot be scrolled to.
        int col = currentIndex().isValid() ? currentIndex().column() : -1;
        if (col < 0 || isColumnHidden(col)) {
            col = 0;
            while (col + 1 < m_model->columnCount() && isColumnHidden(col)) ++col;
        }
        const QModelIndex idx = m_model->index(row, col);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    m_syncing = false;
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid()) return;
    TClientDataSet *ds = DataSet();
    if (!ds || current.row() == ds->RecNo()) return;
    m_syncing = true;
    host::dispatch([&] { ds->SetRecNo(current.row()); });
    m_syncing = false;
    // The cursor may have refused the move or been moved elsewhere by a handler.
    if (ds->RecNo() != current.row()) syncFromCursor(ds->RecNo());
}

void TDBGrid::keyPressEvent(QKeyEvent *e)
{
    bool handled = false;
    if (OnKeyDown) host::dispatch([&] { handled = OnKeyDown(e); });
    if (!handled) QTableView::keyPressEvent(e);
}

// Declared with the screens' small helpers; it belongs with the grid.
int IndiceCol(const TDBGrid *grid, const QString &field)
{
    if (!grid) return -1;
    const auto &cols = grid->Columns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols[i].FieldName.compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TDBGrid::SetEmptyText(const QString &text)
{
    m_emptyText = text;
    viewport()->update();
}

bool TDBGrid::ShowsEmptyText() const
{
    const TClientDataSet *ds = DataSet();
    return !m_emptyText.isEmpty() && ds && ds->Active() && ds->IsEmpty();
}

void TDBGrid::paintEvent(QPaintEvent *e)
{
    QTableView::paintEvent(e);
    if (!ShowsEmptyText()) return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Text));
    p.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
}

int TDBGrid::SetRowFilter(const std::function<bool(int)> &keep)
{
    const int rows = m_model->rowCount();
    int kept = 0;
    int first = -1;
    for (int r = 0; r < rows; ++r) {
        const bool on = keep(r);
        setRowHidden(r, !on);
        if (on) {
            ++kept;
            if (first < 0) first = r;
        }
    }
    m_rowFilterActive = true;
    // The cursor goes to the first row kept, so the details shown are one of them.
    if (first >= 0 && DataSet()) DataSet()->SetRecNo(first);
    return kept;
}

QVector<int> TDBGrid::ShownRows() const
{
    TClientDataSet *ds = DataSet();
    const int rows = ds && ds->Active() ? ds->RecordCount() : 0;
    QVector<int> out;
    out.reserve(rows);
    for (int r = 0; r < rows; ++r)
        if (!m_rowFilterActive || !isRowHidden(r)) out << r;
    return out;
}

void TDBGrid::ClearRowFilter()
{
    if (!m_rowFilterActive) return;
    for (int r = 0; r < m_model->rowCount(); ++r) setRowHidden(r, false);
    m_rowFilterActive = false;
}
