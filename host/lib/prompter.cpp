#include "prompter.h"
#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "listpicker.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QMessageBox>
#include <QVBoxLayout>

namespace host {

namespace {
QtPrompter g_qtPrompter;
Prompter *g_prompter = nullptr;

QWidget *dialogParent() { return QApplication::activeWindow(); }

// Columns of the visible fields of a data set, for the pickers.
QVector<TColumn> visibleColumns(TClientDataSet *ds)
{
    QVector<TColumn> cols;
    for (TField *f : ds->Fields())
        if (f->Visible) cols.push_back({f->FieldName(), {}, 0, true, {}});
    return cols;
}

}  // namespace

Prompter *prompter() { return g_prompter ? g_prompter : &g_qtPrompter; }
void setPrompter(Prompter *p) { g_prompter = p; }

void QtPrompter::error(const QString &text)
{
    QMessageBox::critical(dialogParent(), QStringLiteral("Erro"), text);
}

void QtPrompter::warning(const QString &text)
{
    QMessageBox::warning(dialogParent(), QStringLiteral("Atenção"), text, QMessageBox::Ok);
}

int QtPrompter::pickRow(const QString &title, TClientDataSet *ds)
{
    QDialog dlg(dialogParent());
    dlg.setWindowTitle(title.isEmpty() ? QStringLiteral("Pesquisa") : title);
    dlg.resize(560, 380);
    auto *lay = new QVBoxLayout(&dlg);
    TDataSource src(&dlg, ds);
    auto *grid = new TDBGrid(&dlg);
    grid->SetColumns(visibleColumns(ds));
    grid->SetDataSource(&src);
    grid->horizontalHeader()->setStretchLastSection(true);
    lay->addWidget(grid);
    auto *bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    lay->addWidget(bb);
    QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(grid, &QTableView::doubleClicked, &dlg, &QDialog::accept);
    grid->setFocus();
    if (dlg.exec() != QDialog::Accepted || ds->IsEmpty()) return -1;
    return ds->RecNo();
}

QString QtPrompter::pickList(const QString &title, TClientDataSet *ds, const QString &keyField,
                             const QString &selection)
{
    ListPickerDialog dlg(ds, keyField, title, selection, dialogParent());
    if (dlg.exec() != QDialog::Accepted) return selection;
    return dlg.result();
}

bool QtPrompter::askText(const QString &title, const QString &label, QString *value)
{
    bool ok = false;
    const QString v = QInputDialog::getText(dialogParent(), title, label, QLineEdit::Normal, *value, &ok);
    if (ok) *value = v;
    return ok;
}

bool QtPrompter::confirm(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmação"), text, QMessageBox::NoButton, dialogParent());
    QPushButton *yes = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

QString QtPrompter::saveFile(const QString &title, const QString &suggested, const QString &filters)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getSaveFileName(dialogParent(), title, QDir(dir).filePath(suggested), filters);
}

QString QtPrompter::chooseSet(const QString &title, const QStringList &names,
                              const std::function<bool(const QString &)> &remove)
{
    QDialog dlg(dialogParent());
    dlg.setWindowTitle(title);
    auto *lay = new QVBoxLayout(&dlg);
    auto *list = new QListWidget(&dlg);
    list->addItems(names);
    list->setCurrentRow(0);
    lay->addWidget(list);
    auto *bb = new QDialogButtonBox(&dlg);
    QPushButton *load = bb->addButton(QStringLiteral("Carregar"), QDialogButtonBox::AcceptRole);
    QPushButton *del = bb->addButton(QStringLiteral("Excluir"), QDialogButtonBox::ActionRole);
    bb->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    load->setDefault(true);
    lay->addWidget(bb);
    const auto refresh = [&] {
        load->setEnabled(list->currentItem() != nullptr);
        del->setEnabled(list->currentItem() != nullptr);
    };
    QObject::connect(list, &QListWidget::currentRowChanged, &dlg, refresh);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(del, &QPushButton::clicked, &dlg, [&] {
        QListWidgetItem *it = list->currentItem();
        if (it && remove(it->text())) delete list->takeItem(list->row(it));
        refresh();
    });
    refresh();
    list->setFocus();
    if (dlg.exec() != QDialog::Accepted || !list->currentItem()) return {};
    return list->currentItem()->text();
}

void ScriptedPrompter::record(const QString &kind, const QString &text, int rows, const QString &key,
                              const QString &given)
{
    QWidget *fw = QApplication::focusWidget();
    Shown s{kind, text, fw ? fw->objectName() : QString(), rows, key, given};
    shown.push_back(s);
    if (onShown) onShown(s);
}

void ScriptedPrompter::error(const QString &text) { record(QStringLiteral("error"), text); }
void ScriptedPrompter::warning(const QString &text) { record(QStringLiteral("warning"), text); }

int ScriptedPrompter::pickRow(const QString &title, TClientDataSet *ds)
{
    record(QStringLiteral("pickRow"), title, ds->RecordCount());
    if (rowAnswers.empty()) return -1;
    const int r = rowAnswers.front();
    rowAnswers.pop_front();
    if (r >= 0) ds->SetRecNo(r);
    return r;
}

QString ScriptedPrompter::pickList(const QString &title, TClientDataSet *ds, const QString &keyField,
                                   const QString &selection)
{
    record(QStringLiteral("pickList"), title, ds->RecordCount(), keyField, selection);
    if (listAnswers.empty()) return selection;
    const QString a = listAnswers.front();
    listAnswers.pop_front();
    return a;
}

bool ScriptedPrompter::askText(const QString &title, const QString &, QString *value)
{
    record(QStringLiteral("askText"), title);
    if (textAnswers.empty()) return false;
    *value = textAnswers.front();
    textAnswers.pop_front();
    return true;
}

bool ScriptedPrompter::confirm(const QString &text)
{
    record(QStringLiteral("confirm"), text);
    if (confirmAnswers.empty()) return false;
    const bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
}

QString ScriptedPrompter::saveFile(const QString &title, const QString &suggested, const QString &)
{
    record(QStringLiteral("saveFile"), title + QLatin1Char('|') + suggested);
    if (fileAnswers.empty()) return {};
    const QString a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

QString ScriptedPrompter::chooseSet(const QString &title, const QStringList &names,
                                    const std::function<bool(const QString &)> &remove)
{
    record(QStringLiteral("chooseSet"), title, names.size());
    QStringList offered = names;
    setsOffered << offered;
    while (!setAnswers.empty()) {
        const QString a = setAnswers.front();
        setAnswers.pop_front();
        if (!a.startsWith(QLatin1Char('-'))) return offered.contains(a) ? a : QString();
        if (remove(a.mid(1))) offered.removeAll(a.mid(1));
        setsOffered << offered;
    }
    return {};
}

QStringList ScriptedPrompter::texts(const QString &kind) const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == kind) out << s.text;
    return out;
}

}  // namespace host
