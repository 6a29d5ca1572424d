#pragma once
// A list of "name=value" lines.
#include "host_export.h"
#include <QStringList>

class HOST_EXPORT TStringList {
public:
    QStringList Lines;
    // Empty text when the name is absent.
    QString Value(const QString &name) const;
    // Writing the empty text removes the line; an existing line is replaced in
    // place; a new name is appended.
    void SetValue(const QString &name, const QString &value);
    int IndexOfName(const QString &name) const;
};
