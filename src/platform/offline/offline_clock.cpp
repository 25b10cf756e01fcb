#include "platform/offline/offline_clock.h"

#include <time.h>

#include <cerrno>

namespace platform::offline {

void OfflineClock::sleep(std::uint32_t milliseconds) {
  struct timespec remaining = {static_cast<time_t>(milliseconds / 1000),
                               static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

std::uint32_t OfflineClock::ticks() {
  struct timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Wrapping round is part of the contract: callers only subtract readings.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

}  // namespace platform::offline
