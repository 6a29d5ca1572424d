#include "gridprint.h"
#include "busy.h"
#include "dataset.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "hostlog.h"
#include "prompter.h"

#include <QDir>
#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace host {

namespace {

constexpr double kBodyPoints = 7.5;  // never smaller: a report is read on paper
constexpr int kTextLines = 3;        // a text wraps within this many lines, then "…"

QStringList headerLines(const PrintHeader &h) { return QStringList{h.title} + h.lines; }

// The width a title needs: it wraps between words, never inside one.
int titleWidth(const QFontMetrics &fm, const QString &title)
{
    int w = 0;
    for (const QString &word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts)) w = std::max(w, fm.horizontalAdvance(word));
    return w;
}

int linesOf(const QFontMetrics &fm, int width, const QString &text)
{
    if (text.isEmpty()) return 1;
    const int h = fm.boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::TextWordWrap, text).height();
    return std::max(1, (h + fm.height() - 1) / fm.height());
}

}  // namespace

bool printGrid(QPagedPaintDevice *device, TDBGrid *grid, const PrintHeader &header, QString *why)
{
    why->clear();
    TClientDataSet *ds = grid->DataSet();
    QPainter p;
    if (!p.begin(device)) {
        *why = QStringLiteral("Não foi possível iniciar a impressão.");
        return false;
    }
    const QRect page = p.viewport();
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(kBodyPoints);
    QFont bold = body;
    bold.setBold(true);
    QFont headLine(QStringLiteral("DejaVu Sans"), 8);
    QFont headTitle = headLine;
    headTitle.setPointSize(11);
    headTitle.setBold(true);
    const QFontMetrics fmBody(body, device), fmBold(bold, device), fmTitle(headTitle, device), fmLine(headLine, device);
    const int pad = fmBody.averageCharWidth() / 2 + 1, lineH = fmBody.height();
    const double mm = page.width() / 277.0;  // A4 landscape within 10 mm margins

    // The columns as shown, in their order.
    QVector<int> cols;
    QHeaderView *hv = grid->horizontalHeader();
    for (int v = 0; v < hv->count(); ++v) {
        const int c = hv->logicalIndex(v);
        if (c >= 0 && c < grid->Columns().size() && !grid->isColumnHidden(c)) cols << c;
    }
    const int n = int(cols.size());
    // First pass: every cell's text, and what each column must hold.
    const QVector<int> shown = ds && ds->Active() ? grid->ShownRows() : QVector<int>();
    const int rows = int(shown.size());
    QVector<QStringList> texts(rows);
    QVector<QVector<TAlignment>> aligns(rows);
    QVector<QVector<int>> advance(rows);  // each text's width, measured once
    QVector<int> widest(n, 0);
    QVector<bool> text(n, false);  // words that may wrap; the others (numbers, dates, codes) never do
    for (int r = 0; r < rows; ++r) {
        texts[r].reserve(n);
        advance[r].resize(n);
        for (int i = 0; i < n; ++i) {
            TAlignment a = TAlignment::Left;
            QString t = grid->CellText(shown[r], cols[i], &a);
            if (header.paperText) t = header.paperText(cols[i], shown[r], t);
            advance[r][i] = t.isEmpty() ? 0 : fmBody.horizontalAdvance(t);
            widest[i] = std::max(widest[i], advance[r][i]);
            if (!text[i] && t.trimmed().contains(QLatin1Char(' ')) && a != TAlignment::Right) text[i] = true;
            texts[r] << t;
            aligns[r] << a;
        }
        if ((r & 255) == 255 || r + 1 == rows) {
            BusyProgress(QStringLiteral("Preparando impressão: %1 de %2 linhas (Esc interrompe)")
                             .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(r + 1))
                             .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(rows)),
                         r + 1, rows);
            if (BusyPoll()) {
                p.end();
                return false;
            }
        }
    }
    // Widths: a number, date or code as wide as its widest value (up to 40 mm,
    // then cut with "…"); a text up to 45 mm, wrapped. (A little room past the
    // measured width: the measure is rounded, the eliding is not.)
    QVector<int> w(n);
    for (int i = 0; i < n; ++i) {
        const int title = titleWidth(fmBold, grid->ColumnTitle(cols[i])) + 2 * pad + 2;
        const int need = std::max(widest[i] + 2 * pad + 2, title);
        w[i] = text[i] ? std::clamp(need, std::max(title, int(15 * mm)), std::max(title, int(45 * mm)))
                       : std::min(need, std::max(title, int(40 * mm)));
    }
    // Bands: the columns that fit the page's width, then the next ones, the key
    // columns again at the start of each further band.
    QVector<int> keys;
    for (int i = 0; i < n; ++i)
        if (const TField *f = grid->ColumnField(cols[i]); f && header.keyFields.contains(f->FieldName())) keys << i;
    QVector<QVector<int>> bands;
    {
        QVector<int> band;
        int used = 0, own = 0;
        for (int i = 0; i < n; ++i) {
            const bool key = keys.contains(i);
            if (!bands.isEmpty() && key) continue;  // already leading this band
            if (own > 0 && used + w[i] > page.width()) {
                bands << band;
                band.clear();
                used = 0;
                own = 0;
                for (int k : keys) {
                    band << k;
                    used += w[k];
                }
                if (key) continue;
            }
            band << i;
            used += w[i];
            ++own;
        }
        if (own > 0 || bands.isEmpty()) bands << band;
    }
    QVector<QVector<int>> x(bands.size());
    for (int b = 0; b < bands.size(); ++b) {
        int at = page.left();
        for (int i : bands[b]) {
            x[b] << at;
            at += w[i];
        }
    }
    // Row heights (the same on every band, so a page's rows are those of its
    // neighbours) and the pages' rows.
    QVector<int> heights(rows);
    for (int r = 0; r < rows; ++r) {
        int lines = 1;
        for (int i = 0; i < n; ++i)
            if (text[i] && advance[r][i] > w[i] - 2 * pad)
                lines = std::max(lines, std::min(kTextLines, linesOf(fmBody, w[i] - 2 * pad, texts[r][i])));
        heights[r] = lines * lineH + 2;
    }
    QStringList head = headerLines(header);
    if (bands.size() > 1) head << QString();  // the band's own line, made per page
    const int headerH = fmTitle.height() + (head.size() - 1) * fmLine.height() + fmLine.height() / 2;
    int titlesH = lineH;
    for (int i = 0; i < n; ++i)
        titlesH = std::max(titlesH, fmBold.boundingRect(QRect(0, 0, std::max(1, w[i] - 2 * pad), 1 << 20), Qt::TextWordWrap,
                                                        grid->ColumnTitle(cols[i])).height());
    const int footerH = fmLine.height() + lineH / 2;
    const int bodyTop = page.top() + headerH + titlesH + 4, bodyBottom = page.bottom() - footerH;
    QVector<int> chunkStart{0};
    for (int r = 0, y = bodyTop; r < rows; ++r) {
        if (y + heights[r] > bodyBottom && r > chunkStart.last()) {
            chunkStart << r;
            y = bodyTop;
        }
        y += heights[r];
    }
    chunkStart << rows;
    const int chunks = int(chunkStart.size()) - 1;
    int lastY = bodyTop;
    for (int r = chunkStart[chunks - 1]; r < rows; ++r) lastY += heights[r];
    const int totalsH = header.totals.isEmpty()
                            ? 0
                            : fmBold.boundingRect(QRect(0, 0, page.width(), 1 << 20), Qt::TextWordWrap, header.totals).height() + lineH / 2;
    const bool totalsOwnPage = totalsH > 0 && lastY + totalsH > bodyBottom;
    const int pages = chunks * int(bands.size()) + (totalsOwnPage ? 1 : 0);

    // The pages: for each run of rows, each band in turn.
    const auto bandLine = [&](int b) {
        QStringList names;
        for (int i : bands[b])
            if (!keys.contains(i) || b == 0) names << grid->ColumnTitle(cols[i]);
        return QStringLiteral("Colunas, parte %1 de %2: %3").arg(b + 1).arg(bands.size()).arg(names.join(QStringLiteral(", ")));
    };
    const auto pageFrame = [&](int number, int b) {
        int hy = page.top();
        p.setFont(headTitle);
        p.drawText(QRect(page.left(), hy, page.width(), fmTitle.height()), Qt::AlignLeft | Qt::AlignVCenter, head.first());
        hy += fmTitle.height();
        p.setFont(headLine);
        for (int i = 1; i < head.size(); ++i, hy += fmLine.height()) {
            const QString line = bands.size() > 1 && i == head.size() - 1 && b >= 0 ? bandLine(b) : head[i];
            p.drawText(QRect(page.left(), hy, page.width(), fmLine.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       fmLine.elidedText(line, Qt::ElideRight, page.width()));
        }
        if (b >= 0) {
            const int ty = page.top() + headerH;
            p.setFont(bold);
            for (int k = 0; k < bands[b].size(); ++k) {
                const int i = bands[b][k];
                p.drawText(QRect(x[b][k] + pad, ty, w[i] - 2 * pad, titlesH), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignBottom,
                           grid->ColumnTitle(cols[i]));
            }
            p.drawLine(page.left(), bodyTop - 2, page.right(), bodyTop - 2);
        }
        p.setFont(headLine);
        p.drawText(QRect(page.left(), page.bottom() - fmLine.height(), page.width(), fmLine.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Página %1 de %2").arg(number).arg(pages));
        p.setFont(body);
    };
    QHash<QString, QList<QGlyphRun>> shaped;
    int number = 0, y = bodyTop, done = 0;
    for (int c = 0; c < chunks; ++c) {
        for (int b = 0; b < bands.size(); ++b) {
            if (number > 0) device->newPage();
            pageFrame(++number, b);
            y = bodyTop;
            for (int r = chunkStart[c]; r < chunkStart[c + 1]; ++r) {
                for (int k = 0; k < bands[b].size(); ++k) {
                    const int i = bands[b][k];
                    const TAlignment a = aligns[r][i];
                    const int align = a == TAlignment::Right ? Qt::AlignRight : a == TAlignment::Center ? Qt::AlignHCenter : Qt::AlignLeft;
                    const QRect cell(x[b][k] + pad, y + 1, w[i] - 2 * pad, heights[r] - 2);
                    if (texts[r][i].isEmpty()) continue;
                    if (advance[r][i] <= cell.width()) {
                        // One line that fits, drawn where it goes (most cells: the fast way).
                        const int left = align == Qt::AlignRight     ? cell.right() + 1 - advance[r][i]
                                         : align == Qt::AlignHCenter ? cell.left() + (cell.width() - advance[r][i]) / 2
                                                                     : cell.left();
                        // Shaped once per distinct text: a report repeats its words and codes.
                        auto run = shaped.find(texts[r][i]);
                        if (run == shaped.end()) {
                            QTextLayout tl(texts[r][i], body, device);
                            tl.beginLayout();
                            tl.createLine();
                            tl.endLayout();
                            run = shaped.insert(texts[r][i], tl.glyphRuns());
                        }
                        for (const QGlyphRun &g : *run) p.drawGlyphRun(QPointF(left, cell.top()), g);
                        continue;
                    }
                    if (text[i]) {
                        // Within its lines: what does not fit ends with "…".
                        QString t = texts[r][i];
                        if (linesOf(fmBody, cell.width(), t) > kTextLines) {
                            while (t.size() > 1 && linesOf(fmBody, cell.width(), t + QStringLiteral("…")) > kTextLines)
                                t.chop(std::max<qsizetype>(1, t.size() / 16));
                            t += QStringLiteral("…");
                        }
                        p.drawText(cell, align | Qt::AlignTop | Qt::TextWordWrap, t);
                    } else {
                        p.drawText(cell, align | Qt::AlignTop | Qt::TextSingleLine,
                                   fmBody.elidedText(texts[r][i], Qt::ElideRight, cell.width()));
                    }
                }
                y += heights[r];
            }
            done += chunkStart[c + 1] - chunkStart[c];
            BusyProgress(QStringLiteral("imprimindo (Esc interrompe)"), std::min(done / int(bands.size()), rows), rows);
            if (BusyPoll()) {
                p.end();
                return false;
            }
        }
    }
    if (totalsH > 0) {
        if (totalsOwnPage) {
            device->newPage();
            pageFrame(++number, -1);
            y = bodyTop;
        }
        p.drawLine(page.left(), y + 2, page.right(), y + 2);
        p.setFont(bold);
        p.drawText(QRect(page.left(), y + lineH / 2, page.width(), totalsH), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                   header.totals);
    }
    p.end();
    return true;
}

namespace {
void setUpA4Landscape(QPagedPaintDevice *d)
{
    d->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                 QPageLayout::Millimeter));
}
}  // namespace

bool exportGridPdf(TDBGrid *grid, const PrintHeader &header, const QString &file, QString *why)
{
    const QString tmp = file + QStringLiteral(".tmp");
    bool ok = false;
    {
        QPdfWriter pdf(tmp);
        pdf.setTitle(header.title);
        pdf.setCreator(QStringLiteral("Retaguarda — Patrimônio"));
        pdf.setResolution(300);
        setUpA4Landscape(&pdf);
        ok = printGrid(&pdf, grid, header, why);
    }
    if (!ok) {
        QFile::remove(tmp);
        return false;
    }
    QFile::remove(file);
    if (!QFile::rename(tmp, file)) {
        QFile::remove(tmp);
        qCWarning(lcGrid) << "pdf" << file << "could not be put in place";
        *why = QStringLiteral("Não foi possível gravar o arquivo %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

void ImprimirGrade(TDBGrid *grid, const PrintHeader &header, const QString &suggestedPdf)
{
    TClientDataSet *ds = grid ? grid->DataSet() : nullptr;
    if (!ds || !ds->Active() || ds->IsEmpty()) MensErroAborta(QStringLiteral("Não há linhas para imprimir."));
    prompter()->printPreview(
        header.title,
        [grid, header](QPagedPaintDevice *device) {
            setUpA4Landscape(device);
            QString why;
            bool ok = false;
            RunBusy(grid->window(), 6, [&] { ok = printGrid(device, grid, header, &why); });
            if (!ok) {
                if (why.isEmpty()) prompter()->notice(QStringLiteral("Impressão interrompida."));
                else prompter()->error(why);
            }
            return ok;
        },
        [grid, header, suggestedPdf] {
            const QString file = prompter()->saveFile(QStringLiteral("Salvar PDF"), suggestedPdf,
                                                      QStringLiteral("Documento PDF (*.pdf)"));
            if (file.isEmpty()) return;
            QString why;
            bool ok = false;
            RunBusy(grid->window(), 6, [&] { ok = exportGridPdf(grid, header, file, &why); });
            if (ok) prompter()->notice(QStringLiteral("PDF gravado: %1").arg(QDir::toNativeSeparators(file)));
            else if (why.isEmpty()) prompter()->notice(QStringLiteral("Impressão interrompida; o PDF não foi gravado."));
            else prompter()->error(why);
        });
}

}  // namespace host
