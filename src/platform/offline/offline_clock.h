// Pauses on this machine's clock, for the offline rescue.
#pragma once

#include "platform/clock.h"

namespace platform::offline {

class OfflineClock : public Clock {
 public:
  void sleep(std::uint32_t milliseconds) override;
  std::uint32_t ticks() override;
};

}  // namespace platform::offline
