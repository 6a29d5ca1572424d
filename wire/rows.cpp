// Each row: its cell count (2 bytes), then per cell a tag and its bytes:
// null; a number (8 bytes); a text of up to 254 bytes (1-byte length) or a
// longer one (4-byte length), in UTF-8; or an empty number, which keeps the
// 8 bytes so that setting it later changes nothing around it.
#include "datapacket.h"

#include <cstring>

namespace wire {

namespace {
enum Tag : char { Null = 0, Number = 1, ShortText = 2, LongText = 3, NullNumber = 4 };
constexpr int kMaxCells = 0xFFFF;

template <typename T>
T load(const char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void store(QByteArray &out, T v)
{
    out.append(reinterpret_cast<const char *>(&v), sizeof v);
}

// The size of the cell that starts at p, tag included.
qsizetype cellSize(const char *p)
{
    switch (p[0]) {
    case Null: return 1;
    case Number:
    case NullNumber: return 1 + 8;
    case ShortText: return 2 + quint8(p[1]);
    default: return 5 + load<quint32>(p + 1);
    }
}

Rows::CellView view(const char *p)
{
    Rows::CellView c;
    switch (p[0]) {
    case Null:
    case NullNumber: break;
    case Number:
        c.kind = Rows::CellView::Number;
        c.number = load<double>(p + 1);
        break;
    case ShortText:
        c.kind = Rows::CellView::Text;
        c.utf8 = QByteArrayView(p + 2, quint8(p[1]));
        break;
    default:
        c.kind = Rows::CellView::Text;
        c.utf8 = QByteArrayView(p + 5, load<quint32>(p + 1));
    }
    return c;
}

QVariant decode(const char *p)
{
    const Rows::CellView c = view(p);
    switch (c.kind) {
    case Rows::CellView::Null: return {};
    case Rows::CellView::Number: return c.number;
    default: return QString::fromUtf8(c.utf8);
    }
}

bool isNumber(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

void appendTextHeader(QByteArray &out, qsizetype n)
{
    if (n < 255) {
        out.append(char(ShortText));
        out.append(char(quint8(n)));
    } else {
        out.append(char(LongText));
        store<quint32>(out, quint32(n));
    }
}

void appendUtf8(QByteArray &out, const char *utf8, qsizetype n)
{
    appendTextHeader(out, n);
    out.append(utf8, n);
}
}  // namespace

Rows::Rows(std::initializer_list<Row> rows)
{
    for (const Row &r : rows) append(r);
}

void Rows::encode(QByteArray &out, const QVariant &v) const
{
    if (!v.isValid() || v.isNull()) {
        out.append(char(Null));
    } else if (isNumber(v)) {
        out.append(char(Number));
        store<double>(out, v.toDouble());
    } else {
        const QByteArray u = v.toString().toUtf8();
        appendUtf8(out, u.constData(), u.size());
    }
}

void Rows::encodeRow(QByteArray &out, const Row &r) const
{
    const int n = int(std::min<qsizetype>(r.size(), kMaxCells));
    store<quint16>(out, quint16(n));
    for (int i = 0; i < n; ++i) encode(out, r[i]);
}

const char *Rows::cellAt(qsizetype row, int cell, int *cells) const
{
    const char *start = m_data.constData() + m_at[row];
    *cells = load<quint16>(start);
    if (cell >= *cells) return nullptr;
    if (m_offsetsRow != row) {
        m_offsets.resize(*cells);
        const char *p = start + 2;
        for (int i = 0; i < *cells; ++i) {
            m_offsets[i] = quint32(p - start);
            p += cellSize(p);
        }
        m_offsetsRow = row;
    }
    return start + m_offsets[cell];
}

qsizetype Rows::rowBytes(qsizetype row) const
{
    const char *start = m_data.constData() + m_at[row];
    const int n = load<quint16>(start);
    const char *p = start + 2;
    for (int i = 0; i < n; ++i) p += cellSize(p);
    return p - start;
}

const Row Rows::at(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < size());
    const char *p = m_data.constData() + m_at[row];
    const int n = load<quint16>(p);
    p += 2;
    Row r(n);
    for (int i = 0; i < n; ++i) {
        r[i] = decode(p);
        p += cellSize(p);
    }
    return r;
}

QVariant Rows::value(qsizetype row, int cell) const
{
    if (row < 0 || row >= size() || cell < 0) return {};
    int n = 0;
    const char *p = cellAt(row, cell, &n);
    return p ? decode(p) : QVariant();
}

void Rows::cellsOf(qsizetype row, QVarLengthArray<CellView, 64> *out) const
{
    out->clear();
    if (row < 0 || row >= size()) return;
    const char *p = m_data.constData() + m_at[row];
    const int n = load<quint16>(p);
    p += 2;
    for (int i = 0; i < n; ++i) {
        out->append(view(p));
        p += cellSize(p);
    }
}

QByteArrayView Rows::utf8(qsizetype row, int cell, bool *text) const
{
    *text = false;
    if (row < 0 || row >= size() || cell < 0) return {};
    int n = 0;
    const char *p = cellAt(row, cell, &n);
    if (!p) return {};
    const CellView c = view(p);
    *text = c.kind == CellView::Text;
    return c.utf8;
}

int Rows::cellCount(qsizetype row) const { return row >= 0 && row < size() ? load<quint16>(m_data.constData() + m_at[row]) : 0; }

void Rows::append(const Row &r)
{
    m_at.append(m_data.size());
    encodeRow(m_data, r);
}

void Rows::beginRow(int cells)
{
    Q_ASSERT(cells >= 0 && cells <= kMaxCells);
    m_at.append(m_data.size());
    store<quint16>(m_data, quint16(std::clamp(cells, 0, kMaxCells)));
}

void Rows::addNull() { m_data.append(char(Null)); }

void Rows::addNullNumber()
{
    m_data.append(char(NullNumber));
    store<double>(m_data, 0);
}

void Rows::addNumber(double d)
{
    m_data.append(char(Number));
    store<double>(m_data, d);
}

void Rows::addText(QStringView t)
{
    const QByteArray u = t.toUtf8();
    appendUtf8(m_data, u.constData(), u.size());
}

void Rows::addUtf8(const char *utf8, qsizetype n) { appendUtf8(m_data, utf8, n); }

char *Rows::addUtf8Slot(qsizetype n)
{
    appendTextHeader(m_data, n);
    const qsizetype at = m_data.size();
    m_data.resize(at + n);
    return m_data.data() + at;
}

void Rows::replace(qsizetype row, const Row &r)
{
    m_offsetsRow = -1;
    Q_ASSERT(row >= 0 && row < size());
    QByteArray enc;
    encodeRow(enc, r);
    const qsizetype old = rowBytes(row);
    if (enc.size() <= old) {
        // In place; a shorter row leaves a few unused bytes behind it.
        std::memcpy(m_data.data() + m_at[row], enc.constData(), size_t(enc.size()));
        m_garbage += old - enc.size();
    } else {
        m_garbage += old;
        m_at[row] = m_data.size();
        m_data.append(enc);
    }
    compactIfWasteful();
}

void Rows::setValue(qsizetype row, int cell, const QVariant &v)
{
    // A number over a number (or an empty one) is written where it is.
    int cells = 0;
    char *p = const_cast<char *>(cellAt(row, cell, &cells));
    const bool numericSlot = p && (p[0] == Number || p[0] == NullNumber);
    const bool empty = !v.isValid() || v.isNull();
    if (numericSlot && (empty || isNumber(v))) {
        const qsizetype at = p - m_data.constData();
        p = m_data.data() + at;  // a copy sharing the buffer keeps the old value
        p[0] = empty ? NullNumber : Number;
        const double d = empty ? 0 : v.toDouble();
        std::memcpy(p + 1, &d, sizeof d);
        return;
    }
    // A short text over one of the same length (a mark "N" made "S") too.
    if (p && p[0] == ShortText && !empty && v.metaType().id() == QMetaType::QString) {
        const QString &s = *static_cast<const QString *>(v.constData());
        const qsizetype at = p - m_data.constData();
        const int length = quint8(p[1]);
        // An ASCII text is its own UTF-8: written without encoding it first.
        char16_t seen = 0;
        for (const QChar c : s) seen |= c.unicode();
        if (seen < 0x80 && s.size() == length) {
            char *dst = m_data.data() + at + 2;
            for (qsizetype i = 0; i < length; ++i) dst[i] = char(s.at(i).unicode());
            return;
        }
        const QByteArray utf8 = s.toUtf8();
        if (utf8.size() == length) {
            std::memcpy(m_data.data() + at + 2, utf8.constData(), size_t(utf8.size()));
            return;
        }
    }
    Row r = at(row);
    if (cell >= r.size()) r.resize(cell + 1);
    r[cell] = v;
    replace(row, r);
}

void Rows::compactIfWasteful()
{
    if (m_garbage < 4096 || m_garbage * 2 < m_data.size()) return;
    QByteArray data;
    data.reserve(m_data.size() - m_garbage);
    for (qsizetype i = 0; i < size(); ++i) {
        const qsizetype n = rowBytes(i);
        const qsizetype at = data.size();
        data.append(m_data.constData() + m_at[i], n);
        m_at[i] = at;
    }
    m_data = std::move(data);
    m_garbage = 0;
}

void Rows::clear()
{
    m_offsetsRow = -1;
    m_data.clear();
    m_at.clear();
    m_garbage = 0;
}

bool Rows::operator==(const Rows &o) const
{
    if (size() != o.size()) return false;
    for (qsizetype i = 0; i < size(); ++i)
        if (at(i) != o.at(i)) return false;
    return true;
}

}  // namespace wire
