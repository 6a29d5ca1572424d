#pragma once
// A packet as text for appserver-call: a title line of field names, then one
// line per row, tab-separated or as CSV; dates dd/MM/yyyy (with the time when
// there is one), numbers with up to 15 significant digits.
#include "datapacket.h"
#include <cstdio>

namespace appsrv {
// title: the line of field names first (not for the later pieces of a reply).
void printPacket(std::FILE *out, const wire::DataPacket &p, bool csv, bool title = true);
}
