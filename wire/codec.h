#pragma once
// The whole wire: messages, data packets, dates, and frames on a socket. Code
// that only builds or reads messages includes the parts it needs instead.
#include "framing.h"
#include "messagecodec.h"
#include "oledate.h"
#include "packetwriter.h"
