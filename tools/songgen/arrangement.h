#pragma once
// The song: its patterns, order list and instruments, ready to encode.
#include "tools/songgen/xmwriter.h"

namespace songgen {

XmModule makeSong();

} // namespace songgen
