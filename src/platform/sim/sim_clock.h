// Virtual time: a pause costs no real time, and tests can see how long the program waited.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/clock.h"

namespace sim {

class SimClock : public platform::Clock {
 public:
  void sleep(std::uint32_t milliseconds) override {
    now_ += milliseconds;
    if (duringNextPause_) std::exchange(duringNextPause_, nullptr)();
  }
  std::uint32_t ticks() override { return static_cast<std::uint32_t>(now_); }
  std::uint64_t now() const { return now_; }
  // Time that passes while the program works, for tests of what it does at a pace.
  void advance(std::uint32_t milliseconds) { now_ += milliseconds; }
  // Runs `change` once, in the program's next pause: what another user may do while it waits.
  void duringNextPause(std::function<void()> change) { duringNextPause_ = std::move(change); }

 private:
  std::uint64_t now_ = 0;
  std::function<void()> duringNextPause_;
};

}  // namespace sim
