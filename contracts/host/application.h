#pragma once
// The host application object: main window, MDI area, form ownership.
#include "host_export.h"
#include <QPointer>

class QMainWindow;
class QMdiArea;
class QWidget;

class HOST_EXPORT TApplication {
public:
    static void SetMainForm(QMainWindow *w, QMdiArea *mdi);
    static QMainWindow *MainForm();
    static QMdiArea *MdiArea();
    // Shows a screen as an MDI child when there is an MDI area, as a window otherwise.
    static void ShowForm(QWidget *form);
    static void RestoreForm(QWidget *form);  // window state back to normal
    // The widget to parent dialogs to.
    static QWidget *DialogParent();
};
