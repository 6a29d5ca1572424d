#include "packetwriter.h"

#include <QBuffer>
#include <QCborStreamWriter>

namespace wire {

PacketWriter::PacketWriter(QByteArray *out, const QVector<FieldDef> &fields)
    : m_dev(std::make_unique<QBuffer>(out)), m_fields(fields)
{
    // A writer on a byte array starts at its beginning; through a buffer it appends.
    m_dev->open(QIODevice::WriteOnly | QIODevice::Append);
    m_w = std::make_unique<QCborStreamWriter>(m_dev.get());
    m_w->startMap(2);
    m_w->append(QLatin1StringView("f"));
    m_w->startArray(fields.size());
    for (const FieldDef &f : fields) {
        m_w->startArray(3);
        m_w->append(f.name);
        m_w->append(quint64(f.kind));
        m_w->append(qint64(f.width));
        m_w->endArray();
    }
    m_w->endArray();
    m_w->append(QLatin1StringView("r"));
    m_w->startArray();  // rows are counted by the reader
}

PacketWriter::~PacketWriter() = default;

void PacketWriter::beginRow()
{
    if (m_inRow) m_w->endArray();
    m_w->startArray(m_fields.size());
    m_inRow = true;
}

void PacketWriter::cell(int field, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        m_w->append(nullptr);
        return;
    }
    switch (m_fields[field].kind) {
    case FieldKind::Float:
    case FieldKind::DateTime: m_w->append(v.toDouble()); break;
    default: text(v.toString()); break;
    }
}

void PacketWriter::text(const QString &s)
{
    // Encoded into a reused buffer: one allocation per string adds up over a
    // history of hundreds of thousands of rows.
    m_utf8.resize(s.size() * 3);
    char *end = m_encoder.appendToBuffer(m_utf8.data(), s);
    m_w->appendTextString(m_utf8.constData(), end - m_utf8.constData());
}

void PacketWriter::finish()
{
    if (m_inRow) m_w->endArray();
    m_inRow = false;
    m_w->endArray();
    m_w->endMap();
    m_w.reset();
    m_dev.reset();
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
