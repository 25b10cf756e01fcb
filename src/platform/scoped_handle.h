// One move-only owner for every kind of resource handle. Traits supply the handle type, its
// "none" value and how to close it; the owner closes on every path out of a scope.
#pragma once

#include <utility>

#include "platform/types.h"

namespace platform {

template <typename Traits>
class ScopedHandle {
 public:
  using Value = typename Traits::Value;

  ScopedHandle() = default;
  explicit ScopedHandle(Value value) : value_(value) {}
  ~ScopedHandle() { reset(); }

  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : value_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  bool valid() const { return Traits::isValid(value_); }
  explicit operator bool() const { return valid(); }
  Value get() const { return value_; }

  [[nodiscard]] Value release() { return std::exchange(value_, Traits::none()); }

  void reset(Value value = Traits::none()) {
    Value old = std::exchange(value_, value);
    if (Traits::isValid(old)) Traits::close(old);
  }

 private:
  Value value_ = Traits::none();
};

// The seam's own handles: 0 means none, and `Close` gives one back.
template <void (*Close)(Handle)>
struct SeamHandleTraits {
  using Value = Handle;
  static Value none() { return kNoHandle; }
  static bool isValid(Value value) { return value != kNoHandle; }
  static void close(Value value) { Close(value); }
};

template <void (*Close)(Handle)>
using ScopedSeamHandle = ScopedHandle<SeamHandleTraits<Close>>;

}  // namespace platform
