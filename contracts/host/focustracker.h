#pragma once
// Turns focus moves inside a form into exit events (innermost control first,
// then each container being left) and enter events (outermost first). An exit
// handler that ends its action cancels the move. Moves between forms (dialogs,
// message boxes, MDI children, the application losing focus) fire nothing, and
// neither do minimising, restoring, hiding or closing a form.
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
    void giveBackFocus(QWidget *form);
    void settleLater(QWidget *form);
    struct Handlers {
        std::function<void()> enter, exit;
    };
    void onFocusChanged(QWidget *old, QWidget *now);
    void runMove(QWidget *form, QWidget *from, QWidget *to, int depth);
    Handlers &handlersFor(QWidget *w);
    QHash<QObject *, Handlers> m_handlers;
    QHash<QObject *, QPointer<QWidget>> m_last;
    QSet<QObject *> m_busy;
    QSet<QObject *> m_settling;
    QPointer<QWidget> m_activeForm;
};

}  // namespace host
