#include "packetwriter.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace wire {

namespace {
constexpr quint8 kUnsigned = 0, kNegative = 1, kText = 3, kArray = 4, kMap = 5;
constexpr char kIndefiniteArray = char(0x9F), kBreak = char(0xFF), kNull = char(0xF6), kDouble = char(0xFB);
}  // namespace

// The head of a CBOR item: its major type and a count, value or length in
// the shortest form.
void PacketWriter::head(quint8 major, quint64 value)
{
    char b[9];
    int n = 1;
    const quint8 m = quint8(major << 5);
    if (value < 24) {
        b[0] = char(m | value);
    } else if (value <= 0xFF) {
        b[0] = char(m | 24);
        b[1] = char(value);
        n = 2;
    } else if (value <= 0xFFFF) {
        b[0] = char(m | 25);
        qToBigEndian<quint16>(quint16(value), b + 1);
        n = 3;
    } else if (value <= 0xFFFFFFFFu) {
        b[0] = char(m | 26);
        qToBigEndian<quint32>(quint32(value), b + 1);
        n = 5;
    } else {
        b[0] = char(m | 27);
        qToBigEndian<quint64>(value, b + 1);
        n = 9;
    }
    put(b, n);
}

char *PacketWriter::room(qsizetype n)
{
    if (m_len + n > m_out->size()) m_out->resize(std::max<qsizetype>(m_len + n, std::max<qsizetype>(m_out->size() * 2, 64 * 1024)));
    char *at = m_out->data() + m_len;
    m_len += n;
    return at;
}

PacketWriter::PacketWriter(QByteArray *out, const QVector<FieldDef> &fields)
    : m_out(out), m_start(out->size()), m_len(out->size()), m_fields(fields)
{
    head(kMap, 2);
    text(QStringLiteral("f"));
    head(kArray, quint64(fields.size()));
    for (const FieldDef &f : fields) {
        head(kArray, 3);
        text(f.name);
        head(kUnsigned, quint64(f.kind));
        if (f.width < 0) head(kNegative, quint64(-1 - qint64(f.width)));
        else head(kUnsigned, quint64(f.width));
    }
    text(QStringLiteral("r"));
    put(&kIndefiniteArray, 1);  // rows are counted by the reader
}

void PacketWriter::streamTo(std::function<bool(QByteArrayView)> spill, qsizetype pieceBytes)
{
    m_spill = std::move(spill);
    m_pieceBytes = pieceBytes;
}

void PacketWriter::beginRow()
{
    // A piece ends where a row ends: the reader decodes each as it comes.
    if (m_spill && m_flowing && m_len - m_start >= m_pieceBytes) {
        m_flowing = m_spill(QByteArrayView(m_out->constData() + m_start, m_len - m_start));
        m_given += m_len - m_start;
        m_len = m_start;
    }
    head(kArray, quint64(m_fields.size()));
}

void PacketWriter::null() { put(&kNull, 1); }

void PacketWriter::number(double d)
{
    char b[9];
    b[0] = kDouble;
    quint64 bits;
    std::memcpy(&bits, &d, sizeof bits);
    qToBigEndian<quint64>(bits, b + 1);
    put(b, 9);
}

void PacketWriter::cell(int field, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        null();
        return;
    }
    switch (m_fields[field].kind) {
    case FieldKind::Float:
    case FieldKind::DateTime: number(v.toDouble()); break;
    default: text(v.toString()); break;
    }
}

void PacketWriter::text(QStringView s)
{
    // Most texts are ASCII: copied straight in, narrowed, while a check runs
    // over the same characters; only a text that is not goes through the encoder.
    const qsizetype n = s.size();
    const qsizetype mark = m_len;
    head(kText, quint64(n));
    char *dst = room(n);
    const char16_t *src = s.utf16();
    char16_t seen = 0;
    for (qsizetype i = 0; i < n; ++i) {
        seen |= src[i];
        dst[i] = char(src[i]);
    }
    if (seen < 0x80) return;
    m_len = mark;
    // Encoded into a reused buffer: one allocation per string adds up over a
    // history of hundreds of thousands of rows.
    if (m_utf8.size() < s.size() * 3) m_utf8.resize(s.size() * 3);
    char *end = m_encoder.appendToBuffer(m_utf8.data(), s);
    const qsizetype bytes = end - m_utf8.constData();
    head(kText, quint64(bytes));
    put(m_utf8.constData(), bytes);
}

void PacketWriter::finish()
{
    put(&kBreak, 1);  // end of the rows
    m_out->resize(m_len);  // the capacity stays: the reply is copied into its frame and let go
}

void writePacket(QByteArray *out, const DataPacket &p)
{
    PacketWriter pw(out, p.fields);
    const int n = p.fields.size();
    for (const Row &row : p.rows) {
        pw.beginRow();
        for (int i = 0; i < n; ++i) pw.cell(i, i < row.size() ? row[i] : QVariant());
    }
    pw.finish();
}

}  // namespace wire
