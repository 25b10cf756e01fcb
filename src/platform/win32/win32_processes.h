// The processes part of the seam on Windows.
#pragma once

#include "platform/processes.h"

namespace platform::win32 {

class Win32Processes : public Processes {};

}  // namespace platform::win32
