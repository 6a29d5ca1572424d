#include "btnpesquisa.h"
#include "dispatch.h"
#include "prompter.h"

#include <QStyle>

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Pesquisar"));
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
        MensErro(EmptyError.isEmpty() ? QStringLiteral("Não há registros para pesquisar.") : EmptyError, true);
    }
    const int row = host::prompter()->pickRow(Title, ds);
    if (row < 0) return;
    ds->SetRecNo(row);
    if (OnAfterPesq) OnAfterPesq(this);
}
