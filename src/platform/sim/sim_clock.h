// Virtual time: a pause costs no real time, and tests can see how long the program waited.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace sim {

class SimClock : public platform::Clock {
 public:
  void sleep(std::uint32_t milliseconds) override { now_ += milliseconds; }
  std::uint64_t now() const { return now_; }

 private:
  std::uint64_t now_ = 0;
};

}  // namespace sim
