#include "platform/product_suite.h"

#include <cstring>

#include "platform/opened_key.h"

namespace platform {
namespace {

// Long enough for every suite a system lists; a longer value is not the list it should be.
constexpr std::uint32_t kMaxProductSuite = 512;

// Whether `names`, a list of zero-terminated names of `size` bytes as REG_MULTI_SZ holds it,
// has `wanted` among them. A last name without its zero still counts; nothing past `size` is
// looked at.
bool listNames(const char* names, std::uint32_t size, const char* wanted) {
  std::size_t wantedLength = std::strlen(wanted);
  std::uint32_t at = 0;
  while (at < size) {
    std::uint32_t end = at;
    while (end < size && names[end] != '\0') ++end;
    if (end - at == wantedLength && std::memcmp(names + at, wanted, wantedLength) == 0) {
      return true;
    }
    at = end + 1;
  }
  return false;
}

}  // namespace

TerminalServer readTerminalServer(Registry& registry, const char* productOptionsKey) {
  OpenedKey key(registry, productOptionsKey);
  if (!key.opened()) return TerminalServer::kUnknown;
  char suite[kMaxProductSuite];
  std::uint32_t type = 0;
  std::uint32_t size = sizeof suite;
  long result = registry.queryValue(key.get(), "ProductSuite", &type, suite, &size);
  if (result == kErrorFileNotFound) return TerminalServer::kNo;
  if (result != kErrorSuccess || type != kRegMultiSz || size > sizeof suite) {
    return TerminalServer::kUnknown;
  }
  return listNames(suite, size, "Terminal Server") ? TerminalServer::kYes : TerminalServer::kNo;
}

}  // namespace platform
