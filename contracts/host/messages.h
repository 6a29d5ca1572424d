#pragma once
// A form's message table: lines "key|text", read by key.
#include "host_export.h"
#include <QHash>
#include <QObject>
#include <QStringList>

class HOST_EXPORT TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject *parent = nullptr, const QString &name = QStringLiteral("msgPadrao"));
    // Loads the lines of a text resource or file (UTF-8, one "key|text" per line).
    void LoadFromFile(const QString &path);
    void SetLines(const QStringList &lines);
    const QStringList &Lines() const { return m_lines; }
    // Text after the "|" of the first line that begins with the key; empty when none.
    QString Msg(const QString &key) const;
private:
    QStringList m_lines;
};
