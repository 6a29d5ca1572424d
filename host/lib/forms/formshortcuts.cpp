// A form's own shortcuts come before an edit's key bindings: with the X11 key
// scheme a line edit claims Ctrl+E (end of line) and other Emacs keys, and the
// screen's command would be dead for a user who is typing.
#include "formshortcuts.h"
#include "frmpadraogrid.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

namespace host {

namespace {
class FormShortcuts : public QObject {
protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::ShortcutOverride || !o->isWidgetType()) return false;
        const QKeySequence pressed(static_cast<QKeyEvent *>(e)->keyCombination());
        for (QWidget *w = static_cast<QWidget *>(o)->parentWidget(); w; w = w->parentWidget()) {
            if (qobject_cast<TfrmPadraoGrid *>(w)) {
                // Not handed to the edit: the shortcut map then runs the form's action.
                for (const QAction *a : w->actions())
                    if (a->isEnabled() && !a->shortcut().isEmpty() && a->shortcut() == pressed) return true;
                return false;
            }
            if (w->isWindow()) return false;
        }
        return false;
    }
};
}  // namespace

void keepFormShortcutsFirst()
{
    static FormShortcuts *filter = [] {
        auto *f = new FormShortcuts;
        f->setParent(qApp);
        qApp->installEventFilter(f);
        return f;
    }();
    Q_UNUSED(filter);
}

}  // namespace host
