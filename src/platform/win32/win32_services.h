// The services part of the seam on Windows: thin calls to the service control manager.
#pragma once

#include "platform/services.h"

namespace platform::win32 {

class Win32Services : public Services {
 public:
  Handle openManager(std::uint32_t access) override;
  bool enumerateActive(Handle manager, void* buffer, std::uint32_t size, std::uint32_t& needed,
                       std::uint32_t& returned) override;
  Handle openService(Handle manager, const char* name, std::uint32_t access) override;
  bool queryBinaryPath(Handle service, char* path, std::size_t capacity) override;
  bool controlStop(Handle service, std::uint32_t& state) override;
  bool queryState(Handle service, std::uint32_t& state) override;
  bool deleteService(Handle service) override;
  bool closeHandle(Handle handle) override;
};

}  // namespace platform::win32
