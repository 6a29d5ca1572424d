// A grid to an XLSX workbook: numbers as numbers and dates as dates, with the
// grid's formats. The workbook is written in libxlsxwriter's constant-memory
// mode on a thread of its own, so reading the grid and writing the sheet run
// side by side while the window stays alive.
#include "gridexport.h"
#include "gridexport_p.h"
#include "busy.h"
#include "codec.h"
#include "dataset.h"
#include "dbgrid.h"
#include "hostlog.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <xlsxwriter.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace host {

using namespace exportdetail;

namespace {

constexpr int kRowsPerBatch = 1024;
constexpr size_t kBatchesAhead = 4;  // bounds the memory whatever the grid's size

struct Cell {
    lxw_row_t row;
    lxw_col_t col;
    bool text;
    lxw_format *format;
    double number;
    size_t at;  // where a text starts in the batch's buffer
};

struct Batch {
    std::vector<Cell> cells;
    std::string text;  // UTF-8, each text ended by a NUL
};

void writeBatch(lxw_worksheet *ws, const Batch &b)
{
    for (const Cell &c : b.cells) {
        if (c.text) worksheet_write_string(ws, c.row, c.col, b.text.data() + c.at, c.format);
        else worksheet_write_number(ws, c.row, c.col, c.number, c.format);
    }
}

// Takes the rows in order and closes the workbook at the end, on its own
// thread; if no thread can be started, on the caller's.
class SheetWriter {
public:
    SheetWriter(lxw_workbook *wb, lxw_worksheet *ws) : m_wb(wb), m_ws(ws)
    {
        try {
            m_thread = std::thread([this] { run(); });
        } catch (const std::system_error &e) {
            qCWarning(lcGrid) << "export: writing on the caller's thread," << e.what();
        }
    }
    ~SheetWriter()
    {
        if (m_thread.joinable()) finish(true);
    }

    // False once the user pressed Esc while waiting for room.
    bool push(Batch &&b)
    {
        if (!m_thread.joinable()) {
            writeBatch(m_ws, b);
            return !BusyPoll();
        }
        std::unique_lock lock(m_mutex);
        while (m_queue.size() >= kBatchesAhead) {
            m_changed.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            const bool stop = BusyPoll();
            lock.lock();
            if (stop) return false;
        }
        m_queue.push_back(std::move(b));
        m_changed.notify_all();
        return true;
    }

    // Closes the workbook (only the rows already written, when abandoned) and
    // waits for it, keeping the window alive; *stopped says Esc was pressed.
    lxw_error finish(bool abandon, bool *stopped = nullptr)
    {
        if (!m_thread.joinable()) return close(abandon);
        std::unique_lock lock(m_mutex);
        m_ended = true;
        m_abandon = abandon;
        m_changed.notify_all();
        while (!m_closed) {
            m_changed.wait_for(lock, std::chrono::milliseconds(20));
            lock.unlock();
            if (BusyPoll() && stopped) *stopped = true;
            lock.lock();
        }
        lock.unlock();
        m_thread.join();
        return m_result;
    }

private:
    void run()
    {
        for (;;) {
            Batch b;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_queue.empty() || m_ended; });
                if (m_queue.empty()) break;
                b = std::move(m_queue.front());
                m_queue.pop_front();
                m_changed.notify_all();
                if (m_abandon) continue;
            }
            writeBatch(m_ws, b);
        }
        bool abandon;
        {
            std::lock_guard lock(m_mutex);
            abandon = m_abandon;
        }
        const lxw_error result = close(abandon);
        std::lock_guard lock(m_mutex);
        m_result = result;
        m_closed = true;
        m_changed.notify_all();
    }

    // An abandoned workbook is freed unwritten: nothing reaches the disk and
    // the user does not wait for its compression.
    lxw_error close(bool abandon)
    {
        if (!abandon) return workbook_close(m_wb);
        // Freeing leaves the sheet's work file open; it is closed here.
        if (m_ws->optimize_tmpfile) {
            std::fclose(m_ws->optimize_tmpfile);
            m_ws->optimize_tmpfile = nullptr;
        }
        lxw_workbook_free(m_wb);
        return LXW_NO_ERROR;
    }

    lxw_workbook *m_wb;
    lxw_worksheet *m_ws;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_queue;
    bool m_ended = false;
    bool m_abandon = false;
    bool m_closed = false;
    lxw_error m_result = LXW_NO_ERROR;
};

// The grid's float format in the spreadsheet's terms ("#,##0.00" reads the same).
QString excelNumberFormat(const TField *f)
{
    const QString fmt = f->DisplayFormat.trimmed();
    return fmt.isEmpty() ? QStringLiteral("#,##0.00########") : fmt;
}

}  // namespace

bool exportGridXlsx(TDBGrid *g, const QString &file, QString *why)
{
    TClientDataSet *ds = g->DataSet();
    const QVector<TExportColumn> cols = exportColumns(g);
    const QString tmp = file + QStringLiteral(".tmp");
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;  // rows go straight to disk
    const QByteArray tmpDir = QDir::tempPath().toLocal8Bit();
    options.tmpdir = const_cast<char *>(tmpDir.constData());
    const QByteArray path = QFile::encodeName(tmp);
    lxw_workbook *wb = workbook_new_opt(path.constData(), &options);
    if (!wb) {
        *why = cannotWrite(file);
        return false;
    }
    lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format *dateFmt = workbook_add_format(wb);
    format_set_num_format(dateFmt, "dd/mm/yyyy");
    lxw_format *dateTimeFmt = workbook_add_format(wb);
    format_set_num_format(dateTimeFmt, "dd/mm/yyyy hh:mm:ss");
    QVector<lxw_format *> numFmt(cols.size(), nullptr);
    for (int i = 0; i < cols.size(); ++i) {
        TField *f = cols[i].Field;
        if (numeric(f) && !cols[i].Text) {
            numFmt[i] = workbook_add_format(wb);
            format_set_num_format(numFmt[i], excelNumberFormat(f).toUtf8().constData());
        }
        worksheet_write_string(ws, 0, lxw_col_t(i), cols[i].Title.toUtf8().constData(), bold);
        worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i), std::max(8.0, cols[i].WidthPx / 7.0), nullptr);
    }
    // The rows the grid shows (a narrowed history exports what it shows).
    const QVector<int> shown = g->ShownRows();
    const int rows = ds ? int(shown.size()) : 0;
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    SheetWriter writer(wb, ws);
    bool stopped = false;
    Batch batch;
    for (int n = 0; n < rows && !stopped; ++n) {
        const int r = shown[n];
        const lxw_row_t xr = lxw_row_t(n + 1);
        for (int i = 0; i < cols.size(); ++i) {
            const TExportColumn &col = cols[i];
            TField *f = col.Field;
            const lxw_col_t xc = lxw_col_t(i);
            if (col.RowHasValue && !col.RowHasValue(r)) continue;
            if (!col.Text && (numeric(f) || dated(f))) {
                const QVariant v = ds->valueAt(r, f->Index());
                if (v.isNull()) continue;
                if (numeric(f)) {
                    if (std::isfinite(v.toDouble())) batch.cells.push_back({xr, xc, false, numFmt[i], v.toDouble(), 0});
                    continue;
                }
                const QDateTime dt = wire::fromOleDate(v.toDouble());
                if (!dt.isValid()) continue;
                lxw_datetime d = {dt.date().year(), dt.date().month(), dt.date().day(), dt.time().hour(),
                                  dt.time().minute(), double(dt.time().second())};
                batch.cells.push_back({xr, xc, false, dt.time() == QTime(0, 0) ? dateFmt : dateTimeFmt,
                                       lxw_datetime_to_excel_datetime(&d), 0});
            } else {
                // A text shown as stored goes over in the UTF-8 it is kept in.
                bool stored = false;
                const QByteArrayView u = !col.Text && !f->OnGetText && f->EditMask.isEmpty()
                                             ? ds->utf8At(r, f->Index(), &stored)
                                             : QByteArrayView();
                if (stored) {
                    if (u.isEmpty()) continue;
                    batch.cells.push_back({xr, xc, true, nullptr, 0, batch.text.size()});
                    batch.text.append(u.data(), size_t(u.size()));
                    batch.text += '\0';
                    continue;
                }
                const QString t = col.Text ? col.Text(r) : shownText(f, r);
                if (t.isEmpty()) continue;
                const size_t at = batch.text.size();
                batch.text.resize(at + size_t(t.size()) * 3 + 1);
                char *end = toUtf8.appendToBuffer(batch.text.data() + at, t);
                *end = '\0';
                batch.text.resize(size_t(end - batch.text.data()) + 1);
                batch.cells.push_back({xr, xc, true, nullptr, 0, at});
            }
        }
        if ((n + 1) % kRowsPerBatch == 0 || n + 1 == rows) {
            BusyProgress(QStringLiteral("exportando (Esc interrompe)"), n + 1, rows);
            stopped = !writer.push(std::move(batch)) || BusyPoll();
            batch = Batch();
        }
    }
    if (!stopped) BusyStage(QStringLiteral("gravando a planilha"));
    const lxw_error err = writer.finish(stopped, &stopped);
    if (stopped) {
        QFile::remove(tmp);  // the file that was there stays as it was
        why->clear();
        return false;
    }
    if (err != LXW_NO_ERROR) {
        qCWarning(lcGrid) << "export" << file << lxw_strerror(err);
        QFile::remove(tmp);
        *why = cannotWrite(file);
        return false;
    }
    // The old file is replaced only by a complete workbook.
    QFile::remove(file);
    if (!QFile::rename(tmp, file)) {
        qCWarning(lcGrid) << "export: cannot move" << tmp << "to" << file;
        QFile::remove(tmp);
        *why = cannotWrite(file);
        return false;
    }
    return true;
}

}  // namespace host
