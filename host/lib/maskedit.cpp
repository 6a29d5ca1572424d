#include "maskedit.h"
#include "dispatch.h"

#include <QKeyEvent>

TMaskEdit::TMaskEdit(QWidget *parent) : QLineEdit(parent) {}

void TMaskEdit::SetEditMask(const QString &mask)
{
    m_mask = EditMask(mask);
    if (!m_mask.isEmpty()) setMaxLength(m_mask.inputSlots());
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
    if (printable && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QChar key = e->key() == Qt::Key_Backspace ? QChar(QLatin1Char('\b')) : t.at(0);
        if (OnKeyPress) {
            bool ok = host::dispatch([&] { OnKeyPress(key); });
            if (!ok) key = QChar();
        }
        if (key.isNull()) return;
        if (key != QLatin1Char('\b') && !m_mask.isEmpty()) {
            QString probe = text();
            probe.insert(cursorPosition(), key);
            if (hasSelectedText()) probe = text().left(selectionStart()) + key + text().mid(selectionStart() + selectedText().size());
            if (m_mask.filter(probe) != probe) return;
        }
    }
    QLineEdit::keyPressEvent(e);
}
