#pragma once
// The server objects the application server's programs host, assembled here
// and nowhere in the generic server.
#include "appserver.h"

namespace appsrv {

void registerStandardObjects(Server &s);

}  // namespace appsrv
