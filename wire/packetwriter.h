#pragma once
// Data packets written as CBOR: whole, or row by row for packets too large to
// build first. The items are appended straight to the byte array (no device in
// between): a history writes millions of them.
#include "datapacket.h"
#include <QByteArray>
#include <QStringEncoder>

namespace wire {

class PacketWriter {
public:
    PacketWriter(QByteArray *out, const QVector<FieldDef> &fields);
    void beginRow();
    void cell(int field, const QVariant &v);  // typed by the field's kind
    void text(const QString &s);
    void number(double d);
    void null();
    void finish();
private:
    void head(quint8 major, quint64 value);
    QByteArray *m_out;
    QVector<FieldDef> m_fields;
    QByteArray m_utf8;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
};

// Appends the packet's item to out.
void writePacket(QByteArray *out, const DataPacket &p);

}  // namespace wire
