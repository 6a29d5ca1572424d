#include "focustracker.h"
#include "dispatch.h"

#include <QApplication>
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
}

QWidget *FocusTracker::formOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget()) {
        if (qobject_cast<QMdiSubWindow *>(p) || p->isWindow()) return p;
    }
    return nullptr;
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

void FocusTracker::onFocusChanged(QWidget *, QWidget *now)
{
    if (!now) return;
    QWidget *form = formOf(now);
    if (!form || m_busy.contains(form)) return;
    QWidget *prev = m_last.value(form);
    m_last[form] = now;
    if (prev == now) return;
    // The first control focused in a form enters every container down to it.
    if (prev && formOf(prev) != form) prev = nullptr;
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
    QPointer<QWidget> guardTo(to), guardFrom(from);
    bool cancelled = false;
    for (QWidget *w : up) {
        auto it = m_handlers.find(w);
        if (it == m_handlers.end() || !it->exit) continue;
        auto fn = it->exit;
        if (!dispatch(fn)) { cancelled = true; break; }
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
    QWidget *cur = QApplication::focusWidget();
    if (cur && formOf(cur) != form) cur = nullptr;
    if (cancelled) {
        // The focus stays where the handler put it, or returns to the control left.
        QWidget *target = (cur && cur != guardTo) ? cur : guardFrom.data();
        if (!target) return;
        m_last[form] = target;
        if (QApplication::focusWidget() != target) {
            m_busy.insert(form);
            target->setFocus(Qt::OtherFocusReason);
            m_busy.remove(form);
        }
        return;
    }
    if (cur && cur != guardTo && depth < 8) {
        // A handler moved the focus on: that is a move of its own.
        m_last[form] = cur;
        runMove(form, guardTo ? guardTo.data() : cur, cur, depth + 1);
    }
}

}  // namespace host
