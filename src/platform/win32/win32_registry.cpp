#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "platform/win32/file_system_redirection.h"

namespace platform::win32 {
namespace {

// The seam's roots carry the predefined keys' own values, so a key converts either way.
HKEY toKey(Handle key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long Win32Registry::openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) {
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExA(toKey(root), subkey, 0, access, &opened);
  if (result == ERROR_SUCCESS) key = reinterpret_cast<Handle>(opened);
  return result;
}

long Win32Registry::queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                               std::uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = size != nullptr ? *size : 0;
  LONG result = RegQueryValueExA(toKey(key), name, nullptr, type != nullptr ? &valueType : nullptr,
                                 static_cast<BYTE*>(data), size != nullptr ? &valueSize : nullptr);
  if (type != nullptr && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA)) *type = valueType;
  if (size != nullptr) *size = valueSize;
  return result;
}

long Win32Registry::deleteValue(Handle key, const char* name) {
  return RegDeleteValueA(toKey(key), name);
}

long Win32Registry::closeKey(Handle key) { return RegCloseKey(toKey(key)); }

RegistryViews Win32Registry::views() {
  RegistryViews views;
  if (!sixtyFourBitWindows()) return views;
  views.access[0] = kKeyView64;
  views.access[1] = kKeyView32;
  views.count = 2;
  return views;
}

}  // namespace platform::win32
