#pragma once
// A tabular answer of the application server: field definitions and rows.
#include <QString>
#include <QByteArrayView>
#include <QVarLengthArray>
#include <QVariant>
#include <QVector>
#include <initializer_list>
#include <iterator>

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

// Rows kept compactly: the cells of all rows one after another in one buffer
// (a number in 8 bytes, a text in UTF-8), so a history of a hundred thousand
// rows costs about what it took on the wire rather than a QVariant per cell.
// Rows are handed out by value; change one with replace() or setValue().
// Copies share the buffer until one of them changes.
class Rows {
public:
    Rows() = default;
    Rows(std::initializer_list<Row> rows);

    qsizetype size() const { return m_at.size(); }
    qsizetype count() const { return size(); }
    bool isEmpty() const { return m_at.isEmpty(); }
    const Row at(qsizetype row) const;
    const Row operator[](qsizetype row) const { return at(row); }
    const Row first() const { return at(0); }
    const Row last() const { return at(size() - 1); }
    // One cell without building the row; null past the row's end.
    QVariant value(qsizetype row, int cell) const;
    // A row's cells as stored, texts left in UTF-8: for printing many rows
    // fast. Valid until the rows change.
    struct CellView {
        enum Kind : quint8 { Null, Number, Text } kind = Null;
        double number = 0;
        QByteArrayView utf8;
    };
    void cellsOf(qsizetype row, QVarLengthArray<CellView, 64> *out) const;
    // A text cell's UTF-8 as stored (*text false for a number or an empty cell).
    QByteArrayView utf8(qsizetype row, int cell, bool *text) const;
    int cellCount(qsizetype row) const;

    void append(const Row &r);
    void push_back(const Row &r) { append(r); }
    Rows &operator<<(const Row &r)
    {
        append(r);
        return *this;
    }
    void replace(qsizetype row, const Row &r);
    void setValue(qsizetype row, int cell, const QVariant &v);
    void reserve(qsizetype rows) { m_at.reserve(rows); }
    void reserveBytes(qsizetype bytes) { m_data.reserve(bytes); }
    // Room for a text of n UTF-8 bytes, to be filled in place (a packet being read).
    char *addUtf8Slot(qsizetype n);
    void clear();
    qsizetype byteSize() const { return m_data.size() + m_at.size() * qsizetype(sizeof(qsizetype)); }
    bool operator==(const Rows &o) const;

    // Filled cell by cell as a packet is read, with no QVariant in between.
    void beginRow(int cells);
    void addNull();
    void addNullNumber();  // an empty number: later set in place
    void addNumber(double d);
    void addText(QStringView t);
    void addUtf8(const char *utf8, qsizetype n);  // already checked as UTF-8

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Row;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = const Row;
        const_iterator(const Rows *rows, qsizetype i) : m_rows(rows), m_i(i) {}
        const Row operator*() const { return m_rows->at(m_i); }
        const_iterator &operator++()
        {
            ++m_i;
            return *this;
        }
        bool operator==(const const_iterator &o) const { return m_i == o.m_i; }
        bool operator!=(const const_iterator &o) const { return m_i != o.m_i; }
    private:
        const Rows *m_rows;
        qsizetype m_i;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    void encode(QByteArray &out, const QVariant &v) const;
    void encodeRow(QByteArray &out, const Row &r) const;
    const char *cellAt(qsizetype row, int cell, int *cells) const;
    qsizetype rowBytes(qsizetype row) const;
    void compactIfWasteful();
    QByteArray m_data;
    QVector<qsizetype> m_at;  // where each row starts in m_data
    qsizetype m_garbage = 0;  // bytes of rows replaced by longer ones
    // Where the cells of the row read last start, from the row's start: a
    // grid or an export reads a row's cells one after another. Not for rows
    // read from two threads at once.
    mutable qsizetype m_offsetsRow = -1;
    mutable QVarLengthArray<quint32, 64> m_offsets;
};

struct DataPacket {
    QVector<FieldDef> fields;
    Rows rows;
    int indexOf(const QString &name) const;
};

QString kindName(FieldKind k);

}  // namespace wire
