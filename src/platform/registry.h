// Registry: keys under the predefined roots, values, and the performance data block.
#pragma once

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

class Registry {
 public:
  virtual ~Registry() = default;
};

Registry& registry();

}  // namespace platform
