#include "application.h"
#include "hostcontext_p.h"
#include "frmpadraogrid.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>


void TApplication::SetMainForm(QMainWindow *w, QMdiArea *mdi)
{
    host::context().mainForm = w;
    host::context().mdi = mdi;
    if (mdi)
        QObject::connect(mdi, &QMdiArea::subWindowActivated, mdi, [](QMdiSubWindow *sw) {
            if (!sw) return;
            if (auto *f = qobject_cast<TfrmPadraoGrid *>(sw->widget())) f->notifyActivated();
        });
}

QMainWindow *TApplication::MainForm() { return host::context().mainForm; }
QMdiArea *TApplication::MdiArea() { return host::context().mdi; }

static QMdiSubWindow *subWindowOf(QWidget *form)
{
    return form ? qobject_cast<QMdiSubWindow *>(form->parentWidget()) : nullptr;
}

void TApplication::ShowForm(QWidget *form)
{
    QMdiSubWindow *sw = subWindowOf(form);
    if (!sw && host::context().mdi) {
        sw = host::context().mdi->addSubWindow(form);
        sw->setAttribute(Qt::WA_DeleteOnClose);
        sw->setWindowIcon(form->windowIcon());
        sw->resize(form->size());
    }
    if (sw) {
        sw->show();
        host::context().mdi->setActiveSubWindow(sw);
        sw->raise();
    } else {
        form->show();
        form->raise();
        form->activateWindow();
    }
}

void TApplication::RestoreForm(QWidget *form)
{
    QWidget *w = subWindowOf(form) ? static_cast<QWidget *>(subWindowOf(form)) : form;
    w->setWindowState(w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

QWidget *TApplication::DialogParent()
{
    if (QWidget *w = QApplication::activeWindow()) return w;
    return host::context().mainForm;
}
