// Stands in for ntfs-3g's answer to "system.ntfs_dos_name", which no other file system gives:
// while it lives, every open file is told to have `answer` as the short form of its name (none
// when null), and the questions asked are counted.
#pragma once

#include "common/bounded_text.h"
#include "platform/offline/short_name.h"

namespace offline_test {

class FakeShortNames {
 public:
  explicit FakeShortNames(const char* answer) {
    answer_ = answer;
    asked_ = 0;
    previous_ = platform::offline::installShortNameReader(&read);
  }
  ~FakeShortNames() { platform::offline::installShortNameReader(previous_); }
  FakeShortNames(const FakeShortNames&) = delete;
  FakeShortNames& operator=(const FakeShortNames&) = delete;

  int asked() const { return asked_; }

 private:
  static bool read(int, char (&buffer)[platform::offline::kShortNameCapacity]) {
    ++asked_;
    buffer[0] = '\0';
    return answer_ != nullptr && text::copy(buffer, answer_);
  }

  static inline const char* answer_ = nullptr;
  static inline int asked_ = 0;
  platform::offline::ShortNameReader previous_;
};

}  // namespace offline_test
