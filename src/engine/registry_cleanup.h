// Removing the start-up registry values and the services that the worm's variants install.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// Runs the whole cleanup after an identification of `virusName`: the same fixed list of values
// and services whichever variant was found. Writes one ScanLog line naming `virusName` when
// anything was removed. Always returns 1.
int cleanWormRegistry(const char* virusName);

// 1 when the value `valueName` of `subkey` under `root` can be read into `buffer` (of `capacity`
// bytes), else 0. A value whose data do not fit still counts as present: it exists, and only its
// name matters here. `view` is 0 or one of the registry's views (platform::RegistryViews).
int registryValueExists(platform::Handle root, const char* subkey, const char* valueName,
                        void* buffer, std::size_t capacity, std::uint32_t view = 0);

// 1 when the value was deleted and its key closed again, else 0.
int deleteRegistryValue(platform::Handle root, const char* subkey, const char* valueName,
                        std::uint32_t view = 0);
