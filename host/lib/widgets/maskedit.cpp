#include "maskedit.h"
#include "dispatch.h"
#include "prompter.h"

#include <QKeyEvent>
#include <QValidator>

namespace {
// Typing, pasting and dropping all pass this one check: the text must be what
// the mask keeps of it.
class MaskValidator : public QValidator {
public:
    MaskValidator(const EditMask *mask, QObject *parent) : QValidator(parent), m_mask(mask) {}
    State validate(QString &input, int &pos) const override
    {
        const QString kept = m_mask->filter(input);
        if (kept == input) return Acceptable;
        // A paste longer than the field: its first characters fill it and the
        // user is told, rather than the whole paste being dropped in silence.
        // (One character too many is a keystroke: refused as any other.)
        if (kept.size() == m_mask->inputSlots() && input.size() > kept.size() + 1 && m_mask->filter(input.left(kept.size())) == kept) {
            input = kept;
            pos = std::min(pos, int(kept.size()));
            host::prompter()->notice(QStringLiteral("O campo comporta %1 caracteres: só os primeiros foram colados.").arg(kept.size()));
            return Acceptable;
        }
        return Invalid;
    }
private:
    const EditMask *m_mask;
};
}  // namespace

TMaskEdit::TMaskEdit(QWidget *parent) : QLineEdit(parent)
{
    // setText bypasses the validator: what it put in is brought back to the mask.
    connect(this, &QLineEdit::textChanged, this, [this](const QString &t) {
        if (m_mask.isEmpty()) return;
        const QString kept = m_mask.filter(t);
        if (kept != t) setText(kept);
    });
}

void TMaskEdit::SetEditMask(const QString &mask)
{
    m_mask = EditMask(mask);
    setValidator(m_mask.isEmpty() ? nullptr : new MaskValidator(&m_mask, this));
    // No maximum length: it would cut a pasted text before the mask sees it.
    setText(m_mask.isEmpty() ? text() : m_mask.filter(text()));
}

QString TMaskEdit::Text() const { return m_mask.isEmpty() ? text() : m_mask.text(text()); }

void TMaskEdit::SetText(const QString &t)
{
    if (m_mask.isEmpty()) {
        setText(t);
        return;
    }
    // Literals and blanks of a laid-out text are not input characters.
    QString input;
    for (QChar c : t)
        if (!c.isSpace() && c != m_mask.blank()) input += c;
    setText(m_mask.filter(input));
}

void TMaskEdit::keyPressEvent(QKeyEvent *e)
{
    const QString t = e->text();
    const bool printable = t.size() == 1 && (t.at(0).isPrint() || t.at(0) == QLatin1Char('\b'));
    if (printable && OnKeyPress && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QChar key = e->key() == Qt::Key_Backspace ? QChar(QLatin1Char('\b')) : t.at(0);
        if (!host::dispatch([&] { OnKeyPress(key); })) key = QChar();
        if (key.isNull()) return;
    }
    QLineEdit::keyPressEvent(e);
}
