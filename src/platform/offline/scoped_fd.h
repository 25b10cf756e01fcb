// A POSIX file descriptor owned by the seam's one handle template.
#pragma once

#include <unistd.h>

#include <cerrno>

#include "platform/scoped_handle.h"

namespace platform::offline {

struct FdTraits {
  using Value = int;
  static Value none() { return -1; }
  static bool isValid(Value value) { return value >= 0; }
  // Keeps errno: a caller that gives up on a descriptor still reports why it gave up.
  static void close(Value value) {
    int saved = errno;
    ::close(value);
    errno = saved;
  }
};

using ScopedFd = ScopedHandle<FdTraits>;

}  // namespace platform::offline
