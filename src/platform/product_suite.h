// Whether an NT system is a Terminal Server, as its registry says: the ProductSuite value of the
// control set's Control\ProductOptions key lists the product's suites, "Terminal Server" among
// them on such a system. Read through any implementation of the Registry seam, so that a running
// system and an installation that is not running are read alike.
#pragma once

#include <cstdint>

#include "platform/processes.h"
#include "platform/registry.h"

namespace platform {

// Reads ProductSuite below HKEY_LOCAL_MACHINE\`productOptionsKey`. kNo when the key has no such
// value (a system of no suite); kUnknown when the key or the value cannot be read, or the value
// is not a list of names.
TerminalServer readTerminalServer(Registry& registry, const char* productOptionsKey);

}  // namespace platform
