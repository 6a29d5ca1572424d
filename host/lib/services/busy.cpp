#include "busy.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QWindow>
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
QElapsedTimer g_lastPoll;     // since pending events last ran
bool g_cancelAsked = false;   // Esc pressed in the running animation

// While a long step lets events run, the user's input is dropped rather than
// queued: a click meant for a busy screen must not act once it is free.
class InputHold : public QObject {
protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        // A message box raised meanwhile must still be answerable.
        if (QWidget *modal = QApplication::activeModalWidget()) {
            if (o->isWidgetType() && (o == modal || modal->isAncestorOf(static_cast<QWidget *>(o)))) return false;
            if (o->isWindowType() && o == modal->windowHandle()) return false;
        }
        switch (e->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape) g_cancelAsked = true;
            return true;
        case QEvent::Close:
            e->ignore();
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::Drop:
            return true;
        default:
            return false;
        }
    }
};

void placeOverlay(QWidget *form)
{
    g_overlay->adjustSize();
    g_overlay->move((form->width() - g_overlay->width()) / 2, (form->height() - g_overlay->height()) / 2);
}

bool overlayShown() { return g_depth > 0 && g_overlay && g_overlay->isVisible(); }

// Painted at once: the step that shows it keeps the event loop busy.
void showOverlayText(const QString &text)
{
    g_overlay->setText(text);
    placeOverlay(g_overlay->parentWidget());
    g_overlay->repaint();
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
    g_lastPoll.invalidate();
    g_cancelAsked = false;
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
    if (!overlayShown()) return;
    if (!g_running.isValid() || g_running.elapsed() < g_progressDelayMs) return;
    // Painted a few times a second, and always at the end.
    if (done < total && g_lastProgress.isValid() && g_lastProgress.elapsed() < 100) return;
    g_lastProgress.start();
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    showOverlayText(QStringLiteral("Aguarde, %1: %2 de %3 linhas…").arg(what, br.toString(done), br.toString(total)));
}

void BusyStage(const QString &what)
{
    if (overlayShown()) showOverlayText(QStringLiteral("Aguarde, %1…").arg(what));
}

bool BusyPoll()
{
    if (g_depth == 0) return false;
    if (g_lastPoll.isValid() && g_lastPoll.elapsed() < 50) return g_cancelAsked;
    InputHold hold;
    qApp->installEventFilter(&hold);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    qApp->removeEventFilter(&hold);
    g_lastPoll.start();
    return g_cancelAsked;
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
