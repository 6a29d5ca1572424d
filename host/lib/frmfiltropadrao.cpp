#include "frmfiltropadrao.h"
#include "dataset.h"
#include "dispatch.h"
#include "prompter.h"
#include "vantiro.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace host {
namespace {
// Option sets kept for the session when no persistent store is installed.
class MemoryOptionStore : public OptionStore {
public:
    QStringList names(const QString &screen, const QString &op) override
    {
        return m_sets.value(screen + QLatin1Char('/') + op).keys();
    }
    QStringList load(const QString &screen, const QString &op, const QString &name) override
    {
        return m_sets.value(screen + QLatin1Char('/') + op).value(name);
    }
    void save(const QString &screen, const QString &op, const QString &name, const QStringList &lines) override
    {
        m_sets[screen + QLatin1Char('/') + op][name] = lines;
    }
private:
    QHash<QString, QMap<QString, QStringList>> m_sets;
};
MemoryOptionStore g_memory;
OptionStore *g_store = nullptr;
}  // namespace
OptionStore *optionStore() { return g_store ? g_store : &g_memory; }
void setOptionStore(OptionStore *s) { g_store = s; }
}  // namespace host

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    auto *root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    grbFiltroPadrao = new QFrame(this);
    grbFiltroPadrao->setObjectName(QStringLiteral("grbFiltroPadrao"));
    grbFiltroPadrao->setFixedSize(440, 349);
    root->addWidget(grbFiltroPadrao);
    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFixedWidth(55);
    panMenu->setStyleSheet(QStringLiteral("#panMenu { background: #eef1f5; border-left: 1px solid #c5ccd6; }"
                                          " QToolButton { font-size: 7pt; }"));
    // Criteria boxes are laid out to the pixel for this size of text.
    grbFiltroPadrao->setStyleSheet(QStringLiteral("QWidget { font-size: 8pt; }"));
    auto *ml = new QVBoxLayout(panMenu);
    ml->setContentsMargins(3, 6, 3, 6);
    ml->setSpacing(4);
    auto mk = [&](const QString &name, const QString &text, QStyle::StandardPixmap icon) {
        auto *b = new QToolButton(panMenu);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(text);
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedWidth(49);
        ml->addWidget(b);
        return b;
    };
    sbtConfirma = mk(QStringLiteral("sbtConfirma"), QStringLiteral("Confirma"), QStyle::SP_DialogApplyButton);
    sbtCancel = mk(QStringLiteral("sbtCancel"), QStringLiteral("Cancela"), QStyle::SP_DialogCancelButton);
    // The buttons take no focus: the keyboard reaches them by shortcut
    // (Esc cancels, as the window's own close does).
    sbtConfirma->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    sbtConfirma->setToolTip(QStringLiteral("Confirma (Ctrl+Enter)"));
    auto *enterPad = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this);
    connect(enterPad, &QShortcut::activated, sbtConfirma, &QToolButton::click);
    ml->addStretch(1);
    btfSaveOpc = mk(QStringLiteral("btfSaveOpc"), QStringLiteral("Salvar"), QStyle::SP_DialogSaveButton);
    btfLoadOpc = mk(QStringLiteral("btfLoadOpc"), QStringLiteral("Carregar"), QStyle::SP_DialogOpenButton);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    lblCodTela->setStyleSheet(QStringLiteral("color: #5a6472; font-size: 7pt;"));
    ml->addWidget(lblCodTela);
    root->addWidget(panMenu);

    cdsCarregaOpcoes = new TClientDataSet(this, QStringLiteral("cdsCarregaOpcoes"));
    for (const char *f : {"CDTELA", "CDOPERADOR", "DSOPCSALVA", "STVARIAVEL", "NMCOMPONENTE", "DSVALOR"})
        cdsCarregaOpcoes->AddField(QString::fromLatin1(f), TFieldKind::String, 255);

    connect(sbtConfirma, &QToolButton::clicked, this, [this] { runHandler([this] { sbtConfirmaClick(); }); });
    connect(sbtCancel, &QToolButton::clicked, this, [this] { runHandler([this] { sbtCancelClick(); }); });
    connect(btfSaveOpc, &QToolButton::clicked, this, [this] { runHandler([this] { btfSaveOpcClick(); }); });
    connect(btfLoadOpc, &QToolButton::clicked, this, [this] { runHandler([this] { btfLoadOpcClick(); }); });
}

void TfrmFiltroPadrao::Create()
{
    host::dispatch([this] { FormCreate(); });
}

int TfrmFiltroPadrao::ShowModal()
{
    QList<QCursor> saved;
    while (const QCursor *c = QApplication::overrideCursor()) {
        saved.prepend(*c);
        QApplication::restoreOverrideCursor();
    }
    const int result = exec();
    for (const QCursor &c : saved) QApplication::setOverrideCursor(c);
    return result;
}

void TfrmFiltroPadrao::runHandler(const std::function<void()> &fn)
{
    ++m_handlerDepth;
    host::dispatch(fn);
    if (--m_handlerDepth == 0 && m_closeRequested) {
        m_closeRequested = false;
        close();
    }
}

void TfrmFiltroPadrao::RequestClose()
{
    if (m_handlerDepth > 0) m_closeRequested = true;
    else close();
}

void TfrmFiltroPadrao::closeEvent(QCloseEvent *e)
{
    if (m_handlerDepth > 0) {
        m_closeRequested = true;
        e->ignore();
        return;
    }
    host::dispatch([this] { FormClose(); });
    // Closing only hides: the same instance comes back with its criteria.
    e->accept();
    if (isVisible()) done(QDialog::Rejected);
}

void TfrmFiltroPadrao::reject()
{
    // Escape closes like the window's own close button.
    close();
}

void TfrmFiltroPadrao::btfSaveOpcClick()
{
    QString name;
    if (!host::prompter()->askText(QStringLiteral("Salvar Opções"), QStringLiteral("Nome das opções:"), &name) ||
        name.trimmed().isEmpty())
        return;
    host::optionStore()->save(lblCodTela->text(), Vantiro::Operator(), name.trimmed(), stlVariaveis.Lines);
}

void TfrmFiltroPadrao::btfLoadOpcClick()
{
    const QStringList names = host::optionStore()->names(lblCodTela->text(), Vantiro::Operator());
    if (names.isEmpty()) {
        MensErro(QStringLiteral("Não há opções salvas para esta tela."), true);
    }
    const int i = host::prompter()->choose(QStringLiteral("Carregar Opções"), names);
    if (i < 0) throw host::EAbort();
    stlVariaveis.Lines = host::optionStore()->load(lblCodTela->text(), Vantiro::Operator(), names[i]);
}
