// The host library through real widgets: focus events in an MDI window, grid
// painting, masked edits fed by paste and code.
#include "dataset.h"
#include "datasource.h"
#include "dbgrid.h"
#include "dispatch.h"
#include "focustracker.h"
#include "inkspan.h"
#include "listpicker.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "prompter.h"
#include "testguards.h"
#include "scriptedprompter.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QTabBar>
#include <QFrame>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>
#include <QTest>
#include <QVBoxLayout>

class TstHostWidgets : public QObject {
    Q_OBJECT
private slots:
    void mdiWindowStateChangesFireNoFocusEvents();
    void aPasteLongerThanTheFieldKeepsItsStart_data();
    void aPasteLongerThanTheFieldKeepsItsStart();
    void focusTheSystemGivesIsNoMove_data();
    void focusTheSystemGivesIsNoMove();
    void pageSwitchCarriesTheFocusWithoutEvents();
    void moveCompletesWhereItWasGoingAfterADialog();
    void gridPaintsEachRowWithItsOwnAlignment();
    void gridSaysSoWhenAnOpenTableIsEmpty();
    void gridColumnsFitTheirTextsUnlessTheUserSizedThem();
    void gridScrollsToTheCurrentRowPastAHiddenFirstColumn();
    void gridDisplayErrorIsToldOnceAfterPainting();
    void listPickerMarksSearchesAndQuotes();
    void listPickerCancelKeepsTheSelection();
    void listPickerTypingReachesTheSearch();
    void maskedEditRefusesWhatTheMaskForbids_data();
    void maskedEditRefusesWhatTheMaskForbids();
    void messagesShowPlainTextOfBoundedLength_data();
    void messagesShowPlainTextOfBoundedLength();
};


void TstHostWidgets::mdiWindowStateChangesFireNoFocusEvents()
{
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    QMainWindow main;
    auto *mdi = new QMdiArea(&main);
    main.setCentralWidget(mdi);
    main.resize(800, 600);
    auto *form = new QWidget;
    auto *lay = new QVBoxLayout(form);
    auto *pan = new QFrame(form);
    auto *pl = new QVBoxLayout(pan);
    auto *code = new QLineEdit(pan);
    code->setObjectName("code");
    pl->addWidget(code);
    auto *outside = new QLineEdit(form);
    lay->addWidget(pan);
    lay->addWidget(outside);
    QStringList log;
    auto *ft = host::FocusTracker::instance();
    // The header's rule: leaving it with the code empty is refused.
    ft->setOnExit(pan, [&] {
        log << "panExit";
        code->setFocus();
        MensErro("Empresa deve ser informada.", true);
    });
    ft->setOnEnter(pan, [&] { log << "panEnter"; });
    QMdiSubWindow *sw = mdi->addSubWindow(form);
    auto *other = new QLineEdit;
    QMdiSubWindow *sw2 = mdi->addSubWindow(other);
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    mdi->setActiveSubWindow(sw);
    code->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), code);
    log.clear();
    sp.clear();

    sw->showMinimized();
    QTest::qWait(20);
    sw->showNormal();
    mdi->setActiveSubWindow(sw);
    QTest::qWait(20);
    mdi->setActiveSubWindow(sw2);
    QTest::qWait(20);
    mdi->setActiveSubWindow(sw);
    QTest::qWait(20);
    sw->showMaximized();
    QTest::qWait(20);
    sw->showNormal();
    QTest::qWait(20);
    QCOMPARE(log, QStringList());
    QCOMPARE(sp.shown.size(), 0);
    QCOMPARE(QApplication::focusWidget(), code);  // the form got its control back
    // A real move out of the panel still runs its exit, also when the focus
    // passes through the form's frame on its way (Tab out of the last control).
    sw->setFocus();
    outside->setFocus();
    QCOMPARE(log, QStringList({"panExit"}));
    QCOMPARE(QApplication::focusWidget(), code);
    log.clear();
    sp.clear();
    // Back from another window through a moment without focus, a move to
    // another control is a move like any other.
    {
        QLineEdit elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        elsewhere.setFocus();
        elsewhere.clearFocus();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
    }
    log.clear();
    outside->setFocus();
    QCOMPARE(log, QStringList({"panExit"}));
    QCOMPARE(QApplication::focusWidget(), code);
    log.clear();
    sp.clear();
    sw->close();
    QTest::qWait(20);
    QCOMPARE(log, QStringList());
    QCOMPARE(sp.shown.size(), 0);
}

namespace {
// A form in an MDI window: a header panel (code, date) with enter and exit
// handlers that log, and a page control with an edit on each page.
struct HeaderForm {
    QMainWindow main;
    QMdiArea *mdi = new QMdiArea(&main);
    QWidget *form = new QWidget;
    QFrame *pan = new QFrame(form);
    QLineEdit *code = new QLineEdit(pan), *date = new QLineEdit(pan);
    TPageControl *pages = new TPageControl(form);
    QLineEdit *first = new QLineEdit, *second = new QLineEdit;
    QMdiSubWindow *sw = nullptr;
    QStringList log;
    std::function<void()> onExit;

    HeaderForm()
    {
        main.setCentralWidget(mdi);
        main.resize(800, 600);
        code->setObjectName("code");
        date->setObjectName("date");
        first->setObjectName("first");
        second->setObjectName("second");
        auto *pl = new QVBoxLayout(pan);
        pl->addWidget(code);
        pl->addWidget(date);
        auto *lay = new QVBoxLayout(form);
        lay->addWidget(pan);
        lay->addWidget(pages);
        pages->addTab(first, "Um");
        pages->addTab(second, "Dois");
        auto *ft = host::FocusTracker::instance();
        ft->setOnEnter(pan, [this] { log << "panEnter"; });
        ft->setOnExit(pan, [this] {
            log << "panExit";
            if (onExit) onExit();
        });
        sw = mdi->addSubWindow(form);
    }
    bool show()
    {
        main.show();
        main.activateWindow();
        if (!QTest::qWaitForWindowActive(&main)) return false;
        mdi->setActiveSubWindow(sw);
        code->setFocus();
        QApplication::processEvents();
        log.clear();
        return QApplication::focusWidget() == code;
    }
};
}  // namespace

void TstHostWidgets::aPasteLongerThanTheFieldKeepsItsStart_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");  // the edit's input characters after the paste
    QTest::addColumn<bool>("told");
    QTest::newRow("fits") << "1042" << "1042" << false;
    QTest::newRow("too long") << "123456789012345" << "1234567890" << true;
    QTest::newRow("too long, not digits") << "12345678901x" << "1234567890" << true;
    QTest::newRow("not digits") << "12a4" << "" << false;  // refused whole, as typed
}

void TstHostWidgets::aPasteLongerThanTheFieldKeepsItsStart()
{
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QFETCH(bool, told);
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    TMaskEdit e;
    e.SetEditMask("!9999999999;1; ");
    e.show();
    e.setFocus();
    QApplication::clipboard()->setText(pasted);
    e.paste();
    QCOMPARE(e.text(), kept);
    QCOMPARE(sp.texts("notice"), told ? QStringList({"O campo comporta 10 caracteres: só os primeiros foram colados."}) : QStringList());
}

void TstHostWidgets::focusTheSystemGivesIsNoMove_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("isMove");
    QTest::newRow("window activated") << int(Qt::ActiveWindowFocusReason) << false;
    QTest::newRow("popup closed") << int(Qt::PopupFocusReason) << false;
    QTest::newRow("menu bar left") << int(Qt::MenuBarFocusReason) << false;
    QTest::newRow("click") << int(Qt::MouseFocusReason) << true;
    QTest::newRow("tab") << int(Qt::TabFocusReason) << true;
    QTest::newRow("shortcut") << int(Qt::ShortcutFocusReason) << true;
    QTest::newRow("code") << int(Qt::OtherFocusReason) << true;
}

void TstHostWidgets::focusTheSystemGivesIsNoMove()
{
    QFETCH(int, reason);
    QFETCH(bool, isMove);
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    HeaderForm h;
    QVERIFY(h.show());
    // The window system puts the focus somewhere else than the form's own
    // control: given back, nothing fires. A user's or a handler's move fires.
    h.first->setFocus(Qt::FocusReason(reason));
    QApplication::processEvents();
    if (isMove) {
        QCOMPARE(h.log, QStringList({"panExit"}));
        QCOMPARE(QApplication::focusWidget(), h.first);
        QCOMPARE(host::FocusTracker::instance()->focusedIn(h.sw), h.first);
    } else {
        QCOMPARE(h.log, QStringList());
        QCOMPARE(QApplication::focusWidget(), h.code);
        QCOMPARE(host::FocusTracker::instance()->focusedIn(h.sw), h.code);
    }
}

void TstHostWidgets::pageSwitchCarriesTheFocusWithoutEvents()
{
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    HeaderForm h;
    QVERIFY(h.show());
    h.first->setFocus();
    QCOMPARE(h.log, QStringList({"panExit"}));
    h.log.clear();
    // A click on a tab (or Ctrl+PgDown) hides the control that has the focus:
    // Qt passes it on through the form, then into the page shown. Nothing of
    // the header fires and the page's control becomes the form's own.
    QTest::keyClick(h.first, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(h.pages->currentWidget(), h.second);
    QTRY_COMPARE(host::FocusTracker::instance()->focusedIn(h.sw), h.second);
    QCOMPARE(QApplication::focusWidget(), h.second);
    QCOMPARE(h.log, QStringList());
    h.pages->setCurrentIndex(0);
    QTRY_COMPARE(host::FocusTracker::instance()->focusedIn(h.sw), h.first);
    QCOMPARE(h.log, QStringList());
    // Under a window manager Qt passes the focus of a hidden control on along
    // the tab chain, through the form's frame and into the header, before the
    // page shown takes it: no step of that is a move.
    h.first->hide();
    h.sw->setFocus(Qt::TabFocusReason);
    h.code->setFocus(Qt::TabFocusReason);
    h.first->show();
    h.first->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    QCOMPARE(h.log, QStringList());
    QCOMPARE(QApplication::focusWidget(), h.first);
    // The tabs themselves never take the focus.
    QCOMPARE(h.pages->tabBar()->focusPolicy(), Qt::NoFocus);
    QCOMPARE(h.pages->focusPolicy(), Qt::NoFocus);
    // A real move back into the header still enters it.
    h.code->setFocus();
    QCOMPARE(h.log, QStringList({"panEnter"}));
}

void TstHostWidgets::moveCompletesWhereItWasGoingAfterADialog()
{
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    HeaderForm h;
    QVERIFY(h.show());
    // The exit handler opens a modal dialog, as leaving the header opens the
    // filter; the window system gives the focus back when it pleases, here
    // while the handler still runs and again after it returned, first to a
    // control of its own choosing.
    QWidget *wrong = h.code;
    h.onExit = [&] {
        QDialog dlg(&h.main);
        auto *inside = new QLineEdit(&dlg);
        QTimer::singleShot(0, &dlg, [&] {
            inside->setFocus();
            dlg.accept();
        });
        dlg.exec();
        h.main.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &h.main);
        wrong->setFocus(Qt::ActiveWindowFocusReason);
    };
    h.first->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    QCOMPARE(h.log, QStringList({"panExit"}));
    QCOMPARE(QApplication::focusWidget(), h.first);
    h.onExit = nullptr;
    h.log.clear();
    wrong->setFocus(Qt::ActiveWindowFocusReason);
    QCOMPARE(QApplication::focusWidget(), h.first);
    QCOMPARE(h.log, QStringList());
    // The next click on the page is no move at all; a click into the header is.
    h.first->setFocus(Qt::MouseFocusReason);
    QCOMPARE(h.log, QStringList());
    h.date->setFocus(Qt::MouseFocusReason);
    QCOMPARE(h.log, QStringList({"panEnter"}));
}

void TstHostWidgets::gridSaysSoWhenAnOpenTableIsEmpty()
{
    QWidget w;
    auto *ds = new TClientDataSet(&w, "cdsVazio");
    ds->AddField("TEXT", TFieldKind::String, 10);
    TDataSource src(&w, ds);
    auto *grid = new TDBGrid(&w);
    grid->SetColumns({{"TEXT", "Valor", 200, true, {}}});
    grid->SetDataSource(&src);
    grid->SetEmptyText("Nada encontrado.");
    grid->setGeometry(0, 0, 300, 160);
    w.resize(300, 160);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto ink = [grid] {
        const QImage img = grid->viewport()->grab().toImage();
        return inkSpan(img, img.rect().adjusted(0, 0, -1, -1)).first;
    };
    // Closed (the header being edited): nothing is said.
    QVERIFY(!grid->ShowsEmptyText());
    QCOMPARE(ink(), -1);
    wire::DataPacket p;
    p.fields = ds->Layout();
    ds->LoadFromPacket(p);
    QVERIFY(grid->ShowsEmptyText());
    QVERIFY2(ink() >= 0, "an empty result paints its sentence");
    p.rows = {{"888"}};
    ds->LoadFromPacket(p);
    QVERIFY(!grid->ShowsEmptyText());
}

void TstHostWidgets::gridColumnsFitTheirTextsUnlessTheUserSizedThem()
{
    QWidget w;
    auto *ds = new TClientDataSet(&w, "cdsLargura");
    ds->AddField("CURTO", TFieldKind::String, 10);
    ds->AddField("LONGO", TFieldKind::String, 400);
    TDataSource src(&w, ds);
    auto *grid = new TDBGrid(&w);
    grid->SetColumns({{"CURTO", "C", 40, true, {}}, {"LONGO", "L", 40, true, {}}});
    grid->SetDataSource(&src);
    w.resize(600, 200);
    w.show();
    const QFontMetrics fm = grid->fontMetrics();
    const QString wide = "Baixa por perda ou sinistro";
    wire::DataPacket p;
    p.fields = ds->Layout();
    p.rows = {{"a", "x"}, {"b", wide}};
    ds->LoadFromPacket(p);
    // The stated width is where a column starts; it grows to its widest text.
    QCOMPARE(grid->columnWidth(0), 40);
    QVERIFY2(grid->columnWidth(1) >= fm.horizontalAdvance(wide), qPrintable(QString::number(grid->columnWidth(1))));
    // Never beyond the cap, whatever a text's length.
    p.rows = {{"a", QString(300, 'W')}};
    ds->LoadFromPacket(p);
    QCOMPARE(grid->columnWidth(1), 280);
    // Only the first rows are measured: a long text further down does not count.
    wire::DataPacket many;
    many.fields = ds->Layout();
    for (int r = 0; r < 400; ++r) many.rows << wire::Row{"a", r == 350 ? wide : "x"};
    ds->LoadFromPacket(many);
    QVERIFY(grid->columnWidth(1) < fm.horizontalAdvance(wide));
    // A width the user sets always wins, until the default layout is restored.
    grid->horizontalHeader()->resizeSection(1, 55);
    ds->LoadFromPacket(p);
    QCOMPARE(grid->columnWidth(1), 55);
    QVERIFY(grid->SaveLayout().contains("LONGO:55:1"));
    grid->RestoreDefaultLayout();
    ds->LoadFromPacket(p);
    QCOMPARE(grid->columnWidth(1), 280);
    // A saved layout's own width counts as the user's.
    grid->RestoreLayout("CURTO:40:1|LONGO:70:1");
    ds->LoadFromPacket(p);
    QCOMPARE(grid->columnWidth(1), 70);
}

void TstHostWidgets::gridPaintsEachRowWithItsOwnAlignment()
{
    QWidget w;
    auto *ds = new TClientDataSet(&w, "cdsKinds");
    ds->AddField("KIND", TFieldKind::String, 1);
    ds->AddField("TEXT", TFieldKind::String, 10);
    TDataSource src(&w, ds);
    auto *grid = new TDBGrid(&w);
    grid->SetColumns({{"KIND", {}, 40, true, {}}, {"TEXT", "Valor", 200, true, {}}});
    grid->SetDataSource(&src);
    // The handler decides the column's alignment row by row, as a value
    // column of mixed kinds does.
    ds->FieldByName("TEXT")->OnGetText = [&](TField *f, QString &t, bool) {
        const bool right = ds->FieldByName("KIND")->AsString() == "R";
        grid->SetColumnAlignment(1, right ? TAlignment::Right : TAlignment::Left);
        t = f->AsString();
    };
    wire::DataPacket p;
    p.fields = ds->Layout();
    p.rows = {{"R", "888"}, {"L", "888"}, {"R", "888"}};
    ds->LoadFromPacket(p);
    grid->setGeometry(0, 0, 280, 140);
    w.resize(280, 140);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage img = grid->viewport()->grab().toImage();
    for (int row = 0; row < 3; ++row) {
        const QRect cell = grid->visualRect(grid->dataModel()->index(row, 1)).adjusted(1, 1, -1, -1);
        const auto [first, last] = inkSpan(img, cell);
        QVERIFY2(first >= 0, qPrintable(QString("row %1 painted no text").arg(row)));
        if (row == 1) QVERIFY2(first < cell.left() + 20, qPrintable(QString("row 1 starts at %1").arg(first)));
        else QVERIFY2(last > cell.right() - 20, qPrintable(QString("row %1 ends at %2").arg(row).arg(last)));
    }
    // The model answers the same for each row, whatever was asked before.
    QCOMPARE(grid->dataModel()->data(grid->dataModel()->index(1, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft,
             int(Qt::AlignLeft));
    QCOMPARE(grid->dataModel()->data(grid->dataModel()->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
    QCOMPARE(ds->RecNo(), 0);  // painting never moved the cursor
}

void TstHostWidgets::gridScrollsToTheCurrentRowPastAHiddenFirstColumn()
{
    QWidget w;
    auto *ds = new TClientDataSet(&w, "cdsMany");
    ds->AddField("MARK", TFieldKind::String, 1);
    ds->AddField("CODE", TFieldKind::String, 6);
    TDataSource src(&w, ds);
    auto *grid = new TDBGrid(&w);
    grid->SetColumns({{"MARK", {}, 20, false, {}}, {"CODE", {}, 80, true, {}}});
    grid->SetDataSource(&src);
    grid->resize(200, 150);
    w.resize(200, 150);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    wire::DataPacket p;
    p.fields = ds->Layout();
    for (int i = 0; i < 300; ++i) p.rows << wire::Row{"S", QString::number(i)};
    ds->LoadFromPacket(p);
    for (ds->First(); !ds->Eof(); ds->Next()) {
    }
    QCOMPARE(grid->currentIndex().row(), 299);
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->dataModel()->index(299, 1)).center()));
}

void TstHostWidgets::gridDisplayErrorIsToldOnceAfterPainting()
{
    host::ScriptedPrompter sp;
    PrompterGuard guard(&sp);
    QWidget w;
    auto *ds = new TClientDataSet(&w, "cdsBroken");
    ds->AddField("CODE", TFieldKind::String, 4);
    TDataSource src(&w, ds);
    auto *grid = new TDBGrid(&w);
    grid->SetColumns({{"CODE", {}, 80, true, {}}});
    grid->SetDataSource(&src);
    ds->FieldByName("CODE")->OnGetText = [&](TField *f, QString &t, bool) {
        if (f->AsString() == "2") throw host::EHostError("falha ao montar o texto");
        t = f->AsString();
    };
    wire::DataPacket p;
    p.fields = ds->Layout();
    p.rows = {{"1"}, {"2"}, {"3"}};
    ds->LoadFromPacket(p);
    grid->resize(200, 120);
    w.resize(200, 120);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    grid->viewport()->grab();
    QCOMPARE(sp.shown.size(), 0);  // nothing opens while painting
    QCOMPARE(grid->dataModel()->data(grid->dataModel()->index(1, 0), Qt::DisplayRole).toString(), QString());
    QCOMPARE(grid->dataModel()->data(grid->dataModel()->index(2, 0), Qt::DisplayRole).toString(), QString("3"));
    QTRY_COMPARE(sp.shown.size(), 1);
    QCOMPARE(sp.shown.first().kind, QString("error"));
    grid->viewport()->grab();
    QTest::qWait(20);
    QCOMPARE(sp.shown.size(), 1);  // once, until the data changes
    ds->LoadFromPacket(p);
    grid->viewport()->grab();
    QTRY_COMPARE(sp.shown.size(), 2);
}

namespace {
TClientDataSet *codes(QObject *owner, const QVector<QStringList> &rows)
{
    auto *ds = new TClientDataSet(owner, "cdsCodes");
    ds->AddField("CODE", TFieldKind::String, 10, "Código");
    ds->AddField("NAME", TFieldKind::String, 30, "Nome");
    ds->AddField("HIDDEN", TFieldKind::String, 5, "", false);
    wire::DataPacket p;
    p.fields = ds->Layout();
    for (const QStringList &r : rows) p.rows << wire::Row{r[0], r[1], "x"};
    ds->LoadFromPacket(p);
    return ds;
}
}  // namespace

void TstHostWidgets::listPickerMarksSearchesAndQuotes()
{
    QObject owner;
    TClientDataSet *ds = codes(&owner, {{"A'1", "São Paulo"}, {"B,2", "Santos"}, {"C", "Campinas"}, {"11", "Sorocaba"}});
    ds->SetRecNo(2);
    host::ListPickerDialog dlg(ds, "CODE", "Cidade|Não há cidade cadastrada.", "'C','1'");
    QCOMPARE(dlg.windowTitle(), QString("Cidade"));
    QVERIFY(dlg.emptyLabel()->isHidden());
    QCOMPARE(dlg.model()->columnCount(), 3);  // the mark and the two shown fields
    QCOMPARE(dlg.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Código"));
    // Only exact codes come marked: "1" does not mark "11".
    QCOMPARE(dlg.model()->markedCount(), 1);
    QVERIFY(dlg.model()->marked(2));
    dlg.setSearch("sao");  // no case, no accents
    QCOMPARE(dlg.shownRows(), 1);
    dlg.markShown(true);
    dlg.setSearch("Sa");
    QCOMPARE(dlg.shownRows(), 2);
    dlg.view()->setCurrentIndex(dlg.view()->model()->index(1, 1));  // Santos
    QTest::keyClick(dlg.view(), Qt::Key_Space);
    QCOMPARE(dlg.result(), QString("'A''1','B,2','C'"));
    QTest::keyClick(dlg.view(), Qt::Key_Space);
    QCOMPARE(dlg.result(), QString("'A''1','C'"));
    // Narrowing keeps the current row while it is shown; hiding it moves to the first shown.
    dlg.setSearch("santo");
    QCOMPARE(dlg.view()->currentIndex().data().toString(), QString("B,2"));
    dlg.setSearch("camp");
    QCOMPARE(dlg.view()->currentIndex().data().toString(), QString("C"));
    dlg.setSearch("");
    dlg.markShown(false);
    QCOMPARE(dlg.result(), QString());
    QVERIFY(dlg.countLabel()->text().startsWith("0 marcado(s) de 4"));
    QCOMPARE(ds->RecNo(), 2);  // the caller's current row stays
    // An empty list says so inside the window.
    TClientDataSet *none = codes(&owner, {});
    host::ListPickerDialog empty(none, "CODE", "Cidade|Não há cidade cadastrada.", "");
    QVERIFY(!empty.emptyLabel()->isHidden());
    QCOMPARE(empty.emptyLabel()->text(), QString("Não há cidade cadastrada."));
}

void TstHostWidgets::listPickerCancelKeepsTheSelection()
{
    QObject owner;
    TClientDataSet *ds = codes(&owner, {{"1", "Um"}, {"2", "Dois"}});
    TDataSource src(&owner, ds);
    QString selection = "'2'";
    // Enter confirms, Esc cancels.
    QTimer::singleShot(0, [] {
        auto *dlg = qobject_cast<host::ListPickerDialog *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        dlg->markShown(true);
        QTest::keyClick(dlg->searchBox(), Qt::Key_Escape);
    });
    PesquisaLista(&src, "CODE", "Números", false, selection);
    QCOMPARE(selection, QString("'2'"));
    QTimer::singleShot(0, [] {
        auto *dlg = qobject_cast<host::ListPickerDialog *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        dlg->markShown(true);
        QTest::keyClick(dlg->searchBox(), Qt::Key_Return);
    });
    PesquisaLista(&src, "CODE", "Números", false, selection);
    QCOMPARE(selection, QString("'1','2'"));
}

void TstHostWidgets::listPickerTypingReachesTheSearch()
{
    QWidget owner;
    auto *ds = new TClientDataSet(&owner, "cdsLista");
    ds->AddField("CODE", TFieldKind::String, 4);
    ds->AddField("NAME", TFieldKind::String, 20);
    wire::DataPacket p;
    p.fields = ds->Layout();
    p.rows = {{"01", "Alfa"}, {"02", "Beta"}, {"03", "Gama"}};
    ds->LoadFromPacket(p);
    host::ListPickerDialog dlg(ds, "CODE", "Lista|Vazia", {});
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QLineEdit *search = dlg.searchBox();
    QTableView *view = dlg.view();
    QCOMPARE(QApplication::focusWidget(), search);
    // The arrows in the search box move through the list; the search keeps the focus.
    QTest::keyClick(search, Qt::Key_Down);
    QCOMPARE(view->currentIndex().row(), 1);
    QCOMPARE(QApplication::focusWidget(), search);
    // Tab leaves the list (no cell-to-cell Tab), Space marks only in the list.
    QTest::keyClick(search, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), view);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(dlg.model()->markedCount(), 1);
    QTest::keyClick(view, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != view);
    view->setFocus();
    // Typing in the list goes to the search box, which takes the focus.
    QTest::keyClicks(view, "ga");
    QCOMPARE(QApplication::focusWidget(), search);
    QCOMPARE(search->text(), QString("ga"));
    QCOMPARE(dlg.shownRows(), 1);
    QTest::keyClick(search, Qt::Key_Space);
    QCOMPARE(search->text(), QString("ga "));
    QCOMPARE(dlg.model()->markedCount(), 1);
}

void TstHostWidgets::maskedEditRefusesWhatTheMaskForbids_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("after");
    QTest::newRow("paste letters") << "" << "paste" << "ab" << "";
    QTest::newRow("paste mixed") << "" << "paste" << "1x" << "";
    QTest::newRow("paste digits") << "" << "paste" << "12" << "12";
    QTest::newRow("paste too long") << "1" << "paste" << "23" << "1";
    QTest::newRow("insert mixed") << "" << "insert" << "1x24" << "";
    QTest::newRow("insert longer than the field") << "" << "insert" << "12x4" << "12";  // its start fills it
    QTest::newRow("insert digit") << "3" << "insert" << "4" << "34";
    QTest::newRow("setText mixed") << "" << "setText" << "a1b" << "1";
    QTest::newRow("typing") << "" << "type" << "x7-y" << "7";
}

void TstHostWidgets::maskedEditRefusesWhatTheMaskForbids()
{
    QFETCH(QString, before);
    QFETCH(QString, how);
    QFETCH(QString, input);
    QFETCH(QString, after);
    TMaskEdit e;
    e.SetEditMask("!99;1; ");
    e.show();
    e.setText(before);
    e.end(false);
    if (how == "paste") {
        QApplication::clipboard()->setText(input);
        e.paste();
    } else if (how == "insert") {
        e.insert(input);
    } else if (how == "setText") {
        e.setText(input);
    } else {
        QTest::keyClicks(&e, input);
    }
    QCOMPARE(e.text(), after);
}

void TstHostWidgets::messagesShowPlainTextOfBoundedLength_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("error") << 0;
    QTest::newRow("warning") << 1;
    QTest::newRow("confirmation") << 2;
}

// A message may come from a server's reply: its markup is shown as text (a
// link in it is no link), and a huge one is cut rather than laid out whole.
void TstHostWidgets::messagesShowPlainTextOfBoundedLength()
{
    QFETCH(int, kind);
    const QString link = "<a href='http://exemplo/'>Sessão expirada, clique aqui</a>";
    const QString text = link + QString(100000, 'x');
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        format = box->textFormat();
        shown = box->text();
        box->reject();
    });
    host::QtPrompter qt;
    if (kind == 0) qt.error(text);
    else if (kind == 1) qt.warning(text);
    else qt.confirm(text);
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(shown.startsWith(link));
    QVERIFY2(shown.size() <= 2001 && shown.endsWith(QChar(0x2026)), qPrintable(QString::number(shown.size())));
}

QTEST_MAIN(TstHostWidgets)
#include "tst_hostwidgets.moc"
