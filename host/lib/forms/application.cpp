#include "application.h"
#include "frmpadraogrid.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
QPointer<QMainWindow> g_main;
QPointer<QMdiArea> g_mdi;
}

void TApplication::SetMainForm(QMainWindow *w, QMdiArea *mdi)
{
    g_main = w;
    g_mdi = mdi;
    if (mdi)
        QObject::connect(mdi, &QMdiArea::subWindowActivated, mdi, [](QMdiSubWindow *sw) {
            if (!sw) return;
            if (auto *f = qobject_cast<TfrmPadraoGrid *>(sw->widget())) f->notifyActivated();
        });
}

QMainWindow *TApplication::MainForm() { return g_main; }
QMdiArea *TApplication::MdiArea() { return g_mdi; }

static QMdiSubWindow *subWindowOf(QWidget *form)
{
    return form ? qobject_cast<QMdiSubWindow *>(form->parentWidget()) : nullptr;
}

void TApplication::ShowForm(QWidget *form)
{
    QMdiSubWindow *sw = subWindowOf(form);
    if (!sw && g_mdi) {
        sw = g_mdi->addSubWindow(form);
        sw->setAttribute(Qt::WA_DeleteOnClose);
        sw->setWindowIcon(form->windowIcon());
        sw->resize(form->size());
    }
    if (sw) {
        sw->show();
        g_mdi->setActiveSubWindow(sw);
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
    return g_main;
}
