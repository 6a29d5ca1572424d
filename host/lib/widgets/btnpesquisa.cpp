#include "btnpesquisa.h"
#include <QApplication>
#include <QKeyEvent>
#include "dispatch.h"
#include "prompter.h"

#include <QStyle>

namespace {
// F4 in an edit served by a lookup button opens that lookup, as a click on the
// button would (the button takes no focus, so the edit keeps it either way).
class LookupKey : public QObject {
public:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(e)->key() != Qt::Key_F4 ||
            static_cast<QKeyEvent *>(e)->modifiers() != Qt::NoModifier)
            return false;
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w != QApplication::focusWidget()) return false;
        for (TBtnPesquisa *b : w->window()->findChildren<TBtnPesquisa *>()) {
            if (b->Associate != w || !b->isEnabled() || !b->isVisibleTo(w->window())) continue;
            b->click();
            return true;
        }
        return false;
    }
};
}  // namespace

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    static LookupKey *const f4 = [] {
        auto *f = new LookupKey;
        qApp->installEventFilter(f);
        return f;
    }();
    Q_UNUSED(f4)
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Pesquisar (F4)"));
    setText(QStringLiteral("…"));
    setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    setAutoRaise(false);
    connect(this, &QToolButton::clicked, this, [this] { host::dispatch([this] { Pesquisar(); }); });
}


void TBtnPesquisa::Pesquisar()
{
    if (OnClick) {
        OnClick(this);
        return;
    }
    bool allow = true;
    if (OnBeforePesq) OnBeforePesq(this, allow);
    if (!allow) return;
    TClientDataSet *ds = DataSource ? DataSource->DataSet() : nullptr;
    if (!ds || ds->IsEmpty()) {
        MensErroAborta(EmptyError.isEmpty() ? QStringLiteral("Não há registros para pesquisar.") : EmptyError);
    }
    const int row = host::prompter()->pickRow(Title, ds);
    if (row < 0) return;
    ds->SetRecNo(row);
    if (OnAfterPesq) OnAfterPesq(this);
}
