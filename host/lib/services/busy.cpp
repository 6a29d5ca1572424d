#include "busy.h"
#include "hostcontext_p.h"

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
const QString kWaitText = QStringLiteral("Aguarde, consultando o servidor…");
host::BusyState &st() { return host::context().busy; }

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
            if (static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape) st().cancelAsked = true;
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
    st().overlay->adjustSize();
    st().overlay->move((form->width() - st().overlay->width()) / 2, (form->height() - st().overlay->height()) / 2);
}

bool overlayShown() { return st().depth > 0 && st().overlay && st().overlay->isVisible(); }

// Painted at once: the step that shows it keeps the event loop busy.
void showOverlayText(const QString &text)
{
    st().overlay->setText(text);
    placeOverlay(st().overlay->parentWidget());
    st().overlay->repaint();
}
}  // namespace

namespace host {
int busyDepth() { return st().depth; }
int busyShownCount() { return st().shown; }
QString busyText() { return st().overlay ? st().overlay->text() : kWaitText; }
void setBusyProgressDelayMs(int ms) { st().progressDelayMs = ms; }
void setWaitCursor(bool wait)
{
    if (wait) QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}
}  // namespace host

void ActiveShowAvi(QWidget *form, int)
{
    ++st().shown;
    if (st().depth++ > 0) return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    st().running.start();
    st().lastProgress.invalidate();
    st().lastPoll.invalidate();
    st().cancelAsked = false;
    if (form && form->isVisible()) {
        if (!st().overlay) {
            st().overlay = new QLabel(form);
            st().overlay->setStyleSheet(QStringLiteral(
                "background:#fffbe6; border:1px solid #c8a200; padding:6px 14px; color:#333;"));
        }
        st().overlay->setText(kWaitText);
        placeOverlay(form);
        st().overlay->show();
        st().overlay->raise();
        st().overlay->repaint();
    }
}

void DeactiveShowAvi()
{
    if (st().depth == 0) return;
    if (--st().depth > 0) return;
    if (st().overlay) st().overlay->hide();
    QApplication::restoreOverrideCursor();
}

void BusyProgress(const QString &what, int done, int total)
{
    if (!overlayShown()) return;
    if (!st().running.isValid() || st().running.elapsed() < st().progressDelayMs) return;
    // Painted a few times a second, and always at the end.
    if (done < total && st().lastProgress.isValid() && st().lastProgress.elapsed() < 100) return;
    st().lastProgress.start();
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    showOverlayText(QStringLiteral("Aguarde, %1: %2 de %3 linhas…").arg(what, br.toString(done), br.toString(total)));
}

void BusyStage(const QString &what)
{
    if (overlayShown()) showOverlayText(QStringLiteral("Aguarde, %1…").arg(what));
}

bool BusyPoll()
{
    if (st().depth == 0) return false;
    if (st().lastPoll.isValid() && st().lastPoll.elapsed() < 50) return st().cancelAsked;
    InputHold hold;
    qApp->installEventFilter(&hold);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    qApp->removeEventFilter(&hold);
    st().lastPoll.start();
    return st().cancelAsked;
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
