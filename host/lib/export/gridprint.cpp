#include "gridprint.h"
#include "busy.h"
#include "dataset.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "hostlog.h"
#include "prompter.h"

#include <QDir>
#include <QHeaderView>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace host {

namespace {

struct Layout {
    QVector<int> cols;    // grid columns, in the order shown
    QVector<int> x, w;    // their place on the page
    QFont body, bold, small;
    QFont headTitle, headLine;  // the page header keeps its size whatever the body's
    int lineH = 0, headerH = 0, footerH = 0;
};

QStringList headerLines(const PrintHeader &h) { return QStringList{h.title} + h.lines; }

int cellHeight(const QFontMetrics &fm, int width, const QString &text)
{
    if (text.isEmpty()) return fm.height();
    return fm.boundingRect(QRect(0, 0, std::max(1, width - 6), 1 << 20), Qt::TextWordWrap | Qt::TextWrapAnywhere, text).height();
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
    Layout l;
    l.body = QFont(QStringLiteral("DejaVu Sans"), 8);
    l.bold = l.body;
    l.bold.setBold(true);
    l.small = QFont(QStringLiteral("DejaVu Sans"), 7);
    l.headLine = QFont(QStringLiteral("DejaVu Sans"), 8);
    l.headTitle = l.headLine;
    l.headTitle.setPointSize(11);
    l.headTitle.setBold(true);
    // The columns as shown, in proportion to their widths on screen.
    QHeaderView *hv = grid->horizontalHeader();
    int total = 0;
    for (int v = 0; v < hv->count(); ++v) {
        const int c = hv->logicalIndex(v);
        if (c < 0 || c >= grid->Columns().size() || grid->isColumnHidden(c)) continue;
        l.cols << c;
        total += std::max(1, grid->columnWidth(c));
    }
    // The font follows how much the page must shrink what the screen shows,
    // within readable bounds; the columns keep their proportions.
    const double screenToPage = device->logicalDpiX() / 96.0;
    const double shrink = double(page.width()) / std::max(1.0, total * screenToPage);
    const double points = std::clamp(9.0 * shrink, 5.5, 9.0);
    l.body.setPointSizeF(points);
    l.bold = l.body;
    l.bold.setBold(true);
    l.small.setPointSizeF(std::max(points - 1, 5.5));
    int at = page.left();
    for (int c : l.cols) {
        const int width = int(double(page.width()) * std::max(1, grid->columnWidth(c)) / std::max(1, total));
        l.x << at;
        l.w << width;
        at += width;
    }
    p.setFont(l.body);
    const QFontMetrics fmBody(l.body, device), fmBold(l.bold, device), fmSmall(l.small, device),
        fmTitle(l.headTitle, device), fmLine(l.headLine, device);
    l.lineH = fmBody.height();
    const QStringList head = headerLines(header);
    l.headerH = fmTitle.height() + (head.size() - 1) * fmLine.height() + fmLine.height() / 2;
    int titlesH = 0;
    for (int i = 0; i < l.cols.size(); ++i) titlesH = std::max(titlesH, cellHeight(fmBold, l.w[i], grid->ColumnTitle(l.cols[i])));
    l.footerH = fmLine.height() + l.lineH / 2;
    const int bodyTop = page.top() + l.headerH + titlesH + 4, bodyBottom = page.bottom() - l.footerH;
    // First pass: each row's height and the page it starts on.
    // The rows the grid shows (a narrowed history prints what it shows).
    const QVector<int> shown = ds && ds->Active() ? grid->ShownRows() : QVector<int>();
    const int rows = int(shown.size());
    QVector<QStringList> texts(rows);
    QVector<QVector<TAlignment>> aligns(rows);
    QVector<int> heights(rows), pageOf(rows);
    int y = bodyTop, pages = 1;
    for (int r = 0; r < rows; ++r) {
        int h = l.lineH;
        for (int i = 0; i < l.cols.size(); ++i) {
            TAlignment a = TAlignment::Left;
            texts[r] << grid->CellText(shown[r], l.cols[i], &a);
            aligns[r] << a;
            h = std::max(h, cellHeight(fmBody, l.w[i], texts[r].last()));
        }
        h = std::min(h + 2, bodyBottom - bodyTop);
        if (y + h > bodyBottom) {
            ++pages;
            y = bodyTop;
        }
        heights[r] = h;
        pageOf[r] = pages;
        y += h;
        if ((r & 255) == 255 && BusyPoll()) {
            p.end();
            return false;
        }
    }
    const int totalsH = header.totals.isEmpty() ? 0 : cellHeight(fmBold, page.width(), header.totals) + l.lineH / 2;
    const bool totalsOwnPage = totalsH > 0 && y + totalsH > bodyBottom;
    if (totalsOwnPage) ++pages;
    // Second pass: the pages.
    const auto pageFrame = [&](int n) {
        int hy = page.top();
        p.setFont(l.headTitle);
        p.drawText(QRect(page.left(), hy, page.width(), fmTitle.height()), Qt::AlignLeft | Qt::AlignVCenter, head.first());
        hy += fmTitle.height();
        p.setFont(l.headLine);
        for (int i = 1; i < head.size(); ++i, hy += fmLine.height())
            p.drawText(QRect(page.left(), hy, page.width(), fmLine.height()), Qt::AlignLeft | Qt::AlignVCenter,
                       fmLine.elidedText(head[i], Qt::ElideRight, page.width()));
        const int ty = page.top() + l.headerH;
        p.setFont(l.bold);
        for (int i = 0; i < l.cols.size(); ++i)
            p.drawText(QRect(l.x[i] + 3, ty, l.w[i] - 6, titlesH), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignBottom,
                       grid->ColumnTitle(l.cols[i]));
        p.drawLine(page.left(), bodyTop - 2, page.right(), bodyTop - 2);
        p.setFont(l.headLine);
        p.drawText(QRect(page.left(), page.bottom() - fmLine.height(), page.width(), fmLine.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Página %1 de %2").arg(n).arg(pages));
        p.setFont(l.body);
    };
    int current = 1;
    pageFrame(current);
    y = bodyTop;
    for (int r = 0; r < rows; ++r) {
        if (pageOf[r] != current) {
            device->newPage();
            pageFrame(++current);
            y = bodyTop;
        }
        for (int i = 0; i < l.cols.size(); ++i) {
            const TAlignment a = aligns[r][i];
            const int align = a == TAlignment::Right ? Qt::AlignRight : a == TAlignment::Center ? Qt::AlignHCenter : Qt::AlignLeft;
            p.drawText(QRect(l.x[i] + 3, y + 1, l.w[i] - 6, heights[r] - 2), align | Qt::AlignTop | Qt::TextWordWrap | Qt::TextWrapAnywhere,
                       texts[r][i]);
        }
        y += heights[r];
        if ((r & 255) == 255 || r + 1 == rows) {
            BusyProgress(QStringLiteral("imprimindo (Esc interrompe)"), r + 1, rows);
            if (BusyPoll()) {
                p.end();
                return false;
            }
        }
    }
    if (totalsH > 0) {
        if (totalsOwnPage) {
            device->newPage();
            pageFrame(++current);
            y = bodyTop;
        }
        p.drawLine(page.left(), y + 2, page.right(), y + 2);
        p.setFont(l.bold);
        p.drawText(QRect(page.left(), y + l.lineH / 2, page.width(), totalsH), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
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
            if (!ok && !why.isEmpty()) prompter()->error(why);
        },
        [grid, header, suggestedPdf] {
            const QString file = prompter()->saveFile(QStringLiteral("Salvar PDF"), suggestedPdf,
                                                      QStringLiteral("Documento PDF (*.pdf)"));
            if (file.isEmpty()) return;
            QString why;
            bool ok = false;
            RunBusy(grid->window(), 6, [&] { ok = exportGridPdf(grid, header, file, &why); });
            if (ok) prompter()->notice(QStringLiteral("PDF gravado: %1").arg(QDir::toNativeSeparators(file)));
            else if (!why.isEmpty()) prompter()->error(why);
        });
}

}  // namespace host
