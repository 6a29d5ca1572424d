#include "messagecodec.h"
#include "oledate.h"
#include "packetwriter.h"

#include <QBuffer>
#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QFloat16>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace wire {

namespace {
// A number a reply may carry in a field of this kind: finite, and a date
// from year 100 to 9999 in a date field.
bool acceptableNumber(double d, FieldKind kind)
{
    return kind == FieldKind::DateTime ? isOleDate(d) : std::isfinite(d);
}
}  // namespace

namespace {

void writeText(QCborStreamWriter &w, const QString &s) { w.append(s); }

// Replies are read as a stream, straight into rows: no tree of the whole
// reply is built first, so a large history costs about its rows once.
class ReplyReader {
public:
    explicit ReplyReader(const QByteArray &cbor) : m_r(cbor), m_size(cbor.size()) {}

    bool reply(Reply *out, QString *why)
    {
        if (!m_r.isMap() || !m_r.enterContainer()) return fail(why, QStringLiteral("resposta ilegível"));
        bool isError = false;
        QStringList seen;  // each key once: a second one would add to the first
        while (m_r.hasNext()) {
            QString key;
            if (!text(&key) || seen.contains(key)) return fail(why, QStringLiteral("resposta ilegível"));
            seen << key;
            if (key == QLatin1String("e")) {
                if (!m_r.isInteger()) return fail(why, QStringLiteral("resposta ilegível"));
                out->error = ErrorCode(m_r.toInteger());
                if (out->error == ErrorCode::None) out->error = ErrorCode::Internal;
                isError = true;
                m_r.next();
            } else if (key == QLatin1String("msg")) {
                if (!text(&out->message)) return fail(why, QStringLiteral("resposta ilegível"));
            } else if (key == QLatin1String("refs")) {
                if (!m_r.isArray() || !m_r.enterContainer()) return fail(why, QStringLiteral("resposta ilegível"));
                while (m_r.hasNext()) {
                    QString ref;
                    if (!text(&ref)) return fail(why, QStringLiteral("resposta ilegível"));
                    out->refs << ref;
                }
                m_r.leaveContainer();
            } else if (key == QLatin1String("p")) {
                if (!packet(&out->packet, why)) return false;
            } else if (!m_r.next()) {
                return fail(why, QStringLiteral("resposta ilegível"));
            }
        }
        if (!m_r.leaveContainer() || m_r.lastError() != QCborError::NoError)
            return fail(why, QStringLiteral("resposta ilegível"));
        if (isError) {
            out->refs.clear();
            out->packet = {};
        }
        return true;
    }

    // The head of a reply sent in pieces, in its fixed order: the
    // by-reference values, then the packet's fields, then its rows, an
    // array of unknown length whose first row starts at *rowsAt.
    bool streamedHead(Reply *out, qsizetype *rowsAt, QString *why)
    {
        QString key;
        if (!m_r.isMap() || !m_r.enterContainer() || !text(&key) || key != QLatin1String("refs") || !m_r.isArray() ||
            !m_r.enterContainer())
            return fail(why, QStringLiteral("resposta ilegível"));
        while (m_r.hasNext()) {
            QString ref;
            if (!text(&ref)) return fail(why, QStringLiteral("resposta ilegível"));
            out->refs << ref;
        }
        if (!m_r.leaveContainer() || !text(&key) || key != QLatin1String("p") || !m_r.isMap() || !m_r.enterContainer() ||
            !text(&key) || key != QLatin1String("f"))
            return fail(why, QStringLiteral("pacote ilegível"));
        if (!fields(&out->packet.fields, why)) return false;
        if (!text(&key) || key != QLatin1String("r") || !m_r.isArray() || m_r.isLengthKnown())
            return fail(why, QStringLiteral("pacote ilegível"));
        *rowsAt = qsizetype(m_r.currentOffset()) + 1;
        return m_r.lastError() == QCborError::NoError || fail(why, QStringLiteral("pacote ilegível"));
    }

private:
    static bool fail(QString *why, const QString &text)
    {
        if (why) *why = text;
        return false;
    }

    bool text(QString *out)
    {
        if (!m_r.isString()) return false;
        out->clear();
        auto chunk = m_r.readString();
        while (chunk.status == QCborStreamReader::Ok) {
            *out += chunk.data;
            chunk = m_r.readString();
        }
        return chunk.status == QCborStreamReader::EndOfString;
    }

    bool utf8(QByteArray *out)
    {
        if (!m_r.isString()) return false;
        out->clear();
        QCborStreamReader::StringResult<qsizetype> r;
        do {
            const qsizetype chunk = m_r.currentStringChunkSize();
            if (chunk < 0) return false;
            const qsizetype at = out->size();
            out->resize(at + chunk);
            r = m_r.readStringChunk(out->data() + at, chunk);
            out->resize(r.status == QCborStreamReader::Ok ? at + r.data : at);
        } while (r.status == QCborStreamReader::Ok);
        return r.status == QCborStreamReader::EndOfString && QUtf8StringView(*out).isValidUtf8();
    }

    // A text read straight into the rows' buffer when its length is given
    // (always, from this server), otherwise gathered first.
    bool textInto(Rows *rows)
    {
        if (!m_r.isString()) return false;
        if (m_r.isLengthKnown() && m_r.length() <= quint64(kMaxFrameBytes)) {
            const qsizetype n = qsizetype(m_r.length());
            char *dst = rows->addUtf8Slot(n);
            const auto r = m_r.readStringChunk(dst, n);
            if (r.status != QCborStreamReader::Ok || r.data != n) return false;
            if (m_r.readStringChunk(nullptr, 0).status != QCborStreamReader::EndOfString) return false;
            return QUtf8StringView(dst, n).isValidUtf8();
        }
        if (!utf8(&m_utf8)) return false;
        rows->addUtf8(m_utf8.constData(), m_utf8.size());
        return true;
    }

    bool number(double *out)
    {
        if (m_r.isDouble()) *out = m_r.toDouble();
        else if (m_r.isFloat()) *out = m_r.toFloat();
        else if (m_r.isFloat16()) *out = double(m_r.toFloat16());
        else if (m_r.isInteger()) *out = double(m_r.toInteger());
        else return false;
        return m_r.next();
    }

    bool packet(DataPacket *p, QString *why)
    {
        if (!m_r.isMap() || !m_r.enterContainer()) return fail(why, QStringLiteral("pacote ilegível"));
        bool haveFields = false;
        QStringList seen;
        while (m_r.hasNext()) {
            QString key;
            if (!text(&key) || seen.contains(key)) return fail(why, QStringLiteral("pacote ilegível"));
            seen << key;
            if (key == QLatin1String("f")) {
                if (!fields(&p->fields, why)) return false;
                haveFields = true;
            } else if (key == QLatin1String("r")) {
                // Rows are typed by the fields, which come first.
                if (!haveFields) return fail(why, QStringLiteral("linhas antes dos campos"));
                if (!rows(p, why)) return false;
            } else if (!m_r.next()) {
                return fail(why, QStringLiteral("pacote ilegível"));
            }
        }
        return m_r.leaveContainer() || fail(why, QStringLiteral("pacote ilegível"));
    }

    bool fields(QVector<FieldDef> *out, QString *why)
    {
        if (!m_r.isArray() || !m_r.enterContainer()) return fail(why, QStringLiteral("definição de campo inválida"));
        while (m_r.hasNext()) {
            QString name;
            if (!m_r.isArray() || !m_r.enterContainer() || !text(&name) || !m_r.isInteger())
                return fail(why, QStringLiteral("definição de campo inválida"));
            const qint64 k = m_r.toInteger();
            m_r.next();
            if (k < 1 || k > 4) return fail(why, QStringLiteral("tipo de campo desconhecido"));
            if (!m_r.isInteger()) return fail(why, QStringLiteral("definição de campo inválida"));
            const qint64 width = m_r.toInteger();
            m_r.next();
            if (m_r.hasNext() || !m_r.leaveContainer()) return fail(why, QStringLiteral("definição de campo inválida"));
            out->push_back({name, FieldKind(k), int(width)});
        }
        return m_r.leaveContainer() || fail(why, QStringLiteral("definição de campo inválida"));
    }

    bool rows(DataPacket *p, QString *why)
    {
        if (!m_r.isArray() || !m_r.enterContainer()) return fail(why, QStringLiteral("pacote ilegível"));
        const int n = p->fields.size();
        // Room for the rows said, as many as the bytes can hold (each row takes
        // at least a byte and one per cell).
        if (m_r.isLengthKnown()) p->rows.reserve(qsizetype(std::min<quint64>(m_r.length(), quint64(m_size) / quint64(n + 1))));
        // The rows take about what they took on the wire, a little more where
        // numbers are empty (kept at their full width): room is made once,
        // rather than grown, which would copy the rows and hold both for a while.
        p->rows.reserveBytes(m_size + m_size / 4);
        while (m_r.hasNext()) {
            if (!m_r.isArray() || !m_r.enterContainer()) return fail(why, QStringLiteral("pacote ilegível"));
            // A row of no cells takes nothing on the wire and room here: none is read.
            if (n == 0) return fail(why, QStringLiteral("linha com número de colunas errado"));
            p->rows.beginRow(n);
            int i = 0;
            while (m_r.hasNext()) {
                if (i >= n) return fail(why, QStringLiteral("linha com número de colunas errado"));
                if (m_r.isNull() || m_r.isUndefined()) {
                    m_r.next();
                    if (p->fields[i].kind == FieldKind::Float || p->fields[i].kind == FieldKind::DateTime)
                        p->rows.addNullNumber();
                    else
                        p->rows.addNull();
                } else if (p->fields[i].kind == FieldKind::Float || p->fields[i].kind == FieldKind::DateTime) {
                    double d = 0;
                    if (!number(&d) || !acceptableNumber(d, p->fields[i].kind))
                        return fail(why, QStringLiteral("valor numérico inválido"));
                    p->rows.addNumber(d);
                } else {
                    // The text's UTF-8 goes into the rows as it is, once checked.
                    if (!textInto(&p->rows)) return fail(why, QStringLiteral("valor de texto inválido"));
                }
                ++i;
            }
            if (i != n || !m_r.leaveContainer()) return fail(why, QStringLiteral("linha com número de colunas errado"));
        }
        return m_r.leaveContainer() || fail(why, QStringLiteral("pacote ilegível"));
    }

    QCborStreamReader m_r;
    qsizetype m_size;
    QByteArray m_utf8;
};

// The rows of a piece, read by hand: a piece holds whole rows only, and a
// history's pieces are millions of cells. The rules are the whole reply's:
// numbers in number fields (any CBOR number), texts in text fields (valid
// UTF-8), null or undefined for an empty value, each row exactly as many
// cells as fields.
class PieceRows {
public:
    PieceRows(const char *data, qsizetype n) : m_p(reinterpret_cast<const uchar *>(data)), m_end(m_p + n) {}

    // *ended: the rows' end came, which must be the piece's last byte.
    bool read(const QVector<FieldDef> &fields, Rows *rows, bool *ended, QString *why)
    {
        const int n = fields.size();
        *ended = false;
        while (m_p < m_end) {
            if (*m_p == 0xFF) {
                *ended = ++m_p == m_end;
                return *ended || fail(why, QStringLiteral("pacote ilegível"));
            }
            quint64 cells = 0;
            if (!head(4, &cells) || cells != quint64(n) || n == 0)
                return fail(why, QStringLiteral("linha com número de colunas errado"));
            rows->beginRow(n);
            for (int i = 0; i < n; ++i) {
                if (m_p >= m_end) return fail(why, QStringLiteral("linha com número de colunas errado"));
                const bool number = fields[i].kind == FieldKind::Float || fields[i].kind == FieldKind::DateTime;
                if (*m_p == 0xF6 || *m_p == 0xF7) {
                    ++m_p;
                    if (number) rows->addNullNumber();
                    else rows->addNull();
                } else if (number) {
                    double d = 0;
                    if (!this->number(&d) || !acceptableNumber(d, fields[i].kind))
                        return fail(why, QStringLiteral("valor numérico inválido"));
                    rows->addNumber(d);
                } else if (!text(rows)) {
                    return fail(why, QStringLiteral("valor de texto inválido"));
                }
            }
        }
        return true;
    }

private:
    static bool fail(QString *why, const QString &text)
    {
        if (why) *why = text;
        return false;
    }

    // The head of an item of the given major type with its count or length.
    bool head(int major, quint64 *value)
    {
        if (m_p >= m_end || (*m_p >> 5) != major) return false;
        const uchar info = *m_p++ & 0x1F;
        if (info < 24) {
            *value = info;
            return true;
        }
        const int bytes = info == 24 ? 1 : info == 25 ? 2 : info == 26 ? 4 : info == 27 ? 8 : 0;
        if (bytes == 0 || m_end - m_p < bytes) return false;
        quint64 v = 0;
        for (int k = 0; k < bytes; ++k) v = v << 8 | m_p[k];
        m_p += bytes;
        *value = v;
        return true;
    }

    bool number(double *out)
    {
        const uchar b = *m_p;
        const auto bits = [this](int bytes, quint64 *v) {
            if (m_end - m_p < 1 + bytes) return false;
            *v = 0;
            for (int k = 1; k <= bytes; ++k) *v = *v << 8 | m_p[k];
            m_p += 1 + bytes;
            return true;
        };
        quint64 v = 0;
        if (b == 0xFB) {
            if (!bits(8, &v)) return false;
            std::memcpy(out, &v, sizeof *out);
        } else if (b == 0xFA) {
            if (!bits(4, &v)) return false;
            const quint32 w = quint32(v);
            float f;
            std::memcpy(&f, &w, sizeof f);
            *out = f;
        } else if (b == 0xF9) {
            if (!bits(2, &v)) return false;
            const quint16 h = quint16(v);
            qfloat16 f;
            std::memcpy(&f, &h, sizeof f);
            *out = double(float(f));
        } else if ((b >> 5) == 0 || (b >> 5) == 1) {
            const bool negative = (b >> 5) == 1;
            if (!head(b >> 5, &v)) return false;
            *out = negative ? -1.0 - double(v) : double(v);
        } else {
            return false;
        }
        return true;
    }

    bool text(Rows *rows)
    {
        if (*m_p == 0x7F) {
            // In chunks (never from this server): gathered first.
            QByteArray all;
            ++m_p;
            for (;;) {
                if (m_p >= m_end) return false;
                if (*m_p == 0xFF) {
                    ++m_p;
                    break;
                }
                quint64 n = 0;
                if (!head(3, &n) || quint64(m_end - m_p) < n) return false;
                all.append(reinterpret_cast<const char *>(m_p), qsizetype(n));
                m_p += n;
            }
            if (!QUtf8StringView(all).isValidUtf8()) return false;
            rows->addUtf8(all.constData(), all.size());
            return true;
        }
        quint64 n = 0;
        if (!head(3, &n) || quint64(m_end - m_p) < n) return false;
        const char *at = reinterpret_cast<const char *>(m_p);
        if (!QUtf8StringView(at, qsizetype(n)).isValidUtf8()) return false;
        std::memcpy(rows->addUtf8Slot(qsizetype(n)), at, size_t(n));
        m_p += n;
        return true;
    }

    const uchar *m_p, *m_end;
};

}  // namespace

bool PieceDecoder::add(const QByteArray &piece, bool last, QString *why)
{
    if (m_ended) {
        if (why) *why = QStringLiteral("resposta ilegível");
        return false;
    }
    qsizetype at = 0;
    const bool first = !m_headRead;
    if (first) {
        ReplyReader head(piece);
        if (!head.streamedHead(&m_reply, &at, why)) return false;
        m_headRead = true;
    }
    bool ended = false;
    const qsizetype rowsBefore = m_reply.packet.rows.size();
    PieceRows rows(piece.constData() + at, piece.size() - at);
    if (!rows.read(m_reply.packet.fields, &m_reply.packet.rows, &ended, why)) return false;
    // The rows end with the last piece, and only there; a piece between the
    // first and the last brings rows (empty ones would never end the reply).
    if (ended != last || (!first && !last && m_reply.packet.rows.size() == rowsBefore)) {
        if (why) *why = QStringLiteral("pacote ilegível");
        return false;
    }
    m_ended = ended;
    return true;
}

QByteArray encodeCall(const Call &c)
{
    QByteArray buf;
    QCborStreamWriter w(&buf);
    w.startMap(3);
    w.append(QLatin1StringView("o"));
    writeText(w, c.object);
    w.append(QLatin1StringView("m"));
    writeText(w, c.method);
    w.append(QLatin1StringView("a"));
    w.startArray(c.args.size());
    for (const Arg &a : c.args) {
        w.startArray(2);
        w.append(quint64(a.kind));
        if (a.kind == ArgKind::Date) {
            if (a.dateEmpty) w.append(nullptr);
            else w.append(a.date);
        } else {
            writeText(w, a.text);
        }
        w.endArray();
    }
    w.endArray();
    w.endMap();
    return buf;
}

QByteArray encodeHello(const Hello &h)
{
    QByteArray buf;
    QCborStreamWriter w(&buf);
    const bool login = !h.operatorName.isEmpty();
    w.startMap(1 + (h.pieces ? 1 : 0) + (login ? 2 : 0));
    w.append(QLatin1StringView("hello"));
    writeText(w, h.token);
    if (h.pieces) {
        w.append(QLatin1StringView("pieces"));
        w.append(true);
    }
    if (login) {
        w.append(QLatin1StringView("operator"));
        writeText(w, h.operatorName);
        w.append(QLatin1StringView("password"));
        writeText(w, h.password);
    }
    w.endMap();
    return buf;
}

QByteArray encodeReply(const Reply &r)
{
    QByteArray buf;
    if (!r.ok()) {
        QCborStreamWriter w(&buf);
        w.startMap(2);
        w.append(QLatin1StringView("e"));
        w.append(qint64(r.error));
        w.append(QLatin1StringView("msg"));
        writeText(w, r.message);
        w.endMap();
        return buf;
    }
    // map(2) { "refs": [...], "p": packet }, the packet written by its own writer
    // or taken as already encoded.
    buf = replyHead(r);
    if (!r.packetCbor.isEmpty()) buf.append(r.packetCbor);
    else writePacket(&buf, r.packet);
    return buf;
}

QByteArray replyHead(const Reply &r)
{
    QByteArray buf;
    QBuffer dev(&buf);
    dev.open(QIODevice::WriteOnly | QIODevice::Append);
    dev.putChar(char(0xA2));  // a map of two pairs
    {
        QCborStreamWriter w2(&dev);
        w2.append(QLatin1StringView("refs"));
        w2.startArray(r.refs.size());
        for (const QString &s : r.refs) writeText(w2, s);
        w2.endArray();
        w2.append(QLatin1StringView("p"));
    }
    dev.close();
    return buf;
}

QByteArray replyFrame(const Reply &r)
{
    if (!r.ok() || r.packetCbor.isEmpty()) return frame(encodeReply(r));
    const QByteArray head = replyHead(r);
    QByteArray out = lengthWord(0, head.size() + r.packetCbor.size());
    out.reserve(4 + head.size() + r.packetCbor.size());
    out.append(head);
    out.append(r.packetCbor);
    return out;
}

std::optional<Hello> decodeHello(const QByteArray &cbor)
{
    QCborParserError err;
    const QCborValue v = QCborValue::fromCbor(cbor, &err);
    if (err.error != QCborError::NoError || !v.isMap()) return std::nullopt;
    const QCborMap m = v.toMap();
    const QCborValue t = m.value(QLatin1StringView("hello"));
    if (!t.isString()) return std::nullopt;
    Hello h{t.toString(), m.value(QLatin1StringView("pieces")).isTrue(), {}, {}};
    const QCborValue op = m.value(QLatin1StringView("operator")), pw = m.value(QLatin1StringView("password"));
    if (!op.isUndefined() || !pw.isUndefined()) {
        // Both or neither, each a text within its bound: anything else is no hello.
        if (!op.isString() || !pw.isString()) return std::nullopt;
        h.operatorName = op.toString();
        h.password = pw.toString();
        if (h.operatorName.isEmpty() || h.operatorName.size() > kOperatorNameMax || h.password.size() > kPasswordMax)
            return std::nullopt;
    }
    return h;
}

std::optional<Call> decodeCall(const QByteArray &cbor, QString *why)
{
    QCborParserError err;
    const QCborValue v = QCborValue::fromCbor(cbor, &err);
    if (err.error != QCborError::NoError || !v.isMap()) {
        if (why) *why = QStringLiteral("quadro ilegível");
        return std::nullopt;
    }
    const QCborMap m = v.toMap();
    const QCborValue o = m.value(QLatin1StringView("o")), me = m.value(QLatin1StringView("m")),
                     a = m.value(QLatin1StringView("a"));
    if (!o.isString() || !me.isString() || !a.isArray()) {
        if (why) *why = QStringLiteral("chamada sem objeto, método ou argumentos");
        return std::nullopt;
    }
    Call c{o.toString(), me.toString(), {}};
    for (const QCborValue &av : a.toArray()) {
        const QCborArray pair = av.toArray();
        if (pair.size() != 2 || !pair[0].isInteger()) {
            if (why) *why = QStringLiteral("argumento malformado");
            return std::nullopt;
        }
        Arg arg;
        const qint64 k = pair[0].toInteger();
        if (k == qint64(ArgKind::Date)) {
            arg.kind = ArgKind::Date;
            if (pair[1].isNull()) arg.dateEmpty = true;
            else if (pair[1].isDouble() || pair[1].isInteger()) arg.date = pair[1].toDouble();
            else {
                if (why) *why = QStringLiteral("data malformada");
                return std::nullopt;
            }
        } else if (k == qint64(ArgKind::Text) || k == qint64(ArgKind::TextRef)) {
            if (!pair[1].isString()) {
                if (why) *why = QStringLiteral("texto malformado");
                return std::nullopt;
            }
            arg.kind = ArgKind(k);
            arg.text = pair[1].toString();
        } else {
            if (why) *why = QStringLiteral("tipo de argumento desconhecido");
            return std::nullopt;
        }
        c.args.push_back(arg);
    }
    return c;
}

std::optional<Reply> decodeReply(const QByteArray &cbor, QString *why)
{
    Reply r;
    ReplyReader reader(cbor);
    if (!reader.reply(&r, why)) return std::nullopt;
    return r;
}

QByteArray lengthWord(quint32 marks, qsizetype length)
{
    QByteArray w(4, Qt::Uninitialized);
    qToBigEndian<quint32>(marks | quint32(length), w.data());
    return w;
}

QByteArray frame(const QByteArray &payload) { return lengthWord(0, payload.size()) + payload; }

}  // namespace wire
