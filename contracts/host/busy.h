#pragma once
// Busy animation around remote calls, and the application-wide cursor.
#include "host_export.h"
#include <functional>

class QWidget;

namespace host {
HOST_EXPORT int busyDepth();
HOST_EXPORT int busyShownCount();  // animations started since the program began
HOST_EXPORT void setWaitCursor(bool wait);
}  // namespace host

HOST_EXPORT void ActiveShowAvi(QWidget *form, int kind);
HOST_EXPORT void DeactiveShowAvi();

// Runs a remote step behind the busy animation, which is stopped whatever
// happens, before an error travels on.
HOST_EXPORT void RunBusy(QWidget *form, int kind, const std::function<void()> &step);
