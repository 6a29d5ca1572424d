#pragma once
// Interpreter of the edit-mask language "mask;saveLiterals;blank", shared by the
// masked edit and FormatMaskText.
//   0 digit required, 9 digit optional, # digit/sign optional, L letter required,
//   l letter optional, A alphanumeric required, a alphanumeric optional,
//   C any required, c any optional, > upper case, < lower case, <> no case change,
//   ! optional characters shown as leading blanks, \ next character literal.
#include "host_export.h"
#include <QChar>
#include <QString>
#include <QVector>

class HOST_EXPORT EditMask {
public:
    struct Slot {
        bool literal = false;
        QChar ch;          // literal character, or the mask letter
        int caseMode = 0;  // 1 upper, -1 lower
    };
    EditMask() = default;
    explicit EditMask(const QString &mask);

    bool isEmpty() const { return m_slots.isEmpty(); }
    bool leadingBlanks() const { return m_leading; }
    bool saveLiterals() const { return m_saveLiterals; }
    QChar blank() const { return m_blank; }
    const QVector<Slot> &items() const { return m_slots; }
    int inputSlots() const;  // number of non-literal slots

    // True when c may stand in the input slot.
    static bool accepts(const Slot &s, QChar c);
    QChar applyCase(const Slot &s, QChar c) const;

    // Keeps only the characters the mask accepts, in order, up to its input slots.
    QString filter(const QString &raw) const;
    // Lays out the input characters (no literals) over the mask; missing
    // optional characters become blanks, leading when the mask says so.
    QString layout(const QString &input, bool withLiterals) const;
    // Text as the control reports it: literals per saveLiterals, blanks included.
    QString text(const QString &input) const { return layout(input, m_saveLiterals); }

private:
    QVector<Slot> m_slots;
    bool m_leading = false;
    bool m_saveLiterals = true;
    QChar m_blank = QLatin1Char('_');
};
