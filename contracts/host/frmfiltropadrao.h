#pragma once
// Base filter dialog: criteria panel, button panel with confirm and cancel,
// saved option sets of name=value variables.
#include "host_export.h"
#include "stringlist.h"
#include <QDialog>

class QFrame;
class QLabel;
class QToolButton;
class QVBoxLayout;
class TClientDataSet;

namespace host {
// Host option store: named sets of lines per screen and operator.
class HOST_EXPORT OptionStore {
public:
    virtual ~OptionStore() = default;
    virtual QStringList names(const QString &screen, const QString &op) = 0;
    virtual QStringList load(const QString &screen, const QString &op, const QString &name) = 0;
    virtual void save(const QString &screen, const QString &op, const QString &name, const QStringList &lines) = 0;
};
HOST_EXPORT OptionStore *optionStore();
HOST_EXPORT void setOptionStore(OptionStore *s);
}  // namespace host

class HOST_EXPORT TfrmFiltroPadrao : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFiltroPadrao(QWidget *parent = nullptr);

    QFrame *grbFiltroPadrao;
    QFrame *panMenu;
    QToolButton *sbtConfirma, *sbtCancel, *btfSaveOpc, *btfLoadOpc;
    QLabel *lblCodTela;
    TStringList stlVariaveis;
    TClientDataSet *cdsCarregaOpcoes;

    void Create();
    virtual void FormCreate() {}
    virtual void FormClose() {}
    virtual void sbtConfirmaClick() {}
    virtual void sbtCancelClick() { RequestClose(); }
    virtual void btfSaveOpcClick();
    virtual void btfLoadOpcClick();
    // Shows the dialog modally and returns when it closes. The application's
    // cursor shows normally while it is open and is put back afterwards.
    int ShowModal();
    // Closes when the running handler returns.
    void RequestClose();
    // Runs a handler; a close requested inside takes effect afterwards.
    void runHandler(const std::function<void()> &fn);

protected:
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    int m_handlerDepth = 0;
    bool m_closeRequested = false;
};
