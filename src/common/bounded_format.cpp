#include "common/bounded_format.h"

namespace text {
namespace {

// Fills a buffer, counting what would not fit.
class BufferSink final : public FormatSink {
 public:
  BufferSink(char* destination, std::size_t capacity)
      : destination_(destination), capacity_(capacity) {}

  void put(const char* piece, std::size_t length) override {
    for (std::size_t i = 0; i < length; ++i) {
      if (used_ + 1 < capacity_) {
        destination_[used_++] = piece[i];
      } else {
        cut_ = true;
      }
    }
  }
  bool finish() {
    if (capacity_ > 0) destination_[used_] = '\0';
    return !cut_;
  }

 private:
  char* destination_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  bool cut_ = false;
};

struct Conversion {
  bool leftAlign = false;
  bool zeroPad = false;
  int width = 0;
  int precision = -1;  // -1: none given
  enum class Size { kInt, kLong, kLongLong, kSize } size = Size::kInt;
};

void putRepeated(FormatSink& sink, char c, int count) {
  for (; count > 0; --count) sink.put(&c, 1);
}

// Puts `body` padded to the conversion's width. Zero padding goes between a sign and the digits.
void putPadded(FormatSink& sink, const Conversion& conversion, const char* sign, const char* body,
               std::size_t length) {
  std::size_t signLength = sign[0] != '\0' ? 1 : 0;
  int padding = conversion.width - static_cast<int>(length + signLength);
  bool zeros = conversion.zeroPad && !conversion.leftAlign;
  if (!conversion.leftAlign && !zeros) putRepeated(sink, ' ', padding);
  sink.put(sign, signLength);
  if (zeros) putRepeated(sink, '0', padding);
  sink.put(body, length);
  if (conversion.leftAlign) putRepeated(sink, ' ', padding);
}

// The widest number a conversion takes. Only %ll conversions are divided as 64-bit numbers, so
// that a 32-bit build divides the others in single instructions.
using Magnitude = unsigned long long;

// Digits of `value` in `base`, written backwards from `end`.
template <typename Number>
const char* digitsOf(Number value, unsigned base, bool upper, char* end) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char* at = end;
  do {
    *--at = digits[value % base];
    value /= base;
  } while (value != 0);
  return at;
}

void putNumber(FormatSink& sink, const Conversion& conversion, Magnitude magnitude, bool negative,
               unsigned base, bool upper) {
  char buffer[3 * sizeof magnitude + 1];
  char* end = buffer + sizeof buffer;
  const char* first = magnitude <= static_cast<std::size_t>(-1)
                          ? digitsOf(static_cast<std::size_t>(magnitude), base, upper, end)
                          : digitsOf(magnitude, base, upper, end);
  putPadded(sink, conversion, negative ? "-" : "", first, static_cast<std::size_t>(end - first));
}

Magnitude unsignedArgument(const Conversion& conversion, va_list& arguments) {
  switch (conversion.size) {
    case Conversion::Size::kLong:
      return va_arg(arguments, unsigned long);
    case Conversion::Size::kLongLong:
      return va_arg(arguments, unsigned long long);
    case Conversion::Size::kSize:
      return va_arg(arguments, std::size_t);
    default:
      return va_arg(arguments, unsigned int);
  }
}

// The signed argument as a sign and a magnitude, without overflow at the smallest value.
Magnitude signedMagnitude(const Conversion& conversion, va_list& arguments, bool& negative) {
  long long value = 0;
  switch (conversion.size) {
    case Conversion::Size::kLong:
      value = va_arg(arguments, long);
      break;
    case Conversion::Size::kLongLong:
      value = va_arg(arguments, long long);
      break;
    case Conversion::Size::kSize:
      value = static_cast<std::ptrdiff_t>(va_arg(arguments, std::size_t));
      break;
    default:
      value = va_arg(arguments, int);
      break;
  }
  negative = value < 0;
  return negative ? Magnitude{0} - static_cast<Magnitude>(value) : static_cast<Magnitude>(value);
}

std::size_t boundedLength(const char* s, int precision) {
  std::size_t length = 0;
  while ((precision < 0 || length < static_cast<std::size_t>(precision)) && s[length] != '\0') {
    ++length;
  }
  return length;
}

int readNumber(const char*& at) {
  int value = 0;
  while (*at >= '0' && *at <= '9') {
    // A width beyond any buffer is as good as infinite; keep it from overflowing.
    if (value < 100000) value = value * 10 + (*at - '0');
    ++at;
  }
  return value;
}

// Reads the flags, width, precision and length of the conversion after a '%'.
void readConversion(const char*& at, va_list& arguments, Conversion& conversion) {
  for (;; ++at) {
    if (*at == '-') {
      conversion.leftAlign = true;
    } else if (*at == '0') {
      conversion.zeroPad = true;
    } else {
      break;
    }
  }
  if (*at == '*') {
    ++at;
    conversion.width = va_arg(arguments, int);
    if (conversion.width < 0) {
      conversion.leftAlign = true;
      conversion.width = -conversion.width;
    }
  } else {
    conversion.width = readNumber(at);
  }
  if (*at == '.') {
    ++at;
    if (*at == '*') {
      ++at;
      conversion.precision = va_arg(arguments, int);
    } else {
      conversion.precision = readNumber(at);
    }
  }
  if (*at == 'h') {
    ++at;
    if (*at == 'h') ++at;
  } else if (*at == 'l') {
    ++at;
    conversion.size = Conversion::Size::kLong;
    if (*at == 'l') {
      ++at;
      conversion.size = Conversion::Size::kLongLong;
    }
  } else if (*at == 'z') {
    ++at;
    conversion.size = Conversion::Size::kSize;
  }
}

}  // namespace

bool formatTo(FormatSink& sink, const char* pattern, va_list arguments) {
  // A copy, so that the conversions can advance it through a reference on every platform.
  va_list rest;
  va_copy(rest, arguments);
  bool understood = true;
  const char* at = pattern;
  while (understood && *at != '\0') {
    const char* literal = at;
    while (*at != '\0' && *at != '%') ++at;
    sink.put(literal, static_cast<std::size_t>(at - literal));
    if (*at == '\0') break;
    ++at;
    Conversion conversion;
    readConversion(at, rest, conversion);
    switch (*at) {
      case 'd':
      case 'i': {
        bool negative = false;
        Magnitude magnitude = signedMagnitude(conversion, rest, negative);
        putNumber(sink, conversion, magnitude, negative, 10, false);
        break;
      }
      case 'u':
        putNumber(sink, conversion, unsignedArgument(conversion, rest), false, 10, false);
        break;
      case 'x':
      case 'X':
        putNumber(sink, conversion, unsignedArgument(conversion, rest), false, 16, *at == 'X');
        break;
      case 'c': {
        char c = static_cast<char>(va_arg(rest, int));
        putPadded(sink, conversion, "", &c, 1);
        break;
      }
      case 's': {
        const char* s = va_arg(rest, const char*);
        if (s == nullptr) s = "(null)";
        putPadded(sink, conversion, "", s, boundedLength(s, conversion.precision));
        break;
      }
      case '%':
        sink.put("%", 1);
        break;
      default:
        understood = false;
        continue;
    }
    ++at;
  }
  va_end(rest);
  return understood;
}

bool formatArguments(char* destination, std::size_t capacity, const char* pattern,
                     va_list arguments) {
  BufferSink sink(destination, capacity);
  bool understood = formatTo(sink, pattern, arguments);
  return sink.finish() && understood && capacity > 0;
}

}  // namespace text
