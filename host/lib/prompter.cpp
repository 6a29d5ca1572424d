#include "prompter.h"
#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "listpicker.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
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

int QtPrompter::choose(const QString &title, const QStringList &items)
{
    if (items.isEmpty()) return -1;
    bool ok = false;
    const QString v = QInputDialog::getItem(dialogParent(), title, title, items, 0, false, &ok);
    return ok ? int(items.indexOf(v)) : -1;
}

void ScriptedPrompter::record(const QString &kind, const QString &text, int rows)
{
    QWidget *fw = QApplication::focusWidget();
    Shown s{kind, text, fw ? fw->objectName() : QString(), rows};
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

QString ScriptedPrompter::pickList(const QString &title, TClientDataSet *ds, const QString &,
                                   const QString &selection)
{
    record(QStringLiteral("pickList"), title, ds->RecordCount());
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

int ScriptedPrompter::choose(const QString &title, const QStringList &)
{
    record(QStringLiteral("choose"), title);
    if (chooseAnswers.empty()) return -1;
    const int a = chooseAnswers.front();
    chooseAnswers.pop_front();
    return a;
}

QStringList ScriptedPrompter::texts(const QString &kind) const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == kind) out << s.text;
    return out;
}

}  // namespace host
