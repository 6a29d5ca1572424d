#include "focustracker.h"
#include "dispatch.h"
#include "hostlog.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QMdiSubWindow>
#include <QWidget>
#include <QWindowStateChangeEvent>

namespace host {

namespace {
// Focus the window system or Qt gives on its own: activation, a popup or the
// menu bar closing. Never a user's move.
bool handOverReason(int reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
           reason == Qt::MenuBarFocusReason || reason == Qt::NoFocusReason;
}

// A move the user makes in the form, as opposed to one Qt or a handler makes.
bool userReason(int reason)
{
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

QString nameOf(const QWidget *w)
{
    if (!w) return {};
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}
}  // namespace

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
    switch (e->type()) {
    case QEvent::FocusIn:
        // Qt sends the event just before it reports the change (then the same
        // event to the style): the reason tells a user's move from the
        // system's hand-over.
        if (!o->isWidgetType()) break;
        m_focusInObject = o;
        m_focusInReason = static_cast<QFocusEvent *>(e)->reason();
        break;
    case QEvent::WindowActivate:
        // The window is active already, and Qt is about to give it a focus of
        // its own choosing: the form that had the focus there gets its own
        // control first, so that Qt finds it in place. Under a window manager
        // this comes whenever it pleases, also while a handler still runs.
        if (o->isWidgetType() && static_cast<QWidget *>(o)->isWindow()) {
            QWidget *form = m_formOfWindow.value(o);
            QWidget *target = form ? intended(form) : nullptr;
            if (form && form->window() == o && canHold(form, target) && QApplication::focusWidget() != target) {
                qCDebug(lcHost) << "window activated: focus back to" << nameOf(target);
                placeQuietly(form, target);
            }
        }
        break;
    case QEvent::WindowStateChange:
        // While a form is minimised, restored or maximised, Qt moves the focus
        // among its controls on its own; once the form has settled it gets back
        // its own control.
        if (o->isWidgetType()) {
            auto *w = static_cast<QWidget *>(o);
            const Qt::WindowStates sizing = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
            const auto was = static_cast<QWindowStateChangeEvent *>(e)->oldState();
            if (formOf(w) == w && ((was ^ w->windowState()) & sizing)) settleLater(w);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(o, e);
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

bool FocusTracker::canHold(QWidget *form, QWidget *w)
{
    return w && w != form && formOf(w) == form && w->isVisible() && w->isEnabled();
}

QWidget *FocusTracker::focusedIn(QWidget *form) const { return m_last.value(form); }

QWidget *FocusTracker::intended(QWidget *form) const
{
    const auto mv = m_moves.constFind(form);
    if (mv == m_moves.cend()) return m_last.value(form);
    return mv->sent ? mv->sent : mv->to;
}

void FocusTracker::placeQuietly(QWidget *form, QWidget *target)
{
    m_quiet.insert(form);
    target->setFocus(Qt::ActiveWindowFocusReason);
    m_quiet.remove(form);
}

void FocusTracker::settleLater(QWidget *form)
{
    if (m_settling.contains(form)) return;
    m_settling.insert(form);
    QPointer<QWidget> guard(form);
    QMetaObject::invokeMethod(this, [this, form, guard] {
        m_settling.remove(form);
        if (guard) settle(guard);
    }, Qt::QueuedConnection);
}

void FocusTracker::settle(QWidget *form)
{
    QWidget *cur = QApplication::focusWidget();
    if (!cur || formOf(cur) != form || !isLive(form)) return;
    QWidget *target = intended(form);
    if (canHold(form, target)) {
        if (target != cur) placeQuietly(form, target);
    } else if (!m_moves.contains(form) && cur != form) {
        // The form's own control went away (hidden, disabled): where the
        // focus settled is the form's own now.
        qCDebug(lcHost) << "focus settled on" << nameOf(cur);
        m_last[form] = cur;
    }
}

void FocusTracker::track(QWidget *form)
{
    if (m_tracked.contains(form)) return;
    m_tracked.insert(form);
    connect(form, &QObject::destroyed, this, [this](QObject *o) {
        m_tracked.remove(o);
        m_last.remove(o);
        m_moves.remove(o);
        m_settling.remove(o);
        m_formOfWindow.remove(o);
    });
}

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
    const int reason = m_focusInObject == now ? m_focusInReason : int(Qt::OtherFocusReason);
    qCDebug(lcHost) << "focus" << nameOf(old) << "->" << nameOf(now) << Qt::FocusReason(reason);
    if (!now) return;  // the application lost the focus
    QWidget *form = formOf(now);
    if (!form) return;
    if (m_quiet.contains(form)) {
        m_activeForm = form;
        return;
    }
    track(form);
    m_formOfWindow[now->window()] = form;
    // The control that had the focus was hidden or disabled (a page switch):
    // Qt passes the focus on by itself.
    const bool oldWentAway = old && formOf(old) == form && (!old->isVisible() || !old->isEnabled());
    const bool handOver = handOverReason(reason) || oldWentAway;
    auto mv = m_moves.find(form);
    if (mv != m_moves.end()) {
        // A handler of this form is running. What its code focuses is where
        // the move goes on; what the system gives back is put right.
        m_activeForm = form;
        if (!handOver) {
            if (now != form) mv->sent = now;
            return;
        }
        QWidget *target = intended(form);
        if (target != now && canHold(form, target)) placeQuietly(form, target);
        return;
    }
    // The form's own frame only passes the focus on (as when Tab leaves the
    // last control). On a form that is not shown or is changing its window
    // state Qt moves the focus by itself.
    if (now == form) return;
    if (!isLive(form) || !now->isVisible() || m_settling.contains(form)) {
        settleLater(form);
        return;
    }
    QWidget *own = m_last.value(form);
    const bool activation = m_activeForm != form;
    QWidget *left = m_activeForm;
    m_activeForm = form;
    if (own == now) return;
    if (!own && !m_last.contains(form)) {
        // The first control focused in a form enters every container down to it.
        m_last[form] = now;
        runMove(form, nullptr, now, 0);
        return;
    }
    if (!canHold(form, own)) {
        // The form's own control went away (its page was switched, it was
        // hidden or disabled): Qt passes the focus on by itself, through the
        // form's frame and whatever comes next, until it settles.
        settleLater(form);
        return;
    }
    // Activating a form (back from a dialog, a message box, another window or
    // MDI child, or one that went away) gives it its own control back; only a
    // click or a key of the user's makes that a move on to another control.
    if (handOver || (activation && !userReason(reason)) || (left && left != form && !isLive(left))) {
        placeQuietly(form, own);
        return;
    }
    m_last[form] = now;
    runMove(form, own, now, 0);
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
    m_moves.insert(form, Move{from, to, nullptr});
    QPointer<QWidget> guardForm(form);
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
            qCDebug(lcHost) << "enter" << down[i]->objectName();
            if (!dispatch(fn)) break;
        }
    }
    const Move mv = m_moves.take(form);
    if (!guardForm) return;  // a handler closed the form
    QWidget *sent = mv.sent != mv.to ? mv.sent.data() : nullptr;
    if (cancelled) {
        // The focus stays where the handler put it, or returns to the control left.
        QWidget *target = sent ? sent : mv.from.data();
        if (!canHold(form, target)) return;
        m_last[form] = target;
        if (QApplication::focusWidget() != target) placeQuietly(form, target);
        return;
    }
    if (sent && depth < 8 && canHold(form, sent)) {
        // A handler moved the focus on: that is a move of its own.
        m_last[form] = sent;
        if (QApplication::focusWidget() != sent) placeQuietly(form, sent);
        runMove(form, mv.to ? mv.to.data() : sent, sent, depth + 1);
        return;
    }
    // The move lands where the user was going.
    if (canHold(form, mv.to)) {
        if (QApplication::focusWidget() != mv.to && isLive(form)) placeQuietly(form, mv.to);
    } else if (mv.to) {
        settleLater(form);
    }
}

}  // namespace host
