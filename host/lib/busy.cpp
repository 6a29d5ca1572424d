#include "busy.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QWidget>

namespace {
int g_depth = 0;
int g_shown = 0;
QPointer<QLabel> g_overlay;
const QString kWaitText = QStringLiteral("Aguarde, consultando o servidor…");
QElapsedTimer g_running;      // since the outermost animation started
QElapsedTimer g_lastProgress; // since the progress was last painted
int g_progressDelayMs = 500;

void placeOverlay(QWidget *form)
{
    g_overlay->adjustSize();
    g_overlay->move((form->width() - g_overlay->width()) / 2, (form->height() - g_overlay->height()) / 2);
}
}  // namespace

namespace host {
int busyDepth() { return g_depth; }
int busyShownCount() { return g_shown; }
QString busyText() { return g_overlay ? g_overlay->text() : kWaitText; }
void setBusyProgressDelayMs(int ms) { g_progressDelayMs = ms; }
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
    g_running.start();
    g_lastProgress.invalidate();
    if (form && form->isVisible()) {
        if (!g_overlay) {
            g_overlay = new QLabel(form);
            g_overlay->setStyleSheet(QStringLiteral(
                "background:#fffbe6; border:1px solid #c8a200; padding:6px 14px; color:#333;"));
        }
        g_overlay->setText(kWaitText);
        placeOverlay(form);
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

void BusyProgress(const QString &what, int done, int total)
{
    if (g_depth == 0 || !g_overlay || !g_overlay->isVisible()) return;
    if (!g_running.isValid() || g_running.elapsed() < g_progressDelayMs) return;
    // Painted a few times a second, and always at the end.
    if (done < total && g_lastProgress.isValid() && g_lastProgress.elapsed() < 100) return;
    g_lastProgress.start();
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    g_overlay->setText(QStringLiteral("Aguarde, %1: %2 de %3 linhas…").arg(what, br.toString(done), br.toString(total)));
    placeOverlay(g_overlay->parentWidget());
    g_overlay->repaint();
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
