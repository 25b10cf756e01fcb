// The service control manager.
#pragma once

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

class Services {
 public:
  virtual ~Services() = default;
};

Services& services();

}  // namespace platform
