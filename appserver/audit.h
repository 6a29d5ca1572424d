#pragma once
// What the per-call log line says of a call, for an audit of who read what:
// the company (a first argument of two digits) and the period (its dates).
#include "call.h"
#include <QString>

namespace appsrv {

QString auditOf(const wire::Call &call);

}  // namespace appsrv
