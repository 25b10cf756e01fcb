// Fitting a path into the status line.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies `source` into `destination` (of `capacity` bytes), keeping it whole when it has at most
// `maxLength` characters and otherwise keeping its first and last (maxLength / 2 - 1)
// characters with dots between, exactly `maxLength` characters in all. `maxLength` is at most 100.
void shortenPathForDisplay(const char* source, char* destination, std::size_t capacity,
                           std::int16_t maxLength);
