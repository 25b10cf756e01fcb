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

}  // namespace platform::offline
