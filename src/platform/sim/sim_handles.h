// Handles of the simulated machine: one numbering for every kind, and a record of which are
// open, so that a test can prove that every handle was released on every path.
#pragma once

#include <map>
#include <string>

#include "platform/types.h"

namespace sim {

class SimHandles {
 public:
  platform::Handle open(std::string description);
  // Returns false when the handle is not open (a double close or a stray value).
  bool close(platform::Handle handle);
  bool isOpen(platform::Handle handle) const { return open_.count(handle) != 0; }
  std::size_t openCount() const { return open_.size(); }
  std::string describeOpen() const;

 private:
  platform::Handle next_ = 0x100;
  std::map<platform::Handle, std::string> open_;
};

// Paths compare case-insensitively and ignore doubled or trailing backslashes, as the system's.
std::string normalizePath(const std::string& path);

}  // namespace sim
