#pragma once
#include <QtCore/qglobal.h>
#if defined(HOSTLIB_BUILD)
#define HOST_EXPORT Q_DECL_EXPORT
#else
#define HOST_EXPORT Q_DECL_IMPORT
#endif
