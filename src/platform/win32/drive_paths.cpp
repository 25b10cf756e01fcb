#include "platform/win32/drive_paths.h"

namespace platform::win32 {
namespace {

constexpr WCHAR kDosDevices[] = L"\\??\\";
constexpr std::size_t kDosDevicesLength = 4;

bool isDriveLetter(WCHAR c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

WCHAR upperAscii(WCHAR c) { return (c >= L'a' && c <= L'z') ? static_cast<WCHAR>(c - 32) : c; }

// Device names are ASCII and compare without regard to case, as the object manager looks
// them up.
bool startsWith(const WCHAR* name, std::size_t length, const WCHAR* prefix,
                std::size_t prefixLength) {
  if (prefixLength > length) return false;
  for (std::size_t i = 0; i < prefixLength; ++i) {
    if (upperAscii(name[i]) != upperAscii(prefix[i])) return false;
  }
  return true;
}

// "X:" followed by `rest` (which begins with a backslash).
bool joinDrive(WCHAR letter, const WCHAR* rest, std::size_t restLength, WCHAR* path,
               std::size_t capacity) {
  if (restLength == 0 || rest[0] != L'\\' || restLength + 3 > capacity) return false;
  path[0] = letter;
  path[1] = L':';
  for (std::size_t i = 0; i < restLength; ++i) path[2 + i] = rest[i];
  path[2 + restLength] = L'\0';
  return true;
}

// The first text of what QueryDosDevice answers for `drive` (the device it stands for now);
// its length, or 0 when the letter stands for nothing.
std::size_t deviceOf(const WCHAR* drive, WCHAR* device, DWORD capacity) {
  DWORD answered = QueryDosDeviceW(drive, device, capacity);
  if (answered == 0 || answered > capacity) return 0;
  std::size_t length = 0;
  while (length < answered && device[length] != L'\0') ++length;
  return length < answered ? length : 0;
}

}  // namespace

bool drivePathOf(const WCHAR* name, std::size_t length, WCHAR* path, std::size_t capacity) {
  if (capacity == 0) return false;
  path[0] = L'\0';
  if (startsWith(name, length, kDosDevices, kDosDevicesLength)) {
    const WCHAR* drive = name + kDosDevicesLength;
    std::size_t rest = length - kDosDevicesLength;
    return rest >= 3 && isDriveLetter(drive[0]) && drive[1] == L':' &&
           joinDrive(drive[0], drive + 2, rest - 2, path, capacity);
  }
  WCHAR drive[3] = {L'A', L':', L'\0'};
  WCHAR device[MAX_PATH];
  for (WCHAR letter = L'A'; letter <= L'Z'; ++letter) {
    drive[0] = letter;
    std::size_t deviceLength = deviceOf(drive, device, MAX_PATH);
    // The device must end where a folder of the name begins: "\Device\HarddiskVolume1" is not
    // the head of "\Device\HarddiskVolume10\...".
    if (deviceLength == 0 || deviceLength >= length || name[deviceLength] != L'\\' ||
        !startsWith(name, length, device, deviceLength)) {
      continue;
    }
    return joinDrive(letter, name + deviceLength, length - deviceLength, path, capacity);
  }
  return false;
}

}  // namespace platform::win32
