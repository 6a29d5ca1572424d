#include "hostcontext_p.h"

namespace host {

Context &context()
{
    static Context c;
    return c;
}

}  // namespace host
