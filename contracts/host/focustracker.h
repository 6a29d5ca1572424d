#pragma once
// Turns the moves of a form's focused control into exit events (innermost
// control first, then each container being left) and enter events (outermost
// first).
//
// The rule: each form (an MDI screen or a window) has one control of its own,
// the one the tracker remembers. It changes only when the user moves within the
// form (a click, Tab or Shift+Tab, a mnemonic or a shortcut) or a handler moves
// it by code; that is a move, and its exit and enter events fire. An exit
// handler that ends its action cancels the move: the focus stays where the
// handler put it, or returns to the control left. A move completes when its
// handlers return: the focus lands where the user was going, or where a
// handler sent it.
//
// Everything else that moves Qt's focus is the system handing it around and
// fires nothing: a window or MDI child being activated (after a dialog, a
// message box, a menu, a minimise or another program), the control that had
// the focus being hidden or disabled (a page switch), a form being shown,
// resized, hidden or closed. After such a hand-over the form gets its own
// control back; when that control can no longer take the focus, the control
// the focus settled on becomes the form's own, still without events.
#include "host_export.h"
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <functional>

class QWidget;

namespace host {

class HOST_EXPORT FocusTracker : public QObject {
    Q_OBJECT
public:
    static FocusTracker *instance();
    void setOnEnter(QWidget *w, std::function<void()> fn);
    void setOnExit(QWidget *w, std::function<void()> fn);
    // The form (MDI child or window) a widget belongs to.
    static QWidget *formOf(QWidget *w);
    // A form that is shown and not minimised.
    static bool isLive(QWidget *form);
    // The control that holds the focus within a form.
    QWidget *focusedIn(QWidget *form) const;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    explicit FocusTracker(QObject *parent);
    struct Handlers {
        std::function<void()> enter, exit;
    };
    // A move in progress: where it was going and where its handlers sent the focus.
    struct Move {
        QPointer<QWidget> from, to, sent;
    };
    void onFocusChanged(QWidget *old, QWidget *now);
    void runMove(QWidget *form, QWidget *from, QWidget *to, int depth);
    // The control a form should hold now: the one a running move is heading
    // for, or the form's own.
    QWidget *intended(QWidget *form) const;
    // Puts the focus on a control without any event (Qt records it for the
    // window when that is not active).
    void placeQuietly(QWidget *form, QWidget *target);
    void settleLater(QWidget *form);
    void settle(QWidget *form);
    static bool canHold(QWidget *form, QWidget *w);
    // Forgets a form once it is gone.
    void track(QWidget *form);
    Handlers &handlersFor(QWidget *w);
    QHash<QObject *, Handlers> m_handlers;
    QHash<QObject *, QPointer<QWidget>> m_last;
    QHash<QObject *, Move> m_moves;
    QHash<QObject *, QPointer<QWidget>> m_formOfWindow;
    QSet<QObject *> m_settling;
    QSet<QObject *> m_quiet;
    QSet<QObject *> m_tracked;
    QPointer<QWidget> m_activeForm;
    QPointer<QObject> m_focusInObject;
    int m_focusInReason = 0;
};

}  // namespace host
