#pragma once
// A tabular answer of the application server: field definitions and rows.
#include <QString>
#include <QVariant>
#include <QVector>

namespace wire {

enum class FieldKind : quint8 { String = 1, FixedString = 2, Float = 3, DateTime = 4 };

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::String;
    int width = 0;  // characters for texts, 0 otherwise
};

// One cell: null QVariant for an empty value; QString for texts; double for
// floats and for date-times (OLE dates: days since 30 December 1899).
using Row = QVector<QVariant>;

struct DataPacket {
    QVector<FieldDef> fields;
    QVector<Row> rows;
    int indexOf(const QString &name) const;
};

QString kindName(FieldKind k);

}  // namespace wire
