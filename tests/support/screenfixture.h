#pragma once
// What the screen tests stand on: a demo database, the real application
// server over loopback, a recording server, an MDI main window and the
// scripted prompter. Each test starts from a fresh screen.
#include "Cli_trq01300.h"
#include "Cli_trq01301.h"
#include "appserver.h"
#include "scriptedprompter.h"
#include "recordingserver.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QTemporaryDir>
#include <memory>

// Sets a suite's fixture up: a suite built with TEST_ON_POSTGRESQL runs on the
// database BACKOFFICE_TEST_PG names (skipped without it), the others on a
// SQLite file of their own.
#ifdef TEST_ON_POSTGRESQL
#define SET_UP_SCREEN_FIXTURE(fx)                                                     \
    do {                                                                              \
        const QString url_ = qEnvironmentVariable("BACKOFFICE_TEST_PG");              \
        if (url_.isEmpty()) QSKIP("BACKOFFICE_TEST_PG não definido");                \
        QString why_;                                                                 \
        QVERIFY2((fx).setUp(&why_, url_), qPrintable(why_));                          \
    } while (false)
#else
#define SET_UP_SCREEN_FIXTURE(fx)                                                     \
    do {                                                                              \
        QString why_;                                                                 \
        QVERIFY2((fx).setUp(&why_), qPrintable(why_));                                \
    } while (false)
#endif

class ScreenFixture {
public:
    // Demo database (a SQLite file, or the given database), shared connection,
    // real server, package state.
    bool setUp(QString *why, const QString &databaseUrl = {});
    void tearDown();
    // Closes any open screen and dialog and clears the prompts.
    void reset();
    // A new screen shown in the MDI area, connected to the real server or to
    // the recording one.
    TfrmHistoricoBem *screen();
    TfrmHistoricoBem *recordedScreen();
    // Closes the filter dialog when it shows (the dialog is created if needed).
    static void cancelFilterWhenShown();
    // The filter dialog, created (opened and cancelled) when it does not exist yet.
    static TfrmFiltroHistOpBem *filterDialog();
    // Every criterion of an existing dialog back to its default.
    static void filterDefaults();
    // A screen whose header was left with company 01 and the whole period; the
    // dialog that opens is cancelled; calls and prompts cleared.
    TfrmHistoricoBem *headerLeft(bool recorded);
    // History rows: operation number, asset, header, item, acquisition date, value.
    static void loadHistory(TfrmHistoricoBem *f, const QVector<wire::Row> &rows);
    static wire::DataPacket indexValues(const TClientDataSet *table, const QVector<double> &values);
    // The main window made active again (after a dialog), as the window system
    // does it: the screen's own control gets the focus back.
    bool backToMain();

    host::ScriptedPrompter sp;
    Recorder rec;
    std::unique_ptr<QMainWindow> main;
    QMdiArea *mdi = nullptr;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<appsrv::ServerThread> m_server, m_recServer;
};
