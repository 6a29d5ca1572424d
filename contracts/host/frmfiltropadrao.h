#pragma once
// Base filter dialog: criteria panel, button panel with confirm and cancel,
// saved option sets of name=value variables.
#include "host_export.h"
#include "optionstore.h"
#include "stringlist.h"
#include <QDialog>

class QFrame;
class QLabel;
class QToolButton;
class QVBoxLayout;
class TClientDataSet;


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
    // Save asks for a name and stores the variables and the criteria controls'
    // states; load lets the user pick (or delete) a set and restores both.
    virtual void btfSaveOpcClick();
    virtual void btfLoadOpcClick();
    // The states of the criteria controls, by object name.
    QVector<QPair<QString, QString>> ControlStates() const;
    // Restores the states of the controls that still exist; returns how many.
    int RestoreControlStates(const QVector<QPair<QString, QString>> &states);
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
