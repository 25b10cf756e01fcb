// Time, as far as the program needs it: pauses.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void sleep(std::uint32_t milliseconds) = 0;
};

Clock& clock();

}  // namespace platform
