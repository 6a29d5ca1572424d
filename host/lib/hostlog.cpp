#include "hostlog.h"

Q_LOGGING_CATEGORY(lcHost, "backoffice.host")
Q_LOGGING_CATEGORY(lcGrid, "backoffice.grid")
Q_LOGGING_CATEGORY(lcPackage, "backoffice.package")
