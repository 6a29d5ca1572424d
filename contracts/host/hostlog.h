#pragma once
// Log categories of the host: operators read these, users never do.
#include "host_export.h"
#include <QLoggingCategory>

HOST_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcHost)
HOST_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcGrid)
HOST_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcPackage)
