// The services part of the seam on Windows.
#pragma once

#include "platform/services.h"

namespace platform::win32 {

class Win32Services : public Services {};

}  // namespace platform::win32
