#pragma once
// Data packets written as CBOR: whole, or row by row for packets too large to
// build first.
#include "datapacket.h"
#include <QByteArray>
#include <QStringEncoder>
#include <memory>

class QBuffer;
class QCborStreamWriter;

namespace wire {

class PacketWriter {
public:
    PacketWriter(QByteArray *out, const QVector<FieldDef> &fields);
    ~PacketWriter();
    void beginRow();
    void cell(int field, const QVariant &v);  // typed by the field's kind
    void text(const QString &s);
    void finish();
private:
    std::unique_ptr<QBuffer> m_dev;
    std::unique_ptr<QCborStreamWriter> m_w;
    QVector<FieldDef> m_fields;
    QByteArray m_utf8;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    bool m_inRow = false;
};

// Appends the packet's item to out.
void writePacket(QByteArray *out, const DataPacket &p);

}  // namespace wire
