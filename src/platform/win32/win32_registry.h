// The registry part of the seam on Windows: thin calls to the Win32 registry API.
#pragma once

#include "platform/registry.h"

namespace platform::win32 {

class Win32Registry : public Registry {
 public:
  long openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) override;
  long queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                  std::uint32_t* size) override;
  long deleteValue(Handle key, const char* name) override;
  long closeKey(Handle key) override;
  // Both views on 64-bit Windows, whichever build this is; one elsewhere.
  RegistryViews views() override;
};

}  // namespace platform::win32
