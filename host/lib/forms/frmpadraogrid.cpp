#include "frmpadraogrid.h"
#include "formshortcuts.h"
#include "vantiro.h"
#include "dbcontrols.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "messages.h"
#include "pagecontrol.h"
#include "prompter.h"

#include <QFile>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPointer>
#include <QMenuBar>
#include <QDir>
#include <QStandardPaths>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

TfrmPadraoGrid::TfrmPadraoGrid(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    host::keepFormShortcutsFirst();
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    menuBar = new QMenuBar(this);
    mnuOperacao = menuBar->addMenu(QStringLiteral("&Operação"));
    mnuOperacao->setObjectName(QStringLiteral("mnuOperacao"));
    mnuManutencao = menuBar->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName(QStringLiteral("mnuManutencao"));
    auto act = [this](const QString &name, const QString &text) {
        auto *a = mnuManutencao->addAction(text);
        a->setObjectName(name);
        return a;
    };
    mnuIncluir = act(QStringLiteral("mnuIncluir"), QStringLiteral("&Incluir"));
    mnuAlterar = act(QStringLiteral("mnuAlterar"), QStringLiteral("&Alterar"));
    mnuExcluir = act(QStringLiteral("mnuExcluir"), QStringLiteral("&Excluir"));
    mnuCancelar = act(QStringLiteral("mnuCancelar"), QStringLiteral("&Cancelar"));
    mnuConfirmar = act(QStringLiteral("mnuConfirmar"), QStringLiteral("C&onfirmar"));
    root->setMenuBar(menuBar);

    auto *bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("panToolbar"));
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setStyleSheet(QStringLiteral("#panToolbar { background: #eef1f5; border-bottom: 1px solid #c5ccd6; }"));
    m_toolbar = new QHBoxLayout(bar);
    m_toolbar->setContentsMargins(4, 2, 8, 2);
    m_toolbar->setSpacing(2);
    sbtProcurar = addToolButton(QStringLiteral("sbtProcurar"), QStringLiteral("Procurar"), QStringLiteral("Procurar"), QStyle::SP_FileDialogContentsView);
    sbtVerificar = addToolButton(QStringLiteral("sbtVerificar"), QStringLiteral("Verificar"), QStringLiteral("Verificar"), QStyle::SP_BrowserReload);
    sbtImprimir = addToolButton(QStringLiteral("sbtImprimir"), QStringLiteral("Imprimir"), QStringLiteral("Imprimir"), QStyle::SP_DialogSaveButton);
    sbtAjuda = addToolButton(QStringLiteral("sbtAjuda"), QStringLiteral("Ajuda"), QStringLiteral("Ajuda"), QStyle::SP_DialogHelpButton);
    sbtFechar = addToolButton(QStringLiteral("sbtFechar"), QStringLiteral("Fechar"), QStringLiteral("Fechar"), QStyle::SP_DialogCloseButton);
    m_toolbar->addStretch(1);
    lblCodTela = new QLabel(bar);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setStyleSheet(QStringLiteral("color: #5a6472; font-weight: bold;"));
    m_toolbar->addWidget(lblCodTela);
    root->addWidget(bar);

    auto *headerHost = new QWidget(this);
    m_header = new QVBoxLayout(headerHost);
    m_header->setContentsMargins(6, 6, 6, 0);
    root->addWidget(headerHost);

    pgcPadrao = new TPageControl(this);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    tshPadrao = new QWidget;
    tshPadrao->setObjectName(QStringLiteral("tshPadrao"));
    auto *pl = new QVBoxLayout(tshPadrao);
    pl->setContentsMargins(2, 2, 2, 2);
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    pl->addWidget(dbgPadrao);
    pgcPadrao->addTab(tshPadrao, QString());
    auto *pageHost = new QWidget(this);
    auto *phl = new QVBoxLayout(pageHost);
    phl->setContentsMargins(6, 6, 6, 2);
    phl->addWidget(pgcPadrao);
    root->addWidget(pageHost, 1);

    auto *nav = new QFrame(this);
    nav->setObjectName(QStringLiteral("panNavegador"));
    auto *nl = new QHBoxLayout(nav);
    nl->setContentsMargins(6, 2, 6, 4);
    dbnPadrao = new TDBNavigator(nav);
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    dbtNome = new TDBText(nav);
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbtNome->setStyleSheet(QStringLiteral("color: #1d3c78; font-weight: bold;"));
    nl->addWidget(dbnPadrao);
    nl->addSpacing(8);
    nl->addWidget(dbtNome, 1);
    root->addWidget(nav);

    msgPadrao = new TMessages(this);
    dtsPadrao = new TDataSource(this, nullptr, QStringLiteral("dtsPadrao"));
    dtsPadrao->OnStateChange = [this](TDataSource *) { dtsPadraoStateChange(); };

    auto bind = [](QToolButton *b, auto fn) {
        QObject::connect(b, &QToolButton::clicked, b, [fn] { host::dispatch(fn); });
    };
    bind(sbtProcurar, [this] { sbtProcurarClick(); });
    bind(sbtVerificar, [this] { sbtVerificarClick(); });
    // F5 verifies as the button does, leaving the focus where it is.
    auto *f5 = new QShortcut(QKeySequence(Qt::Key_F5), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(f5, &QShortcut::activated, this, [this] {
        if (sbtVerificar->isEnabled()) sbtVerificar->click();
    });
    sbtVerificar->setToolTip(QStringLiteral("Verificar (F5)"));
    // Ctrl+F4 closes the screen as "Fechar" does (the button takes no focus).
    auto *close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(close, &QShortcut::activated, this, [this] { CloseForm(); });
    sbtFechar->setToolTip(QStringLiteral("Fechar (Ctrl+F4)"));
    bind(sbtAjuda, [this] { sbtAjudaClick(); });
    // F1 opens the screen's help as "Ajuda" does.
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(f1, &QShortcut::activated, this, [this] { sbtAjuda->click(); });
    sbtAjuda->setToolTip(QStringLiteral("Ajuda (F1)"));
    bind(sbtFechar, [this] { CloseForm(); });
    sbtImprimir->setEnabled(false);
    dbgPadrao->OnKeyDown = [this](QKeyEvent *e) { return dbgPadraoKeyDown(e); };
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

QToolButton *TfrmPadraoGrid::addToolButton(const QString &name, const QString &text, const QString &hint, int iconKind)
{
    auto *b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setIcon(style()->standardIcon(QStyle::StandardPixmap(iconKind)));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumWidth(58);
    const int at = m_toolbar->count() - (lblCodTela ? 2 : 0);
    m_toolbar->insertWidget(std::max(0, at), b);
    return b;
}

void TfrmPadraoGrid::Create()
{
    FormCreate();
}

void TfrmPadraoGrid::CloseForm()
{
    if (auto *sw = qobject_cast<QMdiSubWindow *>(parentWidget())) sw->close();
    else close();
}

void TfrmPadraoGrid::notifyActivated()
{
    host::dispatch([this] { FormActivate(); });
    // A screen that has no control with the focus yet gets the first one in
    // its tab order, as a new window does.
    QWidget *now = QApplication::focusWidget();
    if (now && (now == this || isAncestorOf(now))) return;
    if (focusWidget() && focusWidget()->isVisible() && focusWidget()->isEnabled()) return;
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (!isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() || !w->isEnabled()) continue;
        w->setFocus(Qt::TabFocusReason);
        return;
    }
}

void TfrmPadraoGrid::FormCreate() {}

void TfrmPadraoGrid::FormClose() {}

void TfrmPadraoGrid::dtsPadraoStateChange()
{
    // The base reflects the current table's state in the maintenance menu.
    TClientDataSet *ds = dtsPadrao->DataSet();
    const bool editing = ds && ds->State() == TDataSetState::Edit;
    mnuConfirmar->setEnabled(editing);
    mnuCancelar->setEnabled(editing);
}

void TfrmPadraoGrid::sbtProcurarClick()
{
    TClientDataSet *ds = dtsPadrao->DataSet();
    if (!ds || ds->IsEmpty()) return;
    QString text;
    if (!host::prompter()->askText(QStringLiteral("Procurar"), QStringLiteral("Texto a procurar:"), &text) ||
        text.trimmed().isEmpty())
        return;
    const int n = ds->RecordCount();
    const int start = ds->RecNo();
    for (int k = 1; k <= n; ++k) {
        const int row = (start + k) % n;
        for (TField *f : ds->Fields()) {
            if (!f->Visible) continue;
            if (f->DisplayTextAt(row).contains(text.trimmed(), Qt::CaseInsensitive)) {
                ds->SetRecNo(row);
                return;
            }
        }
    }
    host::prompter()->warning(QStringLiteral("Texto \"%1\" não encontrado.").arg(text.trimmed()));
}

void TfrmPadraoGrid::sbtAjudaClick()
{
    // A screen's package ships its page as ":/<code>/ajuda.html"; a screen
    // without one gets the keys every grid screen has.
    QFile page(QStringLiteral(":/%1/ajuda.html").arg(lblCodTela->text()));
    const QString html = page.open(QIODevice::ReadOnly)
                             ? QString::fromUtf8(page.readAll())
                             : QStringLiteral("<h2>%1 — %2</h2><p>F3 procura na grade; Ctrl+Home e Ctrl+End vão ao primeiro e "
                                              "ao último registro; Ctrl+F4 fecha a tela.</p>")
                                   .arg(lblCodTela->text().toHtmlEscaped(), windowTitle().toHtmlEscaped());
    host::prompter()->help(QStringLiteral("Ajuda — %1").arg(windowTitle()), html);
}

bool TfrmPadraoGrid::dbgPadraoKeyDown(QKeyEvent *e)
{
    auto *grid = qobject_cast<TDBGrid *>(focusWidget());
    TClientDataSet *ds = grid ? grid->DataSet() : nullptr;
    if (!ds) return false;
    if (e->key() == Qt::Key_F3) { sbtProcurarClick(); return true; }
    if (e->modifiers() & Qt::ControlModifier) {
        if (e->key() == Qt::Key_Home) { ds->First(); return true; }
        if (e->key() == Qt::Key_End) { ds->Last(); return true; }
    }
    if (e->key() == Qt::Key_Delete) return true;  // nothing is deleted from a read-only grid
    return false;
}

namespace {
// Kept beside the program's other settings (a test's own folder in test mode).
std::unique_ptr<QSettings> layoutStore(const QString &screen)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    auto s = std::make_unique<QSettings>(QDir(dir).filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
    s->beginGroup(screen + QLatin1Char('-') + Vantiro::Operator());
    return s;
}
}  // namespace

void TfrmPadraoGrid::saveLayout()
{
    if (lblCodTela->text().isEmpty()) return;
    auto s = layoutStore(lblCodTela->text());
    for (TDBGrid *g : findChildren<TDBGrid *>())
        if (!g->objectName().isEmpty()) s->setValue(g->objectName(), g->SaveLayout());
    if (auto *sw = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        // The normal place is kept apart from being maximised, so that a
        // screen closed maximised comes back maximised and restores to its place.
        if (!sw->isMinimized() && !sw->isMaximized()) s->setValue(QStringLiteral("geometry"), sw->geometry());
        if (!sw->isMinimized()) s->setValue(QStringLiteral("maximized"), sw->isMaximized());
    }
}

void TfrmPadraoGrid::restoreLayout()
{
    if (lblCodTela->text().isEmpty()) return;
    auto s = layoutStore(lblCodTela->text());
    for (TDBGrid *g : findChildren<TDBGrid *>())
        if (!g->objectName().isEmpty() && s->contains(g->objectName())) g->RestoreLayout(s->value(g->objectName()).toString());
    const QRect r = s->value(QStringLiteral("geometry")).toRect();
    auto *sw = qobject_cast<QMdiSubWindow *>(parentWidget());
    // Only a place that still fits the work area is taken back.
    if (sw && r.isValid() && r.width() >= 200 && r.height() >= 150 && sw->parentWidget() &&
        sw->parentWidget()->rect().intersects(r))
        sw->setGeometry(r);
    // Maximised once the opening is done (opening a screen restores its state).
    if (sw && s->value(QStringLiteral("maximized")).toBool()) {
        QPointer<QMdiSubWindow> guard(sw);
        QMetaObject::invokeMethod(sw, [guard] {
            if (guard && guard->isVisible() && !guard->isMinimized()) guard->showMaximized();
        }, Qt::QueuedConnection);
    }
}

void TfrmPadraoGrid::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (!std::exchange(m_layoutRestored, true)) restoreLayout();
}

void TfrmPadraoGrid::closeEvent(QCloseEvent *e)
{
    if (!m_closing) {
        saveLayout();
        m_closing = true;
        host::dispatch([this] { FormClose(); });
    }
    e->accept();
    // A form closed by itself takes its MDI frame with it.
    if (QPointer<QMdiSubWindow> sw = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        QMetaObject::invokeMethod(sw, [sw] {
            if (sw && sw->isVisible()) sw->close();
        }, Qt::QueuedConnection);
    }
}

bool TfrmPadraoGrid::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && isWindow()) notifyActivated();
    return QWidget::event(e);
}
