#include "codec.h"

#include <QAbstractSocket>
#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QDateTime>
#include <QIODevice>
#include <QtEndian>
#include <cmath>

namespace wire {

namespace {

const QDate kOleEpoch(1899, 12, 30);

void writeText(QCborStreamWriter &w, const QString &s) { w.append(s); }

void writePacket(QCborStreamWriter &w, const DataPacket &p)
{
    w.startMap(2);
    w.append(QLatin1StringView("f"));
    w.startArray(p.fields.size());
    for (const FieldDef &f : p.fields) {
        w.startArray(3);
        writeText(w, f.name);
        w.append(quint64(f.kind));
        w.append(qint64(f.width));
        w.endArray();
    }
    w.endArray();
    w.append(QLatin1StringView("r"));
    w.startArray(p.rows.size());
    const int n = p.fields.size();
    for (const Row &row : p.rows) {
        w.startArray(n);
        for (int i = 0; i < n; ++i) {
            const QVariant &v = i < row.size() ? row[i] : QVariant();
            if (!v.isValid() || v.isNull()) {
                w.append(nullptr);
                continue;
            }
            switch (p.fields[i].kind) {
            case FieldKind::Float:
            case FieldKind::DateTime: w.append(v.toDouble()); break;
            default: writeText(w, v.toString()); break;
            }
        }
        w.endArray();
    }
    w.endArray();
    w.endMap();
}

bool readPacket(const QCborValue &v, DataPacket *p, QString *why)
{
    const QCborMap m = v.toMap();
    const QCborArray fa = m.value(QLatin1StringView("f")).toArray();
    const QCborArray ra = m.value(QLatin1StringView("r")).toArray();
    p->fields.reserve(fa.size());
    for (const QCborValue &fv : fa) {
        const QCborArray f = fv.toArray();
        if (f.size() != 3 || !f[0].isString() || !f[1].isInteger()) {
            if (why) *why = QStringLiteral("definição de campo inválida");
            return false;
        }
        const qint64 k = f[1].toInteger();
        if (k < 1 || k > 4) {
            if (why) *why = QStringLiteral("tipo de campo desconhecido");
            return false;
        }
        p->fields.push_back({f[0].toString(), FieldKind(k), int(f[2].toInteger())});
    }
    const int n = p->fields.size();
    p->rows.reserve(ra.size());
    for (const QCborValue &rv : ra) {
        const QCborArray r = rv.toArray();
        if (r.size() != n) {
            if (why) *why = QStringLiteral("linha com número de colunas errado");
            return false;
        }
        Row row(n);
        for (int i = 0; i < n; ++i) {
            const QCborValue c = r[i];
            if (c.isNull() || c.isUndefined()) continue;
            switch (p->fields[i].kind) {
            case FieldKind::Float:
            case FieldKind::DateTime:
                if (!c.isDouble() && !c.isInteger()) {
                    if (why) *why = QStringLiteral("valor numérico inválido");
                    return false;
                }
                row[i] = c.toDouble();
                break;
            default:
                if (!c.isString()) {
                    if (why) *why = QStringLiteral("valor de texto inválido");
                    return false;
                }
                row[i] = c.toString();
            }
        }
        p->rows.push_back(std::move(row));
    }
    return true;
}

QByteArray finish(QByteArray &buf) { return buf; }

}  // namespace

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
    return finish(buf);
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
    QCborStreamWriter w(&buf);
    if (!r.ok()) {
        w.startMap(2);
        w.append(QLatin1StringView("e"));
        w.append(qint64(r.error));
        w.append(QLatin1StringView("msg"));
        writeText(w, r.message);
        w.endMap();
        return buf;
    }
    w.startMap(2);
    w.append(QLatin1StringView("refs"));
    w.startArray(r.refs.size());
    for (const QString &s : r.refs) writeText(w, s);
    w.endArray();
    w.append(QLatin1StringView("p"));
    writePacket(w, r.packet);
    w.endMap();
    return buf;
}

bool isHello(const QByteArray &cbor)
{
    const QCborValue v = QCborValue::fromCbor(cbor);
    return v.isMap() && v.toMap().contains(QLatin1StringView("hello"));
}

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
    QCborParserError err;
    const QCborValue v = QCborValue::fromCbor(cbor, &err);
    if (err.error != QCborError::NoError || !v.isMap()) {
        if (why) *why = QStringLiteral("resposta ilegível");
        return std::nullopt;
    }
    const QCborMap m = v.toMap();
    Reply r;
    if (m.contains(QLatin1StringView("e"))) {
        r.error = ErrorCode(m.value(QLatin1StringView("e")).toInteger());
        if (r.error == ErrorCode::None) r.error = ErrorCode::Internal;
        r.message = m.value(QLatin1StringView("msg")).toString();
        return r;
    }
    for (const QCborValue &s : m.value(QLatin1StringView("refs")).toArray()) r.refs << s.toString();
    if (!readPacket(m.value(QLatin1StringView("p")), &r.packet, why)) return std::nullopt;
    return r;
}

QByteArray frame(const QByteArray &payload)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), out.data());
    out += payload;
    return out;
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
    if (!readExactly(dev, hdr, 4, msecs)) {
        auto *sock = qobject_cast<QAbstractSocket *>(dev);
        if (sock && sock->state() != QAbstractSocket::ConnectedState) return ReadStatus::Closed;
        return sock && sock->error() == QAbstractSocket::SocketTimeoutError ? ReadStatus::Timeout
                                                                            : ReadStatus::Closed;
    }
    const quint32 len = qFromBigEndian<quint32>(hdr);
    if (len > quint32(maxBytes)) return ReadStatus::TooLarge;
    payload->resize(len);
    if (!readExactly(dev, payload->data(), len, msecs)) return ReadStatus::Closed;
    return ReadStatus::Ok;
}

bool writeFrame(QIODevice *dev, const QByteArray &payload, int msecs)
{
    const QByteArray f = frame(payload);
    if (dev->write(f) != f.size()) return false;
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

double oleFromSql(const QVariant &v)
{
    if (!v.isValid() || v.isNull()) return std::nan("");
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.isValid() ? toOleDate(QDateTime(dt.date(), dt.time(), Qt::UTC)) : std::nan("");
    }
    case QMetaType::QDate: return v.toDate().isValid() ? toOleDate(v.toDate()) : std::nan("");
    default: break;
    }
    const QString s = v.toString().trimmed();
    if (s.isEmpty()) return std::nan("");
    if (s.size() == 10) {
        const QDate d = QDate::fromString(s, Qt::ISODate);
        return d.isValid() ? toOleDate(d) : std::nan("");
    }
    QDateTime dt = QDateTime::fromString(s.left(19).replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODate);
    if (!dt.isValid()) return std::nan("");
    return toOleDate(QDateTime(dt.date(), dt.time(), Qt::UTC));
}

}  // namespace wire
