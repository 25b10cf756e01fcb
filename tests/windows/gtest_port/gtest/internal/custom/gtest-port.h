// GoogleTest's own hook for a platform's particulars, found before the copy it ships with.
// The win32 thread-model compilers have no std::mutex or std::condition_variable, which
// GoogleTest's Notification uses; everything else of its threading it builds on Win32 itself.
// This Notification waits by polling: only GoogleTest's own thread tests use it.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) Sleep(1);
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
