#include "prompter.h"
#include "hostcontext_p.h"
#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "listpicker.h"
#include "application.h"
#include "dispatch.h"

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
#include <QMainWindow>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QtPrintSupport/QPrintPreviewDialog>
#include <QtPrintSupport/QPrinter>
#include <QListWidget>
#include <QPushButton>
#include <QMessageBox>
#include <QVBoxLayout>

namespace host {

namespace {

QWidget *dialogParent() { return QApplication::activeWindow(); }

// Columns of the visible fields of a data set, for the pickers.
QVector<TColumn> visibleColumns(TClientDataSet *ds)
{
    QVector<TColumn> cols;
    for (TField *f : ds->Fields())
        if (f->Visible) cols.push_back({f->FieldName(), {}, 0, true, {}});
    return cols;
}

// A message is shown as the plain text it is, however it came (a server's
// reply may hold markup or links), and only as long as a message box can
// show: the rest would be laid out for nothing.
constexpr qsizetype kShownChars = 2000;

void setMessageText(QMessageBox *box, const QString &text)
{
    box->setTextFormat(Qt::PlainText);
    box->setText(text.size() > kShownChars ? text.left(kShownChars) + QChar(0x2026) : text);
}

int showMessage(QMessageBox::Icon icon, const QString &title, const QString &text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, QString(), buttons, dialogParent());
    setMessageText(&box, text);
    return box.exec();
}

}  // namespace

Prompter *prompter() { return context().prompter ? context().prompter : &context().qtPrompter; }
void setPrompter(Prompter *p) { context().prompter = p; }

void QtPrompter::error(const QString &text)
{
    showMessage(QMessageBox::Critical, QStringLiteral("Erro"), text, QMessageBox::Ok);
}

void QtPrompter::warning(const QString &text)
{
    showMessage(QMessageBox::Warning, QStringLiteral("Atenção"), text, QMessageBox::Ok);
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

bool QtPrompter::askText(const QString &title, const QString &label, QString *value, int maxLength)
{
    QInputDialog dlg(dialogParent());
    dlg.setWindowTitle(title);
    dlg.setLabelText(label);
    dlg.setTextValue(*value);
    // The box itself stops at the limit, so what was typed is never thrown away.
    if (maxLength > 0)
        if (auto *edit = dlg.findChild<QLineEdit *>()) edit->setMaxLength(maxLength);
    if (dlg.exec() != QDialog::Accepted) return false;
    *value = dlg.textValue();
    return true;
}

void QtPrompter::help(const QString &title, const QString &html)
{
    QDialog dlg(dialogParent());
    dlg.setWindowTitle(title);
    auto *lay = new QVBoxLayout(&dlg);
    auto *page = new QTextBrowser(&dlg);
    page->setAccessibleName(QStringLiteral("Ajuda"));
    page->setHtml(html);
    lay->addWidget(page);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Fechar"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(buttons);
    dlg.resize(640, 560);
    page->setFocus();
    dlg.exec();
}

void QtPrompter::printPreview(const QString &title, const std::function<bool(QPagedPaintDevice *)> &paint,
                              const std::function<void()> &savePdf)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    QPrintPreviewDialog dlg(&printer, dialogParent());
    dlg.setWindowTitle(QStringLiteral("Visualizar impressão — %1").arg(title));
    // Pages that were not made leave no empty preview behind.
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&paint, &dlg](QPrinter *p) {
        if (!paint(p)) QTimer::singleShot(0, &dlg, &QDialog::reject);
    });
    if (auto *bar = dlg.findChild<QToolBar *>()) {
        bar->addSeparator();
        QAction *pdf = bar->addAction(QStringLiteral("Salvar PDF"));
        QObject::connect(pdf, &QAction::triggered, &dlg, [&savePdf] { dispatch(savePdf); });
    }
    dlg.resize(1000, 720);
    dlg.exec();
}

void QtPrompter::notice(const QString &text)
{
    if (QMainWindow *main = TApplication::MainForm()) main->statusBar()->showMessage(text, 10000);
}

bool QtPrompter::confirm(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmação"), QString(), QMessageBox::NoButton, dialogParent());
    setMessageText(&box, text);
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

}  // namespace host
