#pragma once
// Fills the open screen's header and confirms its filter as a user would, for
// the pictures of the documentation (--query) and a first look at the demo.
#include <QString>
#include <functional>

class QWidget;

// query: "COMPANY[,START,END[,INDEX]]", dates dd/mm/yyyy; page: "" or "detalhes".
// Calls done when the history is shown, or at once when it cannot run.
void runDemoQuery(QWidget *mainWindow, const QString &query, const QString &page, const std::function<void()> &done);
