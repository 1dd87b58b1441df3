#pragma once

#include "station/ConnectionList.h"

namespace znr {

// The list kept in memory was once one of two implementations; there is now only the one.
using MemoryConnectionList = ConnectionList;

} // namespace znr
