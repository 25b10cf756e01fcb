// The Win32 implementation of every part of the seam, for main() to install.
#pragma once

#include "platform/os.h"

namespace platform::win32 {

// Parts with static storage: they live as long as the program.
Os win32Os();

}  // namespace platform::win32
