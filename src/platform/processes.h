// Processes: the version query, process lists, termination, restart and the end of this program.
#pragma once

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

class Processes {
 public:
  virtual ~Processes() = default;
};

Processes& processes();

}  // namespace platform
