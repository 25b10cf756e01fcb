// What hivex hands back is allocated with malloc and is the caller's to free: an owner for it.
#pragma once

#include <cstdlib>
#include <memory>

namespace platform::offline {

struct FreeWithFree {
  void operator()(void* pointer) const { std::free(pointer); }
};

template <typename T>
using Allocated = std::unique_ptr<T, FreeWithFree>;

}  // namespace platform::offline
