#include "codec.h"

#include <QAbstractSocket>
#include <QBuffer>
#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QDateTime>
#include <QIODevice>
#include <QSslSocket>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <QtEndian>
#include <cmath>

namespace wire {

namespace {

const QDate kOleEpoch(1899, 12, 30);

void writeText(QCborStreamWriter &w, const QString &s) { w.append(s); }

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

// Replies are read as a stream, straight into rows: no tree of the whole
// reply is built first, so a large history costs about its rows once.
class ReplyReader {
public:
    explicit ReplyReader(const QByteArray &cbor) : m_r(cbor), m_size(cbor.size()) {}

    bool reply(Reply *out, QString *why)
    {
        if (!m_r.isMap() || !m_r.enterContainer()) return fail(why, QStringLiteral("resposta ilegível"));
        bool isError = false;
        while (m_r.hasNext()) {
            QString key;
            if (!text(&key)) return fail(why, QStringLiteral("resposta ilegível"));
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
        while (m_r.hasNext()) {
            QString key;
            if (!text(&key)) return fail(why, QStringLiteral("pacote ilegível"));
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
        if (m_r.isLengthKnown()) p->rows.reserve(qsizetype(std::min<quint64>(m_r.length(), 10000000)));
        // The rows take about what they took on the wire, a little more where
        // numbers are empty (kept at their full width): room is made once,
        // rather than grown, which would copy the rows and hold both for a while.
        p->rows.reserveBytes(m_size + m_size / 4);
        while (m_r.hasNext()) {
            if (!m_r.isArray() || !m_r.enterContainer()) return fail(why, QStringLiteral("pacote ilegível"));
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
                    if (!number(&d)) return fail(why, QStringLiteral("valor numérico inválido"));
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

}  // namespace

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
void PacketWriter::number(double d) { m_w->append(d); }
void PacketWriter::null() { m_w->append(nullptr); }

void PacketWriter::finish()
{
    if (m_inRow) m_w->endArray();
    m_inRow = false;
    m_w->endArray();
    m_w->endMap();
    m_w.reset();
    m_dev.reset();
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
    w.startMap(1);
    w.append(QLatin1StringView("hello"));
    writeText(w, h.token);
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

static bool writePayload(QIODevice *dev, const QByteArray &payload, int msecs);

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
    QByteArray out;
    out.reserve(4 + head.size() + r.packetCbor.size());
    out.append(4, '\0');
    qToBigEndian<quint32>(quint32(head.size() + r.packetCbor.size()), out.data());
    out.append(head);
    out.append(r.packetCbor);
    return out;
}

bool writeReply(QIODevice *dev, const Reply &r, int msecs) { return writePayload(dev, replyFrame(r), msecs); }

std::optional<Hello> decodeHello(const QByteArray &cbor)
{
    QCborParserError err;
    const QCborValue v = QCborValue::fromCbor(cbor, &err);
    if (err.error != QCborError::NoError || !v.isMap()) return std::nullopt;
    const QCborValue t = v.toMap().value(QLatin1StringView("hello"));
    if (!t.isString()) return std::nullopt;
    return Hello{t.toString()};
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

QByteArray frame(const QByteArray &payload)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), out.data());
    out += payload;
    return out;
}

// A plain TCP socket with nothing buffered on Qt's side is read and written on
// its descriptor: one system call per piece, and no wake-ups of the thread's
// event loop for each. -1 when Qt's own path must be taken (TLS, buffered bytes).
static int plainDescriptor(QIODevice *dev)
{
    auto *sock = qobject_cast<QAbstractSocket *>(dev);
    if (!sock || sock->state() != QAbstractSocket::ConnectedState) return -1;
    if (auto *ssl = qobject_cast<QSslSocket *>(sock); ssl && ssl->mode() != QSslSocket::UnencryptedMode) return -1;
    if (sock->bytesAvailable() > 0 || sock->bytesToWrite() > 0) return -1;
    return int(sock->socketDescriptor());
}

// Waits for the descriptor to be ready; false on timeout or error.
static bool waitReady(int fd, short events, int msecs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, msecs);
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

// waitFirst: the bytes are not expected to be there yet (an answer just asked
// for), so the first try would only fail.
static ReadStatus recvExactly(int fd, char *dst, qint64 n, int msecs, bool waitFirst)
{
    qint64 got = 0;
    if (waitFirst && !waitReady(fd, POLLIN, msecs)) return ReadStatus::Timeout;
    while (got < n) {
        const ssize_t r = ::recv(fd, dst + got, size_t(n - got), MSG_DONTWAIT);
        if (r > 0) {
            got += r;
        } else if (r == 0) {
            return ReadStatus::Closed;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd p{fd, POLLIN, 0};
            const int k = ::poll(&p, 1, msecs);
            if (k == 0) return ReadStatus::Timeout;
            if (k < 0 && errno != EINTR) return ReadStatus::Closed;
        } else if (errno != EINTR) {
            return ReadStatus::Closed;
        }
    }
    return ReadStatus::Ok;
}

qint64 sendNow(int fd, const char *data, qint64 n)
{
    qint64 sent = 0;
    while (sent < n) {
        const ssize_t r = ::send(fd, data + sent, size_t(n - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) sent += r;
        else if (r < 0 && errno == EINTR) continue;
        else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        else return -1;
    }
    return sent;
}

static bool sendAll(int fd, const char *src, qint64 n, int msecs)
{
    qint64 sent = 0;
    while (sent < n) {
        const qint64 r = sendNow(fd, src + sent, n - sent);
        if (r < 0) return false;
        sent += r;
        if (sent < n && !waitReady(fd, POLLOUT, msecs)) return false;
    }
    return true;
}

static bool readExactly(QIODevice *dev, char *dst, qint64 n, int msecs)
{
    qint64 got = 0;
    while (got < n) {
        if (dev->bytesAvailable() == 0) {
            auto *sock = qobject_cast<QAbstractSocket *>(dev);
            if (sock && sock->state() != QAbstractSocket::ConnectedState) return false;
            if (!dev->waitForReadyRead(msecs)) return false;
        }
        const qint64 r = dev->read(dst + got, n - got);
        if (r < 0) return false;
        got += r;
    }
    return true;
}

ReadStatus readFrame(QIODevice *dev, QByteArray *payload, int maxBytes, int msecs)
{
    char hdr[4];
    if (const int fd = plainDescriptor(dev); fd >= 0) {
        ReadStatus st = recvExactly(fd, hdr, 4, msecs, true);
        if (st != ReadStatus::Ok) return st;
        const quint32 len = qFromBigEndian<quint32>(hdr);
        if (len > quint32(maxBytes)) return ReadStatus::TooLarge;
        payload->resize(len);
        return recvExactly(fd, payload->data(), len, msecs, false);
    }
    if (!readExactly(dev, hdr, 4, msecs)) {
        auto *sock = qobject_cast<QAbstractSocket *>(dev);
        if (sock && sock->state() != QAbstractSocket::ConnectedState) return ReadStatus::Closed;
        return sock && sock->error() == QAbstractSocket::SocketTimeoutError ? ReadStatus::Timeout
                                                                            : ReadStatus::Closed;
    }
    const quint32 len = qFromBigEndian<quint32>(hdr);
    if (len > quint32(maxBytes)) return ReadStatus::TooLarge;
    payload->resize(len);
    if (!readExactly(dev, payload->data(), len, msecs)) {
        auto *sock = qobject_cast<QAbstractSocket *>(dev);
        return sock && sock->state() == QAbstractSocket::ConnectedState && sock->error() == QAbstractSocket::SocketTimeoutError
                   ? ReadStatus::Timeout
                   : ReadStatus::Closed;
    }
    return ReadStatus::Ok;
}

bool writeFrame(QIODevice *dev, const QByteArray &payload, int msecs)
{
    // One buffer, so the frame leaves in one write rather than a segment per piece.
    return writePayload(dev, frame(payload), msecs);
}

static bool writePayload(QIODevice *dev, const QByteArray &payload, int msecs)
{
    if (const int fd = plainDescriptor(dev); fd >= 0) return sendAll(fd, payload.constData(), payload.size(), msecs);
    if (dev->write(payload) != payload.size()) return false;
    auto *sock = qobject_cast<QAbstractSocket *>(dev);
    if (!sock) return true;
    while (sock->bytesToWrite() > 0)
        if (!sock->waitForBytesWritten(msecs)) return false;
    return true;
}

double toOleDate(const QDateTime &dt)
{
    const double days = kOleEpoch.daysTo(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
    // OLE dates before the epoch keep the time as a positive fraction.
    return days >= 0 ? days + frac : days - frac;
}

double toOleDate(const QDate &d) { return kOleEpoch.daysTo(d); }

QDateTime fromOleDate(double ole)
{
    const double whole = ole >= 0 ? std::floor(ole) : std::ceil(ole);
    const double frac = std::abs(ole - whole);
    const QDate d = kOleEpoch.addDays(qint64(whole));
    const qint64 ms = qRound64(frac * 86400000.0);
    return QDateTime(d, QTime(0, 0), Qt::UTC).addMSecs(ms);
}

namespace {
// Reads N digits at p; -1 when a character is no digit.
int digits(const QChar *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "YYYY-MM-DD", optionally followed by " HH:MM:SS" or "THH:MM:SS" (fractions
// ignored), as SQLite holds dates. Parsed by hand: this runs for every date
// cell of every packet.
double oleFromIsoText(const QString &s)
{
    if (s.size() < 10 || s.at(4) != QLatin1Char('-') || s.at(7) != QLatin1Char('-')) return std::nan("");
    const QChar *p = s.constData();
    const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
    if (y < 0 || mo < 0 || d < 0 || !QDate::isValid(y, mo, d)) return std::nan("");
    double days = double(QDate(y, mo, d).toJulianDay() - kOleEpoch.toJulianDay());
    if (s.size() >= 19 && (s.at(10) == QLatin1Char(' ') || s.at(10) == QLatin1Char('T'))) {
        const int h = digits(p + 11, 2), mi = digits(p + 14, 2), se = digits(p + 17, 2);
        if (h < 0 || mi < 0 || se < 0 || h > 23 || mi > 59 || se > 59) return std::nan("");
        const double frac = (h * 3600 + mi * 60 + se) / 86400.0;
        days = days >= 0 ? days + frac : days - frac;
    }
    return days;
}
}  // namespace

double oleFromSql(const QVariant &v)
{
    if (!v.isValid() || v.isNull()) return std::nan("");
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.isValid() ? toOleDate(QDateTime(dt.date(), dt.time(), Qt::UTC)) : std::nan("");
    }
    case QMetaType::QDate: return v.toDate().isValid() ? toOleDate(v.toDate()) : std::nan("");
    case QMetaType::QString: return oleFromIsoText(v.toString().trimmed());
    default: return oleFromIsoText(v.toString().trimmed());
    }
}

}  // namespace wire
