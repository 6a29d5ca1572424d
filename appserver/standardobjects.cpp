#include "standardobjects.h"
#include "rdmhistoricobem.h"
#include "trq01300_methods.h"

namespace appsrv {

void registerStandardObjects(Server &s)
{
    s.registerObject(QString::fromLatin1(trq01300::kObjectName), [] { return std::make_unique<trq01300::RdmHistoricoBem>(); });
}

}  // namespace appsrv
