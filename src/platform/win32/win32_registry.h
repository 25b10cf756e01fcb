// The registry part of the seam on Windows.
#pragma once

#include "platform/registry.h"

namespace platform::win32 {

class Win32Registry : public Registry {};

}  // namespace platform::win32
