#include "packettext.h"
#include "codec.h"

#include <QDate>
#include <charconv>
#include <cmath>

namespace appsrv {

namespace {

void appendCsv(QByteArray &out, QByteArrayView t)
{
    if (!t.contains(',') && !t.contains('"') && !t.contains('\n')) {
        out.append(t);
        return;
    }
    out.append('"');
    for (char c : t) {
        if (c == '"') out.append('"');
        out.append(c);
    }
    out.append('"');
}

void appendTwo(QByteArray &out, int v)
{
    out.append(char('0' + v / 10 % 10));
    out.append(char('0' + v % 10));
}

// Written by hand: the dates of a large history are most of its cells.
void appendDate(QByteArray &out, double ole)
{
    const QDateTime dt = wire::fromOleDate(ole);
    if (!dt.isValid()) return;
    const QDate d = dt.date();
    appendTwo(out, d.day());
    out.append('/');
    appendTwo(out, d.month());
    out.append('/');
    out.append(QByteArray::number(d.year()).rightJustified(4, '0'));
    const QTime t = dt.time();
    if (t == QTime(0, 0)) return;
    out.append(' ');
    appendTwo(out, t.hour());
    out.append(':');
    appendTwo(out, t.minute());
    out.append(':');
    appendTwo(out, t.second());
}

// As QByteArray::number(d, 'g', 15) writes it, without its allocations.
void appendNumber(QByteArray &out, double d)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    if (r.ec == std::errc()) out.append(buf, r.ptr - buf);
    else out.append(QByteArray::number(d, 'g', 15));
}

}  // namespace

void printPacket(std::FILE *out, const wire::DataPacket &p, bool csv, bool title)
{
    const char sep = csv ? ',' : '\t';
    QByteArray text;
    for (int i = 0; title && i < p.fields.size(); ++i) {
        if (i) text.append(sep);
        text.append(p.fields[i].name.toUtf8());
    }
    if (title) text.append('\n');
    QVarLengthArray<wire::Rows::CellView, 64> cells;
    for (qsizetype row = 0; row < p.rows.size(); ++row) {
        p.rows.cellsOf(row, &cells);
        for (int i = 0; i < p.fields.size(); ++i) {
            if (i) text.append(sep);
            if (i >= cells.size()) continue;
            const auto &c = cells[i];
            if (c.kind == wire::Rows::CellView::Number) {
                if (p.fields[i].kind == wire::FieldKind::DateTime) appendDate(text, c.number);
                else appendNumber(text, c.number);
            } else if (c.kind == wire::Rows::CellView::Text) {
                if (csv) appendCsv(text, c.utf8);
                else text.append(c.utf8);
            }
        }
        text.append('\n');
        if (text.size() > (1 << 20)) {
            std::fwrite(text.constData(), 1, size_t(text.size()), out);
            text.clear();
        }
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), out);
}

}  // namespace appsrv
