// The history grid taken to CSV and XLSX through the screen's own commands, and
// the files read back.
#include "screenfixture.h"
#include "module.h"
#include "opendescriptors.h"

#include "dateeditplus.h"
#include "dbgrid.h"
#include "gridprint.h"
#include "dispatch.h"
#include "maskedit.h"

#include <QAction>
#include <QDir>
#include <QKeyEvent>
#include <QHeaderView>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <QDate>
#include <QTimer>

using namespace trq01300;

namespace {
// Work files are unlinked as soon as they are made; an open one shows as "(deleted)".
int openDeletedFiles() { return openDescriptors([](const QByteArray &t) { return t.endsWith(" (deleted)"); }); }

// The number format a cell style of styles.xml stands for.
QString formatOfStyle(const QString &styles, int style)
{
    const int xfs = styles.indexOf("<cellXfs");
    QStringList ids;
    for (auto it = QRegularExpression("<xf numFmtId=\"(\\d+)\"").globalMatch(styles.mid(xfs)); it.hasNext();)
        ids << it.next().captured(1);
    if (style < 0 || style >= ids.size()) return {};
    return QRegularExpression(QString("<numFmt numFmtId=\"%1\" formatCode=\"([^\"]*)\"").arg(ids[style]))
        .match(styles)
        .captured(1);
}
}  // namespace

class TstExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { fx.reset(); }
    void csvReadsBackAsShown();
    void xlsxHoldsNumbersDatesAndWords();
    void nothingToExportOrCancelled();
    void clearedNumberAndDateStayEmpty();
    void withoutAnIndexValuesGoOutOnce();
    void escStopsTheExportAndDropsOtherInput_data();
    void escStopsTheExportAndDropsOtherInput();
    void printedHeaderSaysTheIndex();
    void totalsOnAPageOfTheirOwnAreCounted();
    void aPrintedReportReadsWhole();
    void escStopsThePrintAndSaysSo();
private:
    TfrmHistoricoBem *screenWithRows();
    QString exportTo(TfrmHistoricoBem *f, const QString &name);
    ScreenFixture fx;
    QTemporaryDir m_dir;
};

void TstExport::initTestCase()
{
    SET_UP_SCREEN_FIXTURE(fx);
}

void TstExport::cleanupTestCase() { fx.tearDown(); }

// Three operations, two converted by the index CDI and one not (its value
// stays in reais); a name with a semicolon and accents.
TfrmHistoricoBem *TstExport::screenWithRows()
{
    TfrmHistoricoBem *f = fx.headerLeft(true);  // company 01, the whole period
    if (!f) return nullptr;
    f->edtSgIndice->setText("CDI");
    wire::DataPacket p = packetOf(f->cdsHistoricoBem);
    const auto row = [&](const char *nr, const char *sit, const QDateTime &d, const char *name, double vr, const char *ok,
                         double reais) {
        wire::Row r(p.fields.size());
        r[p.indexOf("NRSEQOPERABEM")] = nr;
        r[p.indexOf("IDSITOPERABEM")] = sit;
        r[p.indexOf("DTOPERABEM")] = wire::toOleDate(d);
        r[p.indexOf("NMBEMATIVO")] = name;
        r[p.indexOf("VROPERABEM2")] = vr;
        r[p.indexOf("VROPERABEM")] = reais;
        r[p.indexOf("IDINDFINOK")] = ok;
        r[p.indexOf("IDIDENTOPERABEM")] = "01";
        p.rows << r;
    };
    row("00000001", "1", QDateTime(QDate(2024, 1, 2), QTime(0, 0)), "Prensa; hidráulica \"nova\"", 1234.5, "S", 3850.7);
    row("00000002", "3", QDateTime(QDate(2024, 2, 29), QTime(0, 0)), "Ação", 0.25, "N", 0.25);
    row("00000003", "2", QDateTime(QDate(2024, 3, 1), QTime(10, 30)), " Torno ", -7.5, "S", -15);
    f->cdsHistoricoBem->LoadFromPacket(p);
    f->dbgPadrao->SetColumnVisible(0, true);  // the "Ok" column, as after a conversion
    return f;
}

QString TstExport::exportTo(TfrmHistoricoBem *f, const QString &name)
{
    const QString file = m_dir.filePath(name);
    fx.sp.fileAnswers = {file};
    f->dbgPadrao->setFocus();
    f->mnuExportar->trigger();
    return file;
}

void TstExport::csvReadsBackAsShown()
{
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    // The user moved "Nome do Bem" to the front and hid "Nr. Bem".
    QHeaderView *h = f->dbgPadrao->horizontalHeader();
    h->moveSection(h->visualIndex(5), 0);
    f->dbgPadrao->SetColumnVisible(4, false);
    fx.sp.clear();
    const QString file = exportTo(f, "historico.csv");
    QCOMPARE(fx.sp.texts("error").join('|'), QString());
    QCOMPARE(fx.sp.texts("saveFile").first(), QString("Exportar|Historico_Operacoes_Bem_01_inicio_a_fim.xlsx"));
    QCOMPARE(fx.sp.texts("notice"), QStringList({"Exportado: 3 linhas para " + file}));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));  // UTF-8 with a byte-order mark
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QStringList head = lines[0].split(';');
    // The mark and the index have columns of their own where the grid shows the mark.
    QCOMPARE(head.mid(0, 6), QStringList({"Nome do Bem", "Convertido", "Índice", "Situação", "Nr. Operação", "Data Operação"}));
    QVERIFY(!head.contains("Nr. Bem"));
    // Each value once in reais and once converted, side by side: every column one unit.
    const int reais = head.indexOf("Valor Operação (R$)"), vr = head.indexOf("Valor Operação (CDI)");
    QVERIFY(reais > 0);
    QCOMPARE(vr, reais + 1);
    QVERIFY(!head.contains("Valor Operação"));
    QVERIFY(lines[1].startsWith("\"Prensa; hidráulica \"\"nova\"\"\";Sim;CDI;Não Contabilizada;00000001;02/01/2024;"));
    // Cells after the quoted name split cleanly once the quoted field is taken off.
    const QStringList first = lines[1].mid(lines[1].indexOf("\";") + 2).split(';');
    QCOMPARE(first.at(reais - 1), QString("3.850,70"));
    QCOMPARE(first.at(vr - 1), QString("1.234,50"));
    // A row that could not be converted: its amount in reais, nothing in the converted column.
    const QStringList second = lines[2].split(';');
    QCOMPARE(second.mid(0, 6), QStringList({"Ação", "Não", "", "Cancelada", "00000002", "29/02/2024"}));
    QCOMPARE(second.at(reais), QString("0,25"));
    QCOMPARE(second.at(vr), QString());
    // Blanks at either end survive a spreadsheet's reading only inside quotes; a time shows as the grid shows it.
    const QStringList third = lines[3].split(';');
    QCOMPARE(third.mid(0, 6), QStringList({"\" Torno \"", "Sim", "CDI", "Contabilizada", "00000003", "01/03/2024 10:30:00"}));
    QCOMPARE(third.at(reais), QString("-15,00"));
    QCOMPARE(third.at(vr), QString("-7,50"));
}

void TstExport::xlsxHoldsNumbersDatesAndWords()
{
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    fx.sp.clear();
    const QString file = exportTo(f, "historico.xlsx");
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QProcess unzip;
    unzip.start("unzip", {"-p", file, "xl/worksheets/sheet1.xml"});
    QVERIFY(unzip.waitForFinished(10000));
    QVERIFY2(unzip.exitCode() == 0, "unzip (scripts/setup installs it)");
    const QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY(sheet.contains("Valor Operação (CDI)"));
    QVERIFY(sheet.contains("Valor Operação (R$)"));
    // The twin columns: a row that could not be converted has its reais and no converted cell.
    const auto column = [&sheet](const QString &title) {
        return QRegularExpression("<c r=\"([A-Z]+)1\"[^>]*>(?:<is>)?<t[^>]*>" + QRegularExpression::escape(title) + "</t>")
            .match(sheet)
            .captured(1);
    };
    const QString reais = column("Valor Operação (R$)"), cdi = column("Valor Operação (CDI)");
    QVERIFY2(!reais.isEmpty() && !cdi.isEmpty(), qPrintable(sheet.left(2000)));
    const auto cell = [&sheet](const QString &ref) {
        return QRegularExpression("<c r=\"" + ref + "\"[^>]*>(?:<v>([^<]*)</v>)?").match(sheet);
    };
    QCOMPARE(cell(cdi + "2").captured(1), QString("1234.5"));
    QCOMPARE(cell(reais + "3").captured(1), QString("0.25"));
    QVERIFY2(!cell(cdi + "3").hasMatch(), "the unconverted row's reais went under the index's title");
    QVERIFY(sheet.contains("Não Contabilizada"));
    // Each text a cell of its own, whole.
    QVERIFY(QRegularExpression("<t>Prensa; hidráulica (&quot;|\")nova(&quot;|\")</t>").match(sheet).hasMatch());
    QVERIFY(sheet.contains("<t> Torno </t>") || sheet.contains("<t xml:space=\"preserve\"> Torno </t>"));
    // Numbers are numbers (a value element, no string type)...
    QVERIFY2(QRegularExpression("<c r=\"[A-Z]+2\" s=\"\\d+\"><v>1234.5</v></c>").match(sheet).hasMatch(), qPrintable(sheet.left(3000)));
    // ...and dates are date serials: 02/01/2024 is day 45293, 29/02/2024 day 45351.
    QVERIFY(QRegularExpression("<c r=\"[A-Z]+2\" s=\"\\d+\"><v>45293</v></c>").match(sheet).hasMatch());
    QVERIFY(QRegularExpression("<c r=\"[A-Z]+3\" s=\"\\d+\"><v>45351</v></c>").match(sheet).hasMatch());
    // A date with its time keeps the time, under a date-and-time format; a plain date has a date format.
    const QRegularExpression dateCell("<c r=\"[A-Z]+(\\d)\" s=\"(\\d+)\"><v>(45351|45352\\.4375)</v></c>");
    QHash<QString, int> styleOf;
    for (auto it = dateCell.globalMatch(sheet); it.hasNext();) {
        const auto m = it.next();
        styleOf[m.captured(1)] = m.captured(2).toInt();
    }
    QCOMPARE(styleOf.keys().size(), 2);
    QProcess styles;
    styles.start("unzip", {"-p", file, "xl/styles.xml"});
    QVERIFY(styles.waitForFinished(10000));
    const QString st = QString::fromUtf8(styles.readAllStandardOutput());
    QCOMPARE(formatOfStyle(st, styleOf.value("3")), QString("dd/mm/yyyy"));
    QCOMPARE(formatOfStyle(st, styleOf.value("4")), QString("dd/mm/yyyy hh:mm:ss"));
    QVERIFY(st.contains("#,##0.00"));
}

void TstExport::clearedNumberAndDateStayEmpty()
{
    // A value and a date that came with the rows, cleared where they are: the
    // grid and the file show nothing, never 0 or 30/12/1899.
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    TClientDataSet *h = f->cdsHistoricoBem;
    h->First();
    h->Edit();
    h->FieldByName("VROPERABEM2")->Clear();
    h->FieldByName("DTOPERABEM")->Clear();
    h->Post();
    QVERIFY(h->FieldByName("VROPERABEM2")->IsNull());
    QVERIFY(h->FieldByName("DTOPERABEM")->IsNull());
    QCOMPARE(h->FieldByName("VROPERABEM2")->DisplayText(), QString());
    QCOMPARE(h->FieldByName("DTOPERABEM")->DisplayText(), QString());
    fx.sp.clear();
    const QString file = exportTo(f, "limpos.csv");
    QCOMPARE(fx.sp.texts("error").join('|'), QString());
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(in.readAll().mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QStringList head = lines[0].split(';');
    const int vr = head.indexOf("Valor Operação (CDI)"), dt = head.indexOf("Data Operação");
    QVERIFY(vr > 0 && dt > 0);
    const QStringList first = lines[1].mid(lines[1].indexOf("\";") + 2).split(';');
    const int name = head.indexOf("Nome do Bem");
    QVERIFY(name < dt && name < vr);  // the quoted name comes before both
    QCOMPARE(first.at(dt - name - 1), QString());
    QCOMPARE(first.at(vr - name - 1), QString());
    // The next rows keep their own.
    const QStringList second = lines[2].split(';'), third = lines[3].split(';');
    QCOMPARE(second.at(dt), QString("29/02/2024"));
    QCOMPARE(third.at(vr), QString("-7,50"));
}

void TstExport::withoutAnIndexValuesGoOutOnce()
{
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    f->edtSgIndice->clear();
    f->dbgPadrao->SetColumnVisible(0, false);  // as after a retrieval without index
    const QString file = exportTo(f, "sem-indice.csv");
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QStringList head = QString::fromUtf8(in.readLine().mid(3)).trimmed().split(';');
    QVERIFY(head.contains("Valor Operação"));
    for (const QString &t : head) QVERIFY2(!t.contains("(R$)") && t != "Convertido" && t != "Índice", qPrintable(t));
}

void TstExport::nothingToExportOrCancelled()
{
    TfrmHistoricoBem *f = fx.recordedScreen();
    QVERIFY(f);
    fx.sp.fileAnswers = {m_dir.filePath("vazio.csv")};
    f->mnuExportar->trigger();
    QCOMPARE(fx.sp.texts("error"), QStringList({"Não há linhas para exportar."}));
    QVERIFY(!QFile::exists(m_dir.filePath("vazio.csv")));
    f = screenWithRows();
    fx.sp.clear();
    fx.sp.fileAnswers.clear();  // the user closes the save dialog
    f->mnuExportar->trigger();
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QCOMPARE(fx.sp.texts("saveFile").size(), 1);
    // A folder that cannot be written is said plainly and leaves nothing behind.
    fx.sp.clear();
    fx.sp.fileAnswers = {"/proc/nao-gravavel/historico.xlsx"};
    f->mnuExportar->trigger();
    QCOMPARE(fx.sp.texts("error"), QStringList({"Não foi possível gravar o arquivo /proc/nao-gravavel/historico.xlsx."}));
}

void TstExport::escStopsTheExportAndDropsOtherInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("csv") << "parado.csv";
    QTest::newRow("xlsx") << "parado.xlsx";
}

// While the export runs the window handles its events; typing meant for the
// screen is dropped, Esc stops the export, and the file already there stays.
void TstExport::escStopsTheExportAndDropsOtherInput()
{
    QFETCH(QString, name);
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    const QString file = m_dir.filePath(name);
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("antigo");
    }
    fx.sp.clear();
    const int openFiles = openDeletedFiles();
    QCoreApplication::postEvent(f->edtSgIndice, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "X"));
    QCoreApplication::postEvent(f->dbgPadrao, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    exportTo(f, name);
    QCOMPARE(fx.sp.texts("error"), QStringList());
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("antigo"));
    QCOMPARE(QDir(m_dir.path()).entryList({name + "*"}), QStringList({name}));
    QCOMPARE(f->edtSgIndice->text(), QString("CDI"));
    QCOMPARE(openDeletedFiles(), openFiles);  // the work files went with it
    // Once it is over, the screen hears the keyboard again.
    f->edtSgIndice->setCursorPosition(3);
    QCoreApplication::postEvent(f->edtSgIndice, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "X"));
    QCoreApplication::processEvents();
    QCOMPARE(f->edtSgIndice->text(), QString("CDIX"));
}

void TstExport::printedHeaderSaysTheIndex()
{
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    f->edtNmIndice->setText("Certificado de Depósito Interbancário");
    QVERIFY(f->cabecalhoImpressao(f->dbgPadrao).lines.contains("Índice: CDI - Certificado de Depósito Interbancário"));
    f->edtSgIndice->clear();
    QVERIFY(f->cabecalhoImpressao(f->dbgPadrao).lines.contains("Índice: nenhum (valores em reais)"));
}

void TstExport::totalsOnAPageOfTheirOwnAreCounted()
{
    // Totals too long to follow the rows on their page: they take a page, and
    // every page says so in its "Página N de M".
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    host::PrintHeader h = f->cabecalhoImpressao(f->dbgPadrao);
    QStringList words;
    for (int i = 0; i < 2500; ++i) words << QString("total%1").arg(i);
    h.totals = words.join(' ');
    fx.sp.clear();
    QVERIFY(host::dispatch([f, h] { host::ImprimirGrade(f->dbgPadrao, h, "totais.pdf"); }));
    const QString file = m_dir.filePath("totais.pdf");
    fx.sp.fileAnswers = {file};
    QVERIFY(host::dispatch([this] { fx.sp.lastSavePdf(); }));
    QProcess info;
    info.start("pdfinfo", {file});
    QVERIFY(info.waitForFinished(20000));
    const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(info.readAllStandardOutput())).captured(1).toInt();
    QVERIFY(pages >= 2);  // the rows' pages (one per band of columns), then the totals'
    for (int n = 1; n <= pages; ++n) {
        QProcess text;
        text.start("pdftotext", {"-layout", "-f", QString::number(n), "-l", QString::number(n), file, "-"});
        QVERIFY(text.waitForFinished(20000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains(QString("Página %1 de %2").arg(n).arg(pages)), qPrintable(page.right(300)));
        QCOMPARE(page.contains("total0 "), n == pages);
        QCOMPARE(page.contains("00000002"), n < pages);  // the rows, on every band's page
    }
}

void TstExport::aPrintedReportReadsWhole()
{
    // A real query, every column shown: no number, date or code split over two
    // lines, every title whole, the mark a word, the columns on further pages.
    TfrmHistoricoBem *f = fx.headerLeft(false);
    QVERIFY(f);
    f->depDtInicial->SetDate(QDate(2024, 1, 1));
    f->depDtFinal->SetDate(QDate(2024, 6, 30));
    f->edtSgIndice->setText("CDI");
    QVERIFY(host::dispatch([f] { f->carrega_Indice(); }));
    QTimer::singleShot(0, [] { frmFiltroHistOpBem->sbtConfirma->click(); });
    CriaFiltroHistOpBem();
    TClientDataSet *h = f->cdsHistoricoBem;
    QVERIFY(h->RecordCount() > 50);
    for (int c = 0; c < f->dbgPadrao->Columns().size(); ++c) f->dbgPadrao->SetColumnVisible(c, true);
    fx.sp.clear();
    QVERIFY(host::dispatch([f] { f->Imprimir(f->dbgPadrao); }));
    const QString file = m_dir.filePath("legivel.pdf");
    fx.sp.fileAnswers = {file};
    QVERIFY(host::dispatch([this] { fx.sp.lastSavePdf(); }));
    QProcess text;
    text.start("pdftotext", {"-layout", file, "-"});
    QVERIFY(text.waitForFinished(60000));
    const QString all = QString::fromUtf8(text.readAllStandardOutput()).replace(QChar(0xFB01), "fi").replace(QChar(0xFB02), "fl");
    QVERIFY(all.contains("Colunas, parte 2 de "));
    for (int r = 0; r < h->RecordCount(); ++r) {
        for (const char *field : {"NRSEQOPERABEM", "DTOPERABEM", "CDBEMATIVO", "VROPERABEM2", "VRJADEPROPEBEM2"}) {
            const QString shown = h->FieldByName(field)->DisplayTextAt(r).trimmed();
            if (shown.isEmpty() || shown.size() > 20) continue;  // a long code is cut with "…", on one line
            QVERIFY2(all.contains(shown), qPrintable(QString("%1 of row %2: %3").arg(field).arg(r).arg(shown)));
        }
    }
    for (int c = 0; c < f->dbgPadrao->Columns().size(); ++c)
        for (const QString &word : f->dbgPadrao->ColumnTitle(c).split(' ', Qt::SkipEmptyParts))
            QVERIFY2(QRegularExpression("(^|\\s)" + QRegularExpression::escape(word) + "(\\s|$)").match(all).hasMatch(), qPrintable(word));
    // The conversion mark in words.
    QVERIFY(QRegularExpression("(^|\\s)Sim\\s").match(all).hasMatch());
    QVERIFY(QRegularExpression("(^|\\s)Não\\s").match(all).hasMatch());
    f->edtSgIndice->clear();
    StCDIndice.clear();
    StTpIndice.clear();
}

void TstExport::escStopsThePrintAndSaysSo()
{
    TfrmHistoricoBem *f = screenWithRows();
    QVERIFY(f);
    fx.sp.clear();
    QVERIFY(host::dispatch([f] { f->Imprimir(f->dbgPadrao); }));
    QVERIFY(fx.sp.lastPrint);
    QPdfWriter pdf(m_dir.filePath("parada.pdf"));
    QCoreApplication::postEvent(f->dbgPadrao, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    // The pages were not made: the preview is told so (and closes), the user hears why.
    QVERIFY(!fx.sp.lastPrint(&pdf));
    QCOMPARE(fx.sp.texts("notice"), QStringList({"Impressão interrompida."}));
    QCOMPARE(fx.sp.texts("error"), QStringList());
    // Without Esc the same pages are made.
    fx.sp.clear();
    QPdfWriter again(m_dir.filePath("inteira.pdf"));
    QVERIFY(fx.sp.lastPrint(&again));
    QCOMPARE(fx.sp.texts("notice"), QStringList());
}

QTEST_MAIN(TstExport)
#include "tst_export.moc"
