#pragma once
// Busy animation around remote calls, and the application-wide cursor.
#include "host_export.h"
#include <QString>
#include <functional>

class QWidget;

namespace host {
HOST_EXPORT int busyDepth();
HOST_EXPORT int busyShownCount();  // animations started since the program began
HOST_EXPORT void setWaitCursor(bool wait);
// The text the busy animation shows now.
HOST_EXPORT QString busyText();
// How long a step runs before its progress is shown (about half a second).
HOST_EXPORT void setBusyProgressDelayMs(int ms);
}  // namespace host

HOST_EXPORT void ActiveShowAvi(QWidget *form, int kind);
HOST_EXPORT void DeactiveShowAvi();
// How far a long step got ("convertendo valores", 120, 10000): shown in the
// running animation once it has run past the progress delay.
HOST_EXPORT void BusyProgress(const QString &what, int done, int total);

// Shows what a long step does now ("gravando a planilha") in the running
// animation, at once.
HOST_EXPORT void BusyStage(const QString &what);

// Lets a long local step keep the window alive: at most every 50 ms the
// pending events run (painting, resizing, timers) while the user's keys,
// clicks and close requests are dropped, except Esc, which asks the step to
// stop. True once Esc was pressed in the running animation. Does nothing
// outside an animation.
HOST_EXPORT bool BusyPoll();

// Runs a remote step behind the busy animation, which is stopped whatever
// happens, before an error travels on.
HOST_EXPORT void RunBusy(QWidget *form, int kind, const std::function<void()> &step);
