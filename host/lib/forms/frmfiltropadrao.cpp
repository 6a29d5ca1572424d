#include "frmfiltropadrao.h"
#include "dataset.h"
#include "dispatch.h"
#include "prompter.h"
#include "hostlog.h"
#include "maskedit.h"
#include "vantiro.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>


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
    // As the option table holds them (0: text without a limit of its own).
    const std::pair<const char *, int> opcoes[] = {{"CDTELA", 20},     {"CDOPERADOR", 12}, {"DSOPCSALVA", host::kOptionSetNameMax},
                                                   {"STVARIAVEL", 0}, {"NMCOMPONENTE", 100}, {"DSVALOR", 0}};
    for (const auto &[f, size] : opcoes) cdsCarregaOpcoes->AddField(QString::fromLatin1(f), TFieldKind::String, size);

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
    if (!host::prompter()->askText(QStringLiteral("Salvar Opções"), QStringLiteral("Nome das opções:"), &name,
                                   host::kOptionSetNameMax))
        return;
    name = name.trimmed();
    if (name.isEmpty()) MensErroAborta(QStringLiteral("Informe um nome para as opções."));
    if (name.size() > host::kOptionSetNameMax)
        MensErroAborta(QStringLiteral("O nome das opções deve ter no máximo %1 caracteres.").arg(host::kOptionSetNameMax));
    host::OptionStore *store = host::optionStore();
    const QString screen = lblCodTela->text(), op = Vantiro::Operator();
    if (store->names(screen, op).contains(name) &&
        !host::prompter()->confirm(QStringLiteral("Já existem opções salvas com o nome \"%1\". Deseja substituí-las?").arg(name)))
        return;
    store->save(screen, op, name, {stlVariaveis.Lines, ControlStates()});
    host::prompter()->notice(QStringLiteral("Opções salvas: %1").arg(name));
}

void TfrmFiltroPadrao::btfLoadOpcClick()
{
    host::OptionStore *store = host::optionStore();
    const QString screen = lblCodTela->text(), op = Vantiro::Operator();
    const QStringList names = store->names(screen, op);
    if (names.isEmpty()) MensErroAborta(QStringLiteral("Não há opções salvas para esta tela."));
    const QString name = host::prompter()->chooseSet(QStringLiteral("Carregar Opções"), names, [&](const QString &n) {
        if (!host::prompter()->confirm(QStringLiteral("Excluir as opções \"%1\"?").arg(n))) return false;
        try {
            store->remove(screen, op, n);
        } catch (const host::EHostError &e) {
            host::prompter()->error(e.text());
            return false;
        }
        return true;
    });
    if (name.isEmpty()) throw host::EAbort();
    const host::OptionSet set = store->load(screen, op, name);
    // Only name=value lines are variables.
    QStringList lines;
    for (const QString &l : set.variables)
        if (l.indexOf(QLatin1Char('=')) > 0) lines << l;
    stlVariaveis.Lines = lines;
    RestoreControlStates(set.components);
}

namespace {
// The criteria controls whose states travel with the options: those the user
// can see and set.
bool keepsState(QWidget *w)
{
    if (w->objectName().isEmpty()) return false;
    QWidget *panel = w->window()->findChild<QWidget *>(QStringLiteral("grbFiltroPadrao"));
    if (panel && !QRect(w->mapTo(panel, QPoint()), w->size()).intersects(panel->rect())) return false;
    if (qobject_cast<QRadioButton *>(w) || qobject_cast<QCheckBox *>(w)) return true;
    auto *e = qobject_cast<QLineEdit *>(w);
    return e && e->isEnabled() && !e->isReadOnly();
}
}  // namespace

QVector<QPair<QString, QString>> TfrmFiltroPadrao::ControlStates() const
{
    QVector<QPair<QString, QString>> out;
    for (QWidget *w : grbFiltroPadrao->findChildren<QWidget *>()) {
        if (!keepsState(w)) continue;
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            // Of a radio group only the chosen button is kept.
            if (qobject_cast<QRadioButton *>(w) && !b->isChecked()) continue;
            out.push_back({w->objectName(), b->isChecked() ? QStringLiteral("S") : QStringLiteral("N")});
        } else if (auto *m = qobject_cast<TMaskEdit *>(w)) {
            out.push_back({w->objectName(), m->Text()});
        } else {
            out.push_back({w->objectName(), static_cast<QLineEdit *>(w)->text()});
        }
    }
    return out;
}

int TfrmFiltroPadrao::RestoreControlStates(const QVector<QPair<QString, QString>> &states)
{
    int restored = 0;
    for (const auto &[name, value] : states) {
        QWidget *w = grbFiltroPadrao->findChild<QWidget *>(name);
        if (!w || !keepsState(w)) {
            qCInfo(lcHost) << "saved options: control" << name << "no longer exists";
            continue;
        }
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            const bool on = value == QLatin1String("S");
            if (qobject_cast<QRadioButton *>(w) && !on) continue;
            b->setChecked(on);
        } else {
            // A value the edit cannot hold whole leaves the edit as it was rather than cut.
            auto *m = qobject_cast<TMaskEdit *>(w);
            auto *e = static_cast<QLineEdit *>(w);
            const QString before = m ? m->Text() : e->text();
            if (value.size() > e->maxLength()) continue;
            if (m) m->SetText(value);
            else e->setText(value);
            if ((m ? m->Text() : e->text()) != value) {
                if (m) m->SetText(before);
                else e->setText(before);
                qCInfo(lcHost) << "saved options: value of" << name << "does not fit";
                continue;
            }
        }
        ++restored;
    }
    return restored;
}
