// Registry: keys under the predefined roots, values, and the performance data block.
#pragma once

#include <cstdint>

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

// Predefined roots, with their Win32 values so that the Win32 implementation passes them on.
constexpr Handle kRootCurrentUser = 0x80000001;
constexpr Handle kRootLocalMachine = 0x80000002;
constexpr Handle kRootUsers = 0x80000003;
constexpr Handle kRootPerformanceData = 0x80000004;

// The name the system gives a predefined root ("HKEY_LOCAL_MACHINE", ...), or null for a handle
// that is no root.
inline const char* rootName(Handle root) {
  switch (root) {
    case kRootCurrentUser:
      return "HKEY_CURRENT_USER";
    case kRootLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kRootUsers:
      return "HKEY_USERS";
    case kRootPerformanceData:
      return "HKEY_PERFORMANCE_DATA";
    default:
      return nullptr;
  }
}

// Access rights for opening a key.
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeySetValue = 0x0002;  // part of kKeyAllAccess; needed to delete a value

// On 64-bit Windows, HKEY_LOCAL_MACHINE\Software has two views, one for 64-bit programs and one
// for 32-bit programs, each with its own start-up values; one of these added to the access names
// the view to open. Systems without 64-bit editions reject them.
constexpr std::uint32_t kKeyView64 = 0x0100;
constexpr std::uint32_t kKeyView32 = 0x0200;

// The views a key can be opened in: the access to add for each. A system with one view has one
// entry, 0.
struct RegistryViews {
  std::uint32_t access[2] = {0, 0};
  int count = 1;
};

// Win32 error codes the logic tells apart.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;

// Value types.
constexpr std::uint32_t kRegSz = 1, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;

// Every method returns kErrorSuccess or a Win32 error code, and touches its out-parameters only
// as the comment says.
class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA: on kErrorSuccess `key` holds the opened key; otherwise `key` is untouched.
  // kErrorFileNotFound when the key does not exist, kErrorAccessDenied when it may not be opened
  // with `access`.
  virtual long openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) = 0;

  // RegQueryValueExA on an open key or a root (kRootPerformanceData included). `type` and `data`
  // may be null; `size` is in/out as the API's: with data null it receives the size needed; with
  // a buffer too small the result is kErrorMoreData (and `size` the size needed). For
  // kRootPerformanceData the size after kErrorMoreData is not to be relied on: the system leaves
  // it undefined there, so a reader grows its buffer by its own rule.
  virtual long queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                          std::uint32_t* size) = 0;

  // RegDeleteValueA: the key must have been opened with kKeySetValue among its rights.
  virtual long deleteValue(Handle key, const char* name) = 0;

  // RegCloseKey. Closing a predefined root is allowed and is not a leak (it is how the
  // performance data are released).
  virtual long closeKey(Handle key) = 0;

  // The views of the registry this system has (see RegistryViews).
  virtual RegistryViews views() { return RegistryViews(); }
};

Registry& registry();

inline void closeKeyHandle(Handle handle) { registry().closeKey(handle); }
using ScopedKey = ScopedSeamHandle<closeKeyHandle>;

}  // namespace platform
