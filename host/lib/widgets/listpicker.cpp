#include "listpicker.h"
#include "dataset.h"
#include "datasource.h"
#include "prompter.h"
#include "selectionstring.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

namespace host {

QString foldForSearch(const QString &text)
{
    const QString d = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(d.size());
    for (QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing) out += c;
    return out.toCaseFolded();
}

ListPickerModel::ListPickerModel(TClientDataSet *ds, const QString &keyField, const QString &selection, QObject *parent)
    : QAbstractTableModel(parent), m_ds(ds), m_key(ds->FindField(keyField))
{
    for (TField *f : ds->Fields())
        if (f->Visible) m_shown << f;
    const int n = ds->RecordCount();
    m_marked.fill(false, n);
    m_search.resize(n);
    const QStringList chosen = wire::parseSelection(selection);
    const QSet<QString> wanted(chosen.cbegin(), chosen.cend());
    for (int r = 0; r < n; ++r) {
        QString all;
        for (TField *f : m_shown) {
            all += f->DisplayTextAt(r);
            all += QChar(0x1f);  // keeps a search from matching across columns
        }
        m_search[r] = foldForSearch(all);
        if (m_key && !wanted.isEmpty() && wanted.contains(m_key->DefaultText(ds->valueAt(r, m_key->Index()), false))) {
            m_marked[r] = true;
            ++m_markedCount;
        }
    }
}

int ListPickerModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_marked.size(); }
int ListPickerModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_shown.size() + 1; }

QVariant ListPickerModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return {};
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole) return m_marked.at(index.row()) ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    TField *f = m_shown.at(index.column() - 1);
    if (role == Qt::DisplayRole) return f->DisplayTextAt(index.row());
    if (role == Qt::TextAlignmentRole)
        return int((f->Alignment == TAlignment::Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

bool ListPickerModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    setMarked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

void ListPickerModel::setMarked(int row, bool on)
{
    if (m_marked.at(row) == on) return;
    m_marked[row] = on;
    m_markedCount += on ? 1 : -1;
    emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
    emit marksChanged();
}

QStringList ListPickerModel::markedKeys() const
{
    QStringList keys;
    if (!m_key) return keys;
    for (int r = 0; r < m_marked.size(); ++r)
        if (m_marked.at(r)) keys << m_key->DefaultText(m_ds->valueAt(r, m_key->Index()), false);
    return keys;
}

QVariant ListPickerModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 0) return QString();
    return m_shown.at(section - 1)->Label();
}

Qt::ItemFlags ListPickerModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

int ListPickerModel::displayWidth(int column) const
{
    if (column == 0) return 2;
    TField *f = m_shown.at(column - 1);
    const int w = f->DisplayWidth > 0 ? f->DisplayWidth : f->Size() > 0 ? f->Size() : 12;
    return std::clamp(std::max<int>(w, f->Label().size()), 4, 60);
}

void ListPickerFilter::setSearch(const QString &text)
{
    const QString needle = foldForSearch(text.trimmed());
    if (needle == m_needle) return;
    m_needle = needle;
    // One layout change: removing thousands of scattered rows one range at a
    // time costs the view hundreds of milliseconds.
    invalidate();
}

bool ListPickerFilter::filterAcceptsRow(int row, const QModelIndex &) const
{
    if (m_needle.isEmpty()) return true;
    return static_cast<ListPickerModel *>(sourceModel())->searchText(row).contains(m_needle);
}

ListPickerDialog::ListPickerDialog(TClientDataSet *ds, const QString &keyField, const QString &title,
                                   const QString &selection, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgPesquisaLista"));
    setWindowTitle(title.section(QLatin1Char('|'), 0, 0));
    m_model = new ListPickerModel(ds, keyField, selection, this);
    m_filter = new ListPickerFilter(this);
    m_filter->setSourceModel(m_model);
    auto *lay = new QVBoxLayout(this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("edtPesquisa"));
    m_search->setPlaceholderText(QStringLiteral("Pesquisar…"));
    m_search->setAccessibleName(QStringLiteral("Pesquisar"));
    m_search->setClearButtonEnabled(true);
    lay->addWidget(m_search);
    m_empty = new QLabel(title.section(QLatin1Char('|'), 1), this);
    m_empty->setObjectName(QStringLiteral("lblVazio"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setVisible(m_model->rowCount() == 0);
    lay->addWidget(m_empty);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("dbgLista"));
    m_view->setAccessibleName(windowTitle());
    m_view->setModel(m_filter);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->setWordWrap(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    const int charW = m_view->fontMetrics().averageCharWidth();
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_view->setColumnWidth(c, c == 0 ? 28 : m_model->displayWidth(c) * charW + 12);
    // Tab leaves the list for the buttons, as it does every other control.
    m_view->setTabKeyNavigation(false);
    m_view->installEventFilter(this);
    m_search->installEventFilter(this);
    m_view->setVisible(m_model->rowCount() > 0);
    lay->addWidget(m_view, 1);
    auto *bottom = new QHBoxLayout;
    auto *all = new QPushButton(QStringLiteral("Marcar todos"), this);
    auto *none = new QPushButton(QStringLiteral("Desmarcar todos"), this);
    all->setObjectName(QStringLiteral("btnMarcarTodos"));
    none->setObjectName(QStringLiteral("btnDesmarcarTodos"));
    for (QPushButton *b : {all, none}) {
        b->setAutoDefault(false);
        b->setEnabled(m_model->rowCount() > 0);
        bottom->addWidget(b);
    }
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblMarcados"));
    bottom->addStretch(1);
    bottom->addWidget(m_count);
    auto *bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    bb->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Confirmar"));
    bb->button(QDialogButtonBox::Ok)->setDefault(true);
    bb->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    bottom->addWidget(bb);
    lay->addLayout(bottom);
    connect(bb, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(bb, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(all, &QPushButton::clicked, this, [this] { markShown(true); });
    connect(none, &QPushButton::clicked, this, [this] { markShown(false); });
    connect(m_search, &QLineEdit::textChanged, this, &ListPickerDialog::setSearch);
    connect(m_model, &ListPickerModel::marksChanged, this, &ListPickerDialog::updateCount);
    updateCount();
    int width = 40;
    for (int c = 0; c < m_model->columnCount(); ++c) width += m_view->columnWidth(c);
    resize(std::clamp(width, 420, 900), 460);
    if (m_model->rowCount() > 0) m_view->setCurrentIndex(m_filter->index(0, 1));
    m_search->setFocus();
}

QString ListPickerDialog::result() const { return wire::joinSelection(m_model->markedKeys()); }

void ListPickerDialog::setSearch(const QString &text)
{
    m_filter->setSearch(text);
    if (m_filter->rowCount() > 0 && !m_view->currentIndex().isValid()) m_view->setCurrentIndex(m_filter->index(0, 1));
    updateCount();
}

int ListPickerDialog::shownRows() const { return m_filter->rowCount(); }

void ListPickerDialog::markShown(bool on)
{
    const QSignalBlocker block(m_model);
    for (int r = 0; r < m_filter->rowCount(); ++r) m_model->setMarked(m_filter->mapToSource(m_filter->index(r, 0)).row(), on);
    m_view->viewport()->update();
    updateCount();
}

void ListPickerDialog::toggleCurrent()
{
    const QModelIndex cur = m_view->currentIndex();
    if (!cur.isValid()) return;
    const int row = m_filter->mapToSource(cur).row();
    m_model->setMarked(row, !m_model->marked(row));
}

bool ListPickerDialog::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() != QEvent::KeyPress) return QDialog::eventFilter(o, e);
    auto *k = static_cast<QKeyEvent *>(e);
    const bool plain = !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (o == m_view) {
        // Space marks the current row; whatever else is typed goes to the
        // search box, which takes the focus.
        if (k->key() == Qt::Key_Space) {
            toggleCurrent();
            return true;
        }
        const bool typing = plain && (k->key() == Qt::Key_Backspace || (!k->text().isEmpty() && k->text().at(0).isPrint()));
        if (typing) {
            m_search->setFocus(Qt::OtherFocusReason);
            QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(), k->count());
            QCoreApplication::sendEvent(m_search, &copy);
            return true;
        }
    } else if (o == m_search && plain && m_view->isVisible()) {
        // The arrows move through the list while the search keeps the focus.
        switch (k->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(), k->count());
            QCoreApplication::sendEvent(m_view, &copy);
            return true;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(o, e);
}

void ListPickerDialog::updateCount()
{
    m_count->setText(QStringLiteral("%1 marcado(s) de %2 — %3 na lista")
                         .arg(m_model->markedCount())
                         .arg(m_model->rowCount())
                         .arg(m_filter->rowCount()));
}

}  // namespace host

void PesquisaLista(TDataSource *source, const QString &keyField, const QString &title, bool, QString &selection)
{
    TClientDataSet *ds = source ? source->DataSet() : nullptr;
    if (!ds) return;
    selection = host::prompter()->pickList(title, ds, keyField, selection);
}
