#pragma once
// Base grid screen: toolbar, page control with the grid page, navigator panel,
// operation and maintenance menus, message table and the current table on
// which the generic commands act.
#include "datasource.h"
#include "host_export.h"
#include <QWidget>

class QAction;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMenuBar;
class QToolButton;
class QVBoxLayout;
class TDBGrid;
class TDBNavigator;
class TDBText;
class TMessages;
class TPageControl;

class HOST_EXPORT TfrmPadraoGrid : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget *parent = nullptr);
    ~TfrmPadraoGrid() override;

    QToolButton *sbtProcurar, *sbtVerificar, *sbtImprimir, *sbtAjuda, *sbtFechar;
    QLabel *lblCodTela = nullptr;
    TPageControl *pgcPadrao;
    QWidget *tshPadrao;
    TDBGrid *dbgPadrao;
    TDBNavigator *dbnPadrao;
    TDBText *dbtNome;
    QMenuBar *menuBar;
    QMenu *mnuOperacao, *mnuManutencao;
    QAction *mnuIncluir, *mnuAlterar, *mnuExcluir, *mnuCancelar, *mnuConfirmar;
    TMessages *msgPadrao;
    // The current table: the one the toolbar and navigator commands act on.
    // Grids keep the data source they were given.
    TDataSource *dtsPadrao;

    // Runs the creation handler once the derived form is built; its errors
    // reach the caller.
    void Create();
    // Closes the form and its MDI frame ("Fechar").
    void CloseForm();
    void notifyActivated();

    // Base handlers, called from the derived form's own.
    virtual void FormCreate();
    virtual void FormActivate() {}
    virtual void FormClose();
    virtual void sbtProcurarClick();
    virtual void sbtVerificarClick() {}
    virtual void sbtAjudaClick();
    virtual void dtsPadraoStateChange();
    bool dbgPadraoKeyDown(QKeyEvent *e);

protected:
    // Places for the derived form's controls.
    QVBoxLayout *headerArea() const { return m_header; }
    QHBoxLayout *toolbarArea() const { return m_toolbar; }
    QToolButton *addToolButton(const QString &name, const QString &text, const QString &hint, int iconKind);
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;
    bool event(QEvent *e) override;
    // The grids' layouts and the window's geometry, per operator and screen.
    void saveLayout();
    void restoreLayout();

private:
    bool m_layoutRestored = false;
    QVBoxLayout *m_header;
    QHBoxLayout *m_toolbar;
    bool m_closing = false;
};
