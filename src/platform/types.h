// The few Windows types and constants that the portable code needs, without <windows.h>.
// Values are those of the Win32 API, so the Win32 implementation passes them through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Every resource crosses the seam as an opaque handle; 0 means "none" (the Win32 implementation
// maps INVALID_HANDLE_VALUE to 0 so that callers test one value).
using Handle = std::uintptr_t;
constexpr Handle kNoHandle = 0;

using WindowHandle = std::uintptr_t;
using ProcessId = std::uint32_t;

// Text limits shared by every part. Windows measures a path in UTF-16 units, kMaxPath of them
// with the terminating zero. The portable code holds a path as bytes of the system's text,
// kPathBytes at most: on Windows one byte of the code page a unit; offline (a Windows
// installation mounted on Linux) UTF-8, up to three bytes a unit. A log line holds such a path
// and the words around it.
constexpr std::size_t kMaxPath = 260;
#if defined(_WIN32)
constexpr std::size_t kPathBytes = kMaxPath;
#else
constexpr std::size_t kPathBytes = 3 * (kMaxPath - 1) + 1;
#endif
constexpr std::size_t kMaxLogLine = kPathBytes + 240;

// File attributes.
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeSystem = 0x04;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// Window messages and keys the scan uses.
constexpr std::uint32_t kMessageDestroy = 0x0002;
constexpr std::uint32_t kMessageClose = 0x0010;
constexpr std::uint32_t kMessageQuit = 0x0012;
constexpr std::uint32_t kMessageKeyDown = 0x0100;
constexpr std::uint32_t kMessageKeyUp = 0x0101;
constexpr std::uint32_t kMessageChar = 0x0102;
constexpr std::uint32_t kMessageSysKeyDown = 0x0104;
constexpr std::uint32_t kMessageKeyFirst = 0x0100;  // the keyboard's messages, first and last
constexpr std::uint32_t kMessageKeyLast = 0x0109;
constexpr std::uint32_t kMessageTimer = 0x0113;
constexpr std::uint32_t kMessageLeftButtonDown = 0x0201;
constexpr std::uint32_t kKeyEscape = 27;

// Message box styles and answers.
constexpr std::uint32_t kBoxOk = 0x00;
constexpr std::uint32_t kBoxOkCancel = 0x01;
constexpr std::uint32_t kBoxYesNo = 0x04;
constexpr std::uint32_t kBoxIconInformation = 0x40;
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

}  // namespace platform
