#pragma once
// Data packets written as CBOR: whole, or row by row for packets too large to
// build first. The items are appended straight to the byte array (no device in
// between): a history writes millions of them.
#include "datapacket.h"
#include <QByteArray>
#include <QStringEncoder>
#include <cstring>
#include <functional>

namespace wire {

class PacketWriter {
public:
    PacketWriter(QByteArray *out, const QVector<FieldDef> &fields);
    void beginRow();
    void cell(int field, const QVariant &v);  // typed by the field's kind
    void text(QStringView s);
    void number(double d);
    void null();
    void finish();
    // The packet's bytes written so far, given away included (the array is
    // larger until finish()).
    qsizetype bytes() const { return m_given + m_len - m_start; }
    // From now on, what was written is given to spill whenever it passes
    // pieceBytes at a row's start, so that it can leave before the packet
    // ends; the array then holds what was not given. spill returning false
    // stops the giving: flowing() says so, and the caller stops writing.
    void streamTo(std::function<bool(QByteArrayView)> spill, qsizetype pieceBytes);
    bool flowing() const { return m_flowing; }
private:
    void head(quint8 major, quint64 value);
    // Room for n more bytes at the end of what was written; the array grows
    // in large steps, so that most items cost a copy and nothing else.
    char *room(qsizetype n);
    void put(const char *data, qsizetype n) { std::memcpy(room(n), data, size_t(n)); }
    QByteArray *m_out;
    qsizetype m_start = 0, m_len = 0, m_given = 0;
    std::function<bool(QByteArrayView)> m_spill;
    qsizetype m_pieceBytes = 0;
    bool m_flowing = true;
    QVector<FieldDef> m_fields;
    QByteArray m_utf8;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
};

// Appends the packet's item to out.
void writePacket(QByteArray *out, const DataPacket &p);

}  // namespace wire
