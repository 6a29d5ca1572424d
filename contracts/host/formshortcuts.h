#pragma once
// Makes the shortcuts of the actions added to a form win over the key
// bindings of the edit that has the focus (installed once per application).
#include "host_export.h"

namespace host {
HOST_EXPORT void keepFormShortcutsFirst();
}
