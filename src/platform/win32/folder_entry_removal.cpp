#include "platform/win32/folder_entry_removal.h"

#include <cstddef>
#include <cstdint>

#include "common/heap_array.h"
#include "platform/folder_security.h"
#include "platform/scoped_handle.h"
#include "platform/win32/file_system_redirection.h"
#include "platform/win32/native_layer.h"
#include "platform/win32/open_file_identity.h"
#include "platform/win32/runtime_library.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_family.h"

namespace platform::win32 {
namespace {

// A handle of a file, folder or token, closed with CloseHandle.
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value none() { return INVALID_HANDLE_VALUE; }
  static bool isValid(Value value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static void close(Value value) { closePreservingError(value, CloseHandle); }
};
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;

// FILE_FS_ATTRIBUTE_INFORMATION, with room for any file system's name.
struct VolumeAttributes {
  ULONG attributes;
  LONG longestName;
  ULONG nameLength;
  WCHAR name[64];
};
constexpr ULONG kFileFsAttributeInformation = 5;
constexpr ULONG kPersistentAccessLists = 0x00000008;
using QueryVolumeFunction = LONG(WINAPI*)(HANDLE, native::IoStatus*, void*, ULONG, ULONG);

enum class AccessLists { kKept, kNone, kUnknown };

// Asked of the open folder, not of a drive letter that could name another volume by now.
AccessLists volumeAccessLists(HANDLE folder) {
  auto query = nativeLibrary().find<QueryVolumeFunction>("NtQueryVolumeInformationFile");
  if (query == nullptr) return AccessLists::kUnknown;
  VolumeAttributes volume = {};
  native::IoStatus io = {};
  if (!native::succeeded(query(folder, &io, &volume, sizeof volume, kFileFsAttributeInformation))) {
    return AccessLists::kUnknown;
  }
  return (volume.attributes & kPersistentAccessLists) != 0 ? AccessLists::kKept
                                                           : AccessLists::kNone;
}

// The longest SID: its header and fifteen parts.
constexpr std::size_t kLargestSid = 8 + 15 * 4;

// TOKEN_USER and the SID it points into, which the system places right after it.
union OwnAccountAnswer {
  TOKEN_USER user;
  BYTE bytes[sizeof(TOKEN_USER) + kLargestSid];
};

using OpenTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using TokenInformationFunction = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                               PDWORD);
using KernelObjectSecurityFunction = BOOL(WINAPI*)(HANDLE, SECURITY_INFORMATION,
                                                   PSECURITY_DESCRIPTOR, DWORD, LPDWORD);

// The account this program runs as; empty when it cannot be had.
AccountSid ownAccount(OwnAccountAnswer& answer) {
  const RuntimeLibrary& library = advancedServicesLibrary();
  auto openToken = library.find<OpenTokenFunction>("OpenProcessToken");
  auto tokenInformation = library.find<TokenInformationFunction>("GetTokenInformation");
  HANDLE opened = nullptr;
  if (openToken == nullptr || tokenInformation == nullptr ||
      !openToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) {
    return {};
  }
  ScopedKernelHandle token(opened);
  DWORD used = 0;
  if (!tokenInformation(token.get(), TokenUser, &answer, sizeof answer, &used)) return {};
  const auto* sid = static_cast<const std::uint8_t*>(answer.user.User.Sid);
  const BYTE* end = answer.bytes + sizeof answer.bytes;
  // Its length is read from its own count of parts; the reading of the descriptor checks it.
  if (sid < answer.bytes || sid + 8 > end || sid + 8 + 4u * sid[1] > end) return {};
  return {sid, 8 + 4u * sid[1]};
}

// A descriptor holds an owner, a group and access lists of at most 64 KiB each.
constexpr DWORD kLargestDescriptor = 256 * 1024;
constexpr SECURITY_INFORMATION kOwnerAndAccessList =
    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

EntryRemoval judgeDescriptor(HANDLE folder) {
  auto readSecurity =
      advancedServicesLibrary().find<KernelObjectSecurityFunction>("GetKernelObjectSecurity");
  if (readSecurity == nullptr) return EntryRemoval::kUnknown;
  OwnAccountAnswer answer = {};
  AccountSid account = ownAccount(answer);

  // Most descriptors fit here; a larger one is read again into room of its size.
  DWORD small[256] = {};
  DWORD needed = 0;
  if (readSecurity(folder, kOwnerAndAccessList, small, sizeof small, &needed)) {
    return entryRemovalFromDescriptor(reinterpret_cast<const std::uint8_t*>(small), sizeof small,
                                      account);
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0 || needed > kLargestDescriptor) {
    return EntryRemoval::kUnknown;
  }
  HeapArray<std::uint8_t> large(needed);
  DWORD again = 0;
  if (!large || !readSecurity(folder, kOwnerAndAccessList, large.data(), needed, &again)) {
    return EntryRemoval::kUnknown;
  }
  return entryRemovalFromDescriptor(large.data(), large.size(), account);
}

}  // namespace

EntryRemoval folderEntryRemoval(const char* folder) {
  if (!ntFamily()) return EntryRemoval::kNoAccessLists;
  // Only the rights to read its attributes (what it is) and its owner and access list; shared
  // with everyone, so that the question disturbs nobody. A folder opens only with backup
  // semantics, which without the privilege enabled gives no right beyond those asked for.
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (ntFamilyFrom2000()) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  ScopedKernelHandle opened;
  {
    RealFileNames realNames;
    opened.reset(CreateFileA(folder, READ_CONTROL | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, flags, nullptr));
  }
  FileIdentity identity;
  if (!opened || !describeOpenFile(opened.get(), identity) ||
      (identity.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (identity.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return EntryRemoval::kUnknown;
  }
  switch (volumeAccessLists(opened.get())) {
    case AccessLists::kNone:
      return EntryRemoval::kNoAccessLists;
    case AccessLists::kUnknown:
      return EntryRemoval::kUnknown;
    case AccessLists::kKept:
      break;
  }
  return judgeDescriptor(opened.get());
}

}  // namespace platform::win32
