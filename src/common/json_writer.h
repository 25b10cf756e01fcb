// A small JSON writer for the report: objects, arrays, strings, whole numbers and booleans,
// written into a buffer of bounded size. Strings are escaped as JSON requires; their bytes are
// taken as the program's single-byte code page and converted to UTF-8 by the converter given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/heap_array.h"

namespace json {

// Converts `text` (zero-terminated, in the system's code page) to UTF-8 in `buffer`; returns the
// bytes written (no terminator), or 0 with nothing written when it cannot. May be null: then
// only ASCII passes, and any other byte becomes U+FFFD.
using ToUtf8 = std::size_t (*)(const char* text, char* buffer, std::size_t capacity);

// Appends the UTF-8 form of the UTF-16 code units `units` (`count` of them) to `buffer`; an
// unpaired surrogate becomes U+FFFD. Returns the bytes written, or 0 when they do not fit.
std::size_t utf16ToUtf8(const std::uint16_t* units, std::size_t count, char* buffer,
                        std::size_t capacity);

// Passes well-formed UTF-8 through; a byte that does not belong to a well-formed sequence
// becomes U+FFFD. A ToUtf8 for names that are UTF-8 already.
std::size_t sanitizeUtf8(const char* text, char* buffer, std::size_t capacity);

class Writer {
 public:
  // At most `limit` bytes; once a value does not fit the writer fails and stays failed.
  Writer(std::size_t limit, ToUtf8 toUtf8);

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // A member's name, before its value, inside an object.
  void key(const char* name);
  void string(const char* value);
  void number(long long value);
  void boolean(bool value);
  // Shorthands for a member.
  void member(const char* name, const char* value) {
    key(name);
    string(value);
  }
  void member(const char* name, long long value) {
    key(name);
    number(value);
  }
  void memberBoolean(const char* name, bool value) {
    key(name);
    boolean(value);
  }

  // The document written so far, zero-terminated; null when the writer failed.
  const char* text() const;
  std::size_t length() const { return length_; }
  bool failed() const { return failed_; }

 private:
  static constexpr int kMaxDepth = 16;
  void beforeValue();
  void put(const char* bytes, std::size_t count);
  void put(const char* text);
  void putEscaped(const char* utf8, std::size_t count);
  void open(char bracket);
  void close(char bracket);

  HeapArray<char> buffer_;
  std::size_t limit_;
  std::size_t length_ = 0;
  ToUtf8 toUtf8_;
  bool failed_ = false;
  // Per open container: whether a value was written in it (a comma goes before the next), and
  // whether a key was just written (no comma before its value).
  bool hasValue_[kMaxDepth] = {};
  int depth_ = 0;
  bool afterKey_ = false;
};

}  // namespace json
