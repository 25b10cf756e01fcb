#include "platform/offline/name_mask.h"

#include <cstring>
#include <string>

namespace platform::offline {
namespace {

bool sameLetter(char a, char b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return lower(a) == lower(b);
}

// Matches without recursion: on a mismatch the last '*' takes one more character. The names
// come from the disk, so no name may make the match take more than length times length steps.
bool matchesWildcard(const char* mask, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*mask == '*') {
      star = mask++;
      resume = name;
    } else if (*mask != '\0' && (*mask == '?' || sameLetter(*mask, *name))) {
      ++mask;
      ++name;
    } else if (star != nullptr) {
      mask = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

}  // namespace

bool matchesEveryName(const char* mask) {
  return std::strcmp(mask, "*") == 0 || std::strcmp(mask, "*.*") == 0;
}

bool matchesMask(const char* mask, const char* name) {
  if (matchesEveryName(mask) || matchesWildcard(mask, name)) return true;
  std::size_t length = std::strlen(mask);
  if (length < 2 || std::strcmp(mask + length - 2, ".*") != 0) return false;
  if (std::strchr(name, '.') != nullptr) return false;
  return matchesWildcard(std::string(mask, length - 2).c_str(), name);
}

}  // namespace platform::offline
