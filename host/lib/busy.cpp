#include "busy.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QWidget>

namespace {
int g_depth = 0;
int g_shown = 0;
QPointer<QLabel> g_overlay;
}

namespace host {
int busyDepth() { return g_depth; }
int busyShownCount() { return g_shown; }
void setWaitCursor(bool wait)
{
    if (wait) QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}
}  // namespace host

void ActiveShowAvi(QWidget *form, int)
{
    ++g_shown;
    if (g_depth++ > 0) return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (form && form->isVisible()) {
        if (!g_overlay) {
            g_overlay = new QLabel(QStringLiteral("Aguarde, consultando o servidor…"), form);
            g_overlay->setStyleSheet(QStringLiteral(
                "background:#fffbe6; border:1px solid #c8a200; padding:6px 14px; color:#333;"));
        }
        g_overlay->adjustSize();
        g_overlay->move((form->width() - g_overlay->width()) / 2, (form->height() - g_overlay->height()) / 2);
        g_overlay->show();
        g_overlay->raise();
        g_overlay->repaint();
    }
}

void DeactiveShowAvi()
{
    if (g_depth == 0) return;
    if (--g_depth > 0) return;
    if (g_overlay) g_overlay->hide();
    QApplication::restoreOverrideCursor();
}

void RunBusy(QWidget *form, int kind, const std::function<void()> &step)
{
    ActiveShowAvi(form, kind);
    try {
        step();
    } catch (...) {
        DeactiveShowAvi();
        throw;
    }
    DeactiveShowAvi();
}
