#include "common/json_writer.h"

#include <cstring>

#include "common/bounded_text.h"

namespace json {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

// Appends the UTF-8 form of `code`; false when it does not fit.
bool putCode(std::uint32_t code, char* buffer, std::size_t capacity, std::size_t& used) {
  char bytes[4];
  std::size_t count;
  if (code < 0x80) {
    bytes[0] = static_cast<char>(code);
    count = 1;
  } else if (code < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (code >> 6));
    bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
    count = 2;
  } else if (code < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (code >> 12));
    bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
    count = 3;
  } else {
    bytes[0] = static_cast<char>(0xF0 | (code >> 18));
    bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
    count = 4;
  }
  if (capacity - used < count) return false;
  std::memcpy(buffer + used, bytes, count);
  used += count;
  return true;
}

// The length of the well-formed UTF-8 sequence at `text` (of `available` bytes), or 0.
std::size_t sequenceLength(const unsigned char* text, std::size_t available) {
  unsigned char lead = text[0];
  std::size_t length;
  std::uint32_t code;
  std::uint32_t least;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (available < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (text[i] & 0x3F);
  }
  // Overlong forms, surrogates and codes beyond Unicode are not well formed.
  if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::size_t utf16ToUtf8(const std::uint16_t* units, std::size_t count, char* buffer,
                        std::size_t capacity) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    if (!putCode(code, buffer, capacity, used)) return 0;
  }
  return used;
}

std::size_t sanitizeUtf8(const char* text, char* buffer, std::size_t capacity) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t available = std::strlen(text);
  std::size_t used = 0;
  for (std::size_t at = 0; at < available;) {
    std::size_t length = sequenceLength(bytes + at, available - at);
    if (length == 0) {
      if (!putCode(kReplacement, buffer, capacity, used)) return 0;
      ++at;
      continue;
    }
    if (capacity - used < length) return 0;
    std::memcpy(buffer + used, text + at, length);
    used += length;
    at += length;
  }
  return used;
}

Writer::Writer(std::size_t limit, ToUtf8 toUtf8) : limit_(limit), toUtf8_(toUtf8) {
  failed_ = limit == 0 || !buffer_.reset(limit);
}

const char* Writer::text() const { return failed_ ? nullptr : buffer_.data(); }

void Writer::put(const char* bytes, std::size_t count) {
  if (failed_) return;
  // One byte stays for the terminator.
  if (limit_ - 1 - length_ < count) {
    failed_ = true;
    return;
  }
  std::memcpy(buffer_.data() + length_, bytes, count);
  length_ += count;
  buffer_.data()[length_] = '\0';
}

void Writer::put(const char* text) { put(text, std::strlen(text)); }

void Writer::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (depth_ > 0) {
    if (hasValue_[depth_ - 1]) put(",");
    hasValue_[depth_ - 1] = true;
  }
}

void Writer::open(char bracket) {
  beforeValue();
  if (depth_ == kMaxDepth) {
    failed_ = true;
    return;
  }
  hasValue_[depth_++] = false;
  put(&bracket, 1);
}

void Writer::close(char bracket) {
  if (depth_ == 0 || afterKey_) {
    failed_ = true;
    return;
  }
  --depth_;
  put(&bracket, 1);
}

void Writer::beginObject() { open('{'); }
void Writer::endObject() { close('}'); }
void Writer::beginArray() { open('['); }
void Writer::endArray() { close(']'); }

void Writer::key(const char* name) {
  string(name);
  put(":");
  afterKey_ = true;
}

void Writer::putEscaped(const char* utf8, std::size_t count) {
  put("\"");
  for (std::size_t i = 0; i < count; ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char escape[8];
    switch (c) {
      case '"':
        put("\\\"");
        break;
      case '\\':
        put("\\\\");
        break;
      case '\n':
        put("\\n");
        break;
      case '\r':
        put("\\r");
        break;
      case '\t':
        put("\\t");
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          text::format(escape, sizeof escape, "\\u%04x", c);
          put(escape);
        } else {
          put(utf8 + i, 1);
        }
    }
  }
  put("\"");
}

void Writer::string(const char* value) {
  beforeValue();
  if (value == nullptr) value = "";
  // A name of the code page is at most three UTF-8 bytes a byte.
  char converted[1024 * 3];
  std::size_t length = 0;
  std::size_t available = std::strlen(value);
  if (available >= 1024) {
    failed_ = true;
    return;
  }
  if (toUtf8_ != nullptr) {
    length = available == 0 ? 0 : toUtf8_(value, converted, sizeof converted);
    if (available != 0 && length == 0) {
      failed_ = true;
      return;
    }
  } else {
    for (std::size_t i = 0; i < available; ++i) {
      auto c = static_cast<unsigned char>(value[i]);
      if (!putCode(c < 0x80 ? c : kReplacement, converted, sizeof converted, length)) {
        failed_ = true;
        return;
      }
    }
  }
  putEscaped(converted, length);
}

void Writer::number(long long value) {
  beforeValue();
  char digits[24];
  text::format(digits, sizeof digits, "%lld", value);
  put(digits);
}

void Writer::boolean(bool value) {
  beforeValue();
  put(value ? "true" : "false");
}

}  // namespace json
