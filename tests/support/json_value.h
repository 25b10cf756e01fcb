// A small, strict JSON parser for the tests: it reads a whole document (objects, arrays,
// strings with their escapes decoded to UTF-8, numbers, true, false, null) or says where it is
// not JSON, so that a test checks what the program wrote as any reader would read it.
#pragma once

#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testjson {

struct Value {
  enum class Kind { kNull, kBoolean, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> members;  // in document order

  const Value& operator[](const std::string& name) const {
    for (const auto& member : members) {
      if (member.first == name) return member.second;
    }
    throw std::out_of_range("no member " + name);
  }
  bool has(const std::string& name) const {
    for (const auto& member : members) {
      if (member.first == name) return true;
    }
    return false;
  }
};

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  // The document, or an exception naming the offset where it stops being JSON.
  Value document() {
    Value value = parseValue();
    skipBlanks();
    if (at_ != text_.size()) fail("text after the document");
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("not JSON at " + std::to_string(at_) + ": " + what);
  }
  void skipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  char peek() {
    skipBlanks();
    if (at_ >= text_.size()) fail("end of text");
    return text_[at_];
  }
  void expect(char c) {
    if (peek() != c) fail(std::string("expected ") + c);
    ++at_;
  }
  bool literal(const char* word) {
    std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  static void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  std::uint32_t hex4() {
    if (at_ + 4 > text_.size()) fail("short \\u escape");
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[at_++];
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        code |= c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        code |= c - 'A' + 10;
      } else {
        fail("bad \\u escape");
      }
    }
    return code;
  }
  std::string parseString() {
    expect('"');
    std::string out;
    while (true) {
      if (at_ >= text_.size()) fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return out;
      if (c < 0x20) fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) fail("unterminated escape");
      char e = text_[at_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t code = hex4();
          if (code >= 0xD800 && code <= 0xDBFF && literal("\\u")) {
            std::uint32_t low = hex4();
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          appendUtf8(out, code);
          break;
        }
        default:
          fail("unknown escape");
      }
    }
  }
  Value parseValue() {
    Value value;
    char c = peek();
    if (c == '{') {
      value.kind = Value::Kind::kObject;
      ++at_;
      if (peek() == '}') {
        ++at_;
        return value;
      }
      while (true) {
        std::string name = parseString();
        expect(':');
        value.members.emplace_back(name, parseValue());
        if (peek() == ',') {
          ++at_;
          continue;
        }
        expect('}');
        return value;
      }
    }
    if (c == '[') {
      value.kind = Value::Kind::kArray;
      ++at_;
      if (peek() == ']') {
        ++at_;
        return value;
      }
      while (true) {
        value.items.push_back(parseValue());
        if (peek() == ',') {
          ++at_;
          continue;
        }
        expect(']');
        return value;
      }
    }
    if (c == '"') {
      value.kind = Value::Kind::kString;
      value.text = parseString();
      return value;
    }
    if (literal("true") || literal("false")) {
      value.kind = Value::Kind::kBoolean;
      value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
      return value;
    }
    if (literal("null")) return value;
    std::size_t start = at_;
    if (text_[at_] == '-') ++at_;
    while (at_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[at_])) || text_[at_] == '.' ||
            text_[at_] == 'e' || text_[at_] == 'E' || text_[at_] == '+' || text_[at_] == '-')) {
      ++at_;
    }
    if (at_ == start) fail("unexpected character");
    value.kind = Value::Kind::kNumber;
    value.number = std::stod(text_.substr(start, at_ - start));
    return value;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

inline Value parse(const std::string& text) { return Parser(text).document(); }

}  // namespace testjson
