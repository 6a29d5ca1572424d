#include "hostlog.h"

// Warnings and errors by default; QT_LOGGING_RULES turns on the rest.
Q_LOGGING_CATEGORY(lcHost, "backoffice.host", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGrid, "backoffice.grid", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPackage, "backoffice.package", QtWarningMsg)
