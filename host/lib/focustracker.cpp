#include "focustracker.h"
#include "dispatch.h"
#include "hostlog.h"

#include <QApplication>
#include <QEvent>
#include <QWindowStateChangeEvent>
#include <QMdiSubWindow>
#include <QWidget>

namespace host {

FocusTracker *FocusTracker::instance()
{
    static FocusTracker *t = new FocusTracker(qApp);
    return t;
}

FocusTracker::FocusTracker(QObject *parent) : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::onFocusChanged);
    qApp->installEventFilter(this);
}

bool FocusTracker::eventFilter(QObject *o, QEvent *e)
{
    // While a form is minimised, restored or maximised, Qt moves the focus
    // among its controls on its own. Those moves are no user's: they are
    // ignored, and once the form has settled it gets back its own control.
    if (e->type() == QEvent::WindowStateChange && o->isWidgetType()) {
        auto *w = static_cast<QWidget *>(o);
        const Qt::WindowStates sizing = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
        const auto was = static_cast<QWindowStateChangeEvent *>(e)->oldState();
        if (formOf(w) == w && ((was ^ w->windowState()) & sizing)) settleLater(w);
    }
    return QObject::eventFilter(o, e);
}

void FocusTracker::settleLater(QWidget *form)
{
    if (m_settling.contains(form)) return;
    m_settling.insert(form);
    QPointer<QWidget> guard(form);
    QMetaObject::invokeMethod(this, [this, form, guard] {
        m_settling.remove(form);
        if (guard) giveBackFocus(guard);
    }, Qt::QueuedConnection);
}

void FocusTracker::giveBackFocus(QWidget *form)
{
    QWidget *keep = m_last.value(form);
    QWidget *cur = QApplication::focusWidget();
    if (!keep || keep == cur || !isLive(form) || !cur || formOf(cur) != form) return;
    if (!keep->isVisible() || !keep->isEnabled() || formOf(keep) != form) return;
    m_busy.insert(form);
    keep->setFocus(Qt::ActiveWindowFocusReason);
    m_busy.remove(form);
}

QWidget *FocusTracker::formOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget()) {
        if (qobject_cast<QMdiSubWindow *>(p) || p->isWindow()) return p;
    }
    return nullptr;
}

bool FocusTracker::isLive(QWidget *form)
{
    return form && form->isVisible() && !(form->windowState() & Qt::WindowMinimized);
}

QWidget *FocusTracker::focusedIn(QWidget *form) const { return m_last.value(form); }

FocusTracker::Handlers &FocusTracker::handlersFor(QWidget *w)
{
    if (!m_handlers.contains(w))
        connect(w, &QObject::destroyed, this, [this](QObject *o) { m_handlers.remove(o); m_last.remove(o); });
    return m_handlers[w];
}

void FocusTracker::setOnEnter(QWidget *w, std::function<void()> fn) { handlersFor(w).enter = std::move(fn); }
void FocusTracker::setOnExit(QWidget *w, std::function<void()> fn) { handlersFor(w).exit = std::move(fn); }

void FocusTracker::onFocusChanged(QWidget *old, QWidget *now)
{
    qCDebug(lcHost) << "focus" << (old ? old->objectName() : QString()) << "->" << (now ? now->objectName() : QString());
    if (!now) return;  // the application lost the focus
    QWidget *form = formOf(now);
    if (!form) return;
    if (m_busy.contains(form)) {
        // Back from a dialog or message box that a handler of this form opened.
        m_activeForm = form;
        return;
    }
    // The form's own frame only passes the focus on (as when Tab leaves the
    // last control). On a form that is not shown or is changing its window
    // state (minimised, restored, closing) Qt moves the focus by itself: that
    // is no move between its controls, and once the form has settled it gets
    // back its own control.
    if (now == form) return;
    if (!isLive(form) || !now->isVisible() || m_settling.contains(form)) {
        settleLater(form);
        return;
    }
    QWidget *prev = m_last.value(form);
    if (prev == now) {
        m_activeForm = form;
        return;
    }
    if (prev && (formOf(prev) != form || !prev->isVisible())) prev = nullptr;
    // Focus handed over because the form that had it went away (closed,
    // hidden, minimised) only activates this form: nothing fires. The first
    // control focused in a form enters every container down to it. The form
    // that had the focus last is remembered across moments without any focus
    // (the window system may pass through none between two controls).
    QWidget *left = m_activeForm;
    m_activeForm = form;
    m_last[form] = now;
    if (left && left != form && !isLive(left)) return;
    runMove(form, prev, now, 0);
}

void FocusTracker::runMove(QWidget *form, QWidget *from, QWidget *to, int depth)
{
    // Ancestor chains up to the form, innermost first.
    QVector<QWidget *> up, down;
    for (QWidget *p = from; p && p != form; p = p->parentWidget()) up << p;
    for (QWidget *p = to; p && p != form; p = p->parentWidget()) down << p;
    while (!up.isEmpty() && !down.isEmpty() && up.last() == down.last()) {
        up.removeLast();
        down.removeLast();
    }
    m_busy.insert(form);
    QPointer<QWidget> guardTo(to), guardFrom(from), guardForm(form);
    bool cancelled = false;
    for (QWidget *w : up) {
        auto it = m_handlers.find(w);
        if (it == m_handlers.end() || !it->exit) continue;
        auto fn = it->exit;
        qCDebug(lcHost) << "exit" << w->objectName();
        if (!dispatch(fn)) {
            qCDebug(lcHost) << "exit of" << w->objectName() << "ended its action: the move is cancelled";
            cancelled = true;
            break;
        }
    }
    if (!cancelled) {
        for (int i = down.size() - 1; i >= 0; --i) {
            auto it = m_handlers.find(down[i]);
            if (it == m_handlers.end() || !it->enter) continue;
            auto fn = it->enter;
            if (!dispatch(fn)) break;
        }
    }
    m_busy.remove(form);
    if (!guardForm) return;  // a handler closed the form
    QWidget *cur = QApplication::focusWidget();
    if (cur && formOf(cur) != form) cur = nullptr;
    if (cancelled) {
        // The focus stays where the handler put it, or returns to the control
        // left, as long as that control is still there to take it.
        QWidget *target = (cur && cur != guardTo) ? cur : guardFrom.data();
        if (!target || !target->isVisible() || !isLive(form)) return;
        m_last[form] = target;
        if (QApplication::focusWidget() != target) {
            m_busy.insert(form);
            target->setFocus(Qt::OtherFocusReason);
            m_busy.remove(form);
        }
        return;
    }
    if (cur && cur != guardTo && depth < 8 && cur->isVisible()) {
        // A handler moved the focus on: that is a move of its own.
        m_last[form] = cur;
        runMove(form, guardTo ? guardTo.data() : cur, cur, depth + 1);
    }
}

}  // namespace host
