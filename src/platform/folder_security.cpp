#include "platform/folder_security.h"

#include <cstring>

#include "common/little_endian.h"

namespace platform {
namespace {

// The self-relative descriptor: revision, padding, control, then the offsets of owner, group,
// system list and access list from its start.
constexpr std::size_t kDescriptorHeader = 20;
constexpr std::size_t kOwnerOffsetAt = 4;
constexpr std::size_t kAccessListOffsetAt = 16;
constexpr std::uint16_t kAccessListPresent = 0x0004;
constexpr std::uint16_t kSelfRelative = 0x8000;

// An access list: revision, padding, its size, its entry count, padding; then the entries.
constexpr std::size_t kAccessListHeader = 8;
// An entry: type, flags, size; an allowing entry then has its rights and its SID.
constexpr std::size_t kEntryHeader = 4;
constexpr std::size_t kAllowedEntrySidAt = 8;

constexpr std::uint8_t kAccessAllowed = 0;
constexpr std::uint8_t kAccessDenied = 1;
constexpr std::uint8_t kAccessDeniedObject = 6;
constexpr std::uint8_t kAccessDeniedCallback = 10;
constexpr std::uint8_t kAccessDeniedCallbackObject = 12;
// An entry only handed down to what is made in the folder: it grants nothing on the folder.
constexpr std::uint8_t kInheritOnly = 0x08;

// What lets a holder remove the folder's entries, or give itself that right: deleting entries,
// changing the access list or the owner, and the generic rights that stand for all of it or for
// every kind of writing (counted here whatever the file system maps them to).
constexpr std::uint32_t kDeleteChild = 0x00000040;
constexpr std::uint32_t kWriteAccessList = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kRemovalRights =
    kDeleteChild | kWriteAccessList | kWriteOwner | kGenericAll | kGenericWrite;

// SIDs in binary form: revision, count of parts, the six-byte authority, the parts.
constexpr std::size_t kSidHeader = 8;
constexpr std::uint8_t kMostSidParts = 15;
constexpr std::uint8_t kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
constexpr std::uint8_t kSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
// The service that installs the system's own files from Windows Vista on; it owns the Windows
// folder there, and only the system runs as it.
constexpr std::uint8_t kTrustedInstaller[] = {
    1,    6,    0,    0,    0,    0,    0,    5,    80,   0,    0,    0,    0xb5, 0x89, 0xfb, 0x38,
    0x19, 0x84, 0xc2, 0xcb, 0x5c, 0x6c, 0x23, 0x6d, 0x57, 0x00, 0x77, 0x6e, 0xc0, 0x02, 0x64, 0x87};
// Placeholders for whoever makes an entry inside: on the folder itself they match no one.
constexpr std::uint8_t kCreatorOwner[] = {1, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0};
constexpr std::uint8_t kCreatorGroup[] = {1, 1, 0, 0, 0, 0, 0, 3, 1, 0, 0, 0};

// The length of the SID at `sid`, with `room` bytes left before the end of what holds it; 0
// when it is not a SID or does not fit.
std::size_t sidLength(const std::uint8_t* sid, std::size_t room) {
  if (room < kSidHeader || sid[0] != 1 || sid[1] > kMostSidParts) return 0;
  std::size_t length = kSidHeader + 4u * sid[1];
  return length <= room ? length : 0;
}

template <std::size_t N>
bool isSid(const std::uint8_t* sid, std::size_t length, const std::uint8_t (&known)[N]) {
  return length == N && std::memcmp(sid, known, N) == 0;
}

bool trusted(const std::uint8_t* sid, std::size_t length, AccountSid ownAccount) {
  if (isSid(sid, length, kAdministrators) || isSid(sid, length, kSystem) ||
      isSid(sid, length, kTrustedInstaller)) {
    return true;
  }
  // What the program's own account could do to the folder, it could do to the file anyway.
  return ownAccount.bytes != nullptr && ownAccount.length == length &&
         std::memcmp(sid, ownAccount.bytes, length) == 0;
}

bool deniesOnly(std::uint8_t type) {
  return type == kAccessDenied || type == kAccessDeniedObject || type == kAccessDeniedCallback ||
         type == kAccessDeniedCallbackObject;
}

// Reads one entry of `size` bytes at `entry`: kAdministratorsOnly when it lets no one untrusted
// remove entries of the folder itself.
EntryRemoval judgeEntry(const std::uint8_t* entry, std::size_t size, AccountSid ownAccount) {
  std::uint8_t type = entry[0];
  std::uint8_t flags = entry[1];
  if ((flags & kInheritOnly) != 0) return EntryRemoval::kAdministratorsOnly;
  // A denial only takes rights away: passing over it can only make the answer stricter.
  if (deniesOnly(type)) return EntryRemoval::kAdministratorsOnly;
  if (type != kAccessAllowed || size < kAllowedEntrySidAt) return EntryRemoval::kUnknown;
  std::uint32_t rights = bytes::littleEndian32(entry + kEntryHeader);
  const std::uint8_t* sid = entry + kAllowedEntrySidAt;
  std::size_t length = sidLength(sid, size - kAllowedEntrySidAt);
  if (length == 0) return EntryRemoval::kUnknown;
  if ((rights & kRemovalRights) == 0 || trusted(sid, length, ownAccount) ||
      isSid(sid, length, kCreatorOwner) || isSid(sid, length, kCreatorGroup)) {
    return EntryRemoval::kAdministratorsOnly;
  }
  return EntryRemoval::kOthers;
}

EntryRemoval judgeAccessList(const std::uint8_t* list, std::size_t room, AccountSid ownAccount) {
  if (room < kAccessListHeader) return EntryRemoval::kUnknown;
  std::size_t size = bytes::littleEndian16(list + 2);
  std::size_t count = bytes::littleEndian16(list + 4);
  if ((list[0] != 2 && list[0] != 4) || size < kAccessListHeader || size > room) {
    return EntryRemoval::kUnknown;
  }
  std::size_t at = kAccessListHeader;
  for (std::size_t i = 0; i < count; ++i) {
    if (size - at < kEntryHeader) return EntryRemoval::kUnknown;
    std::size_t entrySize = bytes::littleEndian16(list + at + 2);
    if (entrySize < kEntryHeader || entrySize > size - at) return EntryRemoval::kUnknown;
    EntryRemoval verdict = judgeEntry(list + at, entrySize, ownAccount);
    if (verdict != EntryRemoval::kAdministratorsOnly) return verdict;
    at += entrySize;
  }
  return EntryRemoval::kAdministratorsOnly;
}

}  // namespace

EntryRemoval entryRemovalFromDescriptor(const std::uint8_t* descriptor, std::size_t length,
                                        AccountSid ownAccount) {
  if (descriptor == nullptr || length < kDescriptorHeader || descriptor[0] != 1) {
    return EntryRemoval::kUnknown;
  }
  std::uint16_t control = bytes::littleEndian16(descriptor + 2);
  if ((control & kSelfRelative) == 0) return EntryRemoval::kUnknown;

  // The owner may always rewrite the access list, whatever it says.
  std::uint32_t ownerAt = bytes::littleEndian32(descriptor + kOwnerOffsetAt);
  if (ownerAt < kDescriptorHeader || ownerAt >= length) return EntryRemoval::kUnknown;
  std::size_t ownerLength = sidLength(descriptor + ownerAt, length - ownerAt);
  if (ownerLength == 0) return EntryRemoval::kUnknown;
  if (!trusted(descriptor + ownerAt, ownerLength, ownAccount)) return EntryRemoval::kOthers;

  // No access list lets everyone do everything.
  std::uint32_t listAt = bytes::littleEndian32(descriptor + kAccessListOffsetAt);
  if ((control & kAccessListPresent) == 0 || listAt == 0) return EntryRemoval::kOthers;
  if (listAt < kDescriptorHeader || listAt >= length) return EntryRemoval::kUnknown;
  return judgeAccessList(descriptor + listAt, length - listAt, ownAccount);
}

}  // namespace platform
