#pragma once
// Busy animation around remote calls, and the application-wide cursor.
#include "host_export.h"

class QWidget;

namespace host {
HOST_EXPORT int busyDepth();
HOST_EXPORT int busyShownCount();  // animations started since the program began
HOST_EXPORT void setWaitCursor(bool wait);
}  // namespace host

HOST_EXPORT void ActiveShowAvi(QWidget *form, int kind);
HOST_EXPORT void DeactiveShowAvi();
