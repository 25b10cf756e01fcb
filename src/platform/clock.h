// Time, as far as the program needs it: pauses, and a millisecond count to pace work by.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void sleep(std::uint32_t milliseconds) = 0;
  // Milliseconds since some fixed moment, wrapping round at 2^32 (GetTickCount): only the
  // difference of two readings, taken as unsigned, means anything.
  virtual std::uint32_t ticks() = 0;
};

Clock& clock();

}  // namespace platform
