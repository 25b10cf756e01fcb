// Reading another process's memory and finding its environment block (PEB) through the NT
// family's native layer. What is read there is the process's own to write: callers treat it as
// a claim of that process, check every length and address before using it, and confirm what
// it names by other means.
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform::win32 {

// Reads exactly `size` bytes at `address` of `process` (open for memory reading); false on a
// short or failed read.
bool readProcessExactly(HANDLE process, std::uintptr_t address, void* destination, SIZE_T size);

// Reads one pointer-sized field at `address`; false (and 0) when it cannot be read.
bool readProcessPointer(HANDLE process, std::uintptr_t address, std::uintptr_t& value);

// The address of the environment block of `process` (open for query), as the system gives it;
// 0 when the native layer is missing or the query fails.
std::uintptr_t environmentBlockOf(HANDLE process);

// Where the fields of the environment block lie: the same layout on every NT version, with
// fields as wide as a pointer.
constexpr std::uintptr_t kImageBaseInBlock = 2 * sizeof(void*);
constexpr std::uintptr_t kParametersInBlock = 4 * sizeof(void*);

}  // namespace platform::win32
