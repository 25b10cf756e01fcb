// Declarations of the NT family's native layer that the Windows 95/NT 4.0 headers we build
// against do not have. Layouts are the system's own and the same from NT 4.0 on; the functions
// are looked up in nativeLibrary() by name.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform::win32::native {

// UNICODE_STRING: a length in bytes (without a terminating zero), a capacity, and the text.
struct CountedText {
  USHORT length;
  USHORT capacity;
  WCHAR* text;
};

// OBJECT_ATTRIBUTES: the name of what a native open looks up.
struct ObjectAttributes {
  ULONG length;
  HANDLE rootDirectory;
  CountedText* name;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};
constexpr ULONG kCaseInsensitive = 0x40;

// IO_STATUS_BLOCK.
struct IoStatus {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};

// Options of a native open.
constexpr ULONG kSynchronousNonAlertable = 0x00000020;
constexpr ULONG kNonDirectoryFile = 0x00000040;
// Windows 2000 and later; NT 4.0 rejects it.
constexpr ULONG kOpenReparsePoint = 0x00200000;

// Information classes.
constexpr int kProcessBasicInformation = 0;
constexpr int kObjectNameInformation = 1;
constexpr int kMemoryMappedFileName = 2;

using QueryProcessFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using QueryVirtualMemoryFunction = LONG(WINAPI*)(HANDLE, void*, int, void*, SIZE_T, SIZE_T*);
using QueryObjectFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using OpenFileFunction = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, IoStatus*, ULONG,
                                       ULONG);

inline bool succeeded(LONG status) { return status >= 0; }

}  // namespace platform::win32::native
