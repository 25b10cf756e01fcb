// Pauses on Windows.
#pragma once

#include "platform/clock.h"

namespace platform::win32 {

class Win32Clock : public Clock {
 public:
  void sleep(std::uint32_t milliseconds) override;
  std::uint32_t ticks() override;
};

}  // namespace platform::win32
