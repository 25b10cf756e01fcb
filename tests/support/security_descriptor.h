// Builds security descriptors as the system hands them out (self-relative: a header, then the
// owner's SID and the access list at the offsets it gives), laid out by hand from the published
// structures, for the tests of who may remove a folder's entries.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace security {

inline void put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>(value >> 8));
}

inline void put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

// A SID: revision 1, its authority, its parts.
inline std::string sid(std::uint8_t authority, std::initializer_list<std::uint32_t> parts) {
  std::string out;
  out.push_back(1);
  out.push_back(static_cast<char>(parts.size()));
  out.append(5, '\0');
  out.push_back(static_cast<char>(authority));
  for (std::uint32_t part : parts) put32(out, part);
  return out;
}

inline const std::string kAdministrators = sid(5, {32, 544});
inline const std::string kSystem = sid(5, {18});
inline const std::string kUsers = sid(5, {32, 545});
inline const std::string kPowerUsers = sid(5, {32, 547});
inline const std::string kAuthenticatedUsers = sid(5, {11});
inline const std::string kEveryone = sid(1, {0});
inline const std::string kCreatorOwner = sid(3, {0});
inline const std::string kTrustedInstaller =
    sid(5, {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464});
inline const std::string kSomeUser = sid(5, {21, 1004336348, 1177238915, 682003330, 1003});

// Rights as folders' access lists hold them.
constexpr std::uint32_t kFullControl = 0x001f01ff;
constexpr std::uint32_t kReadAndExecute = 0x001200a9;
// Read, write, execute and delete: NT 4.0's "Change", and "Modify" later.
constexpr std::uint32_t kChange = 0x001301bf;
constexpr std::uint32_t kAppendData = 0x00000004;
constexpr std::uint32_t kDeleteChild = 0x00000040;
constexpr std::uint32_t kWriteAccessList = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;

constexpr std::uint8_t kAllowed = 0;
constexpr std::uint8_t kDenied = 1;
constexpr std::uint8_t kAllowedObject = 5;

constexpr std::uint8_t kObjectInherit = 0x01;
constexpr std::uint8_t kContainerInherit = 0x02;
constexpr std::uint8_t kInheritOnly = 0x08;

struct Entry {
  std::string sid;
  std::uint32_t rights;
  std::uint8_t flags = kObjectInherit | kContainerInherit;
  std::uint8_t type = kAllowed;
};

inline std::string accessList(const std::vector<Entry>& entries) {
  std::string body;
  for (const Entry& entry : entries) {
    body.push_back(static_cast<char>(entry.type));
    body.push_back(static_cast<char>(entry.flags));
    put16(body, static_cast<std::uint16_t>(8 + entry.sid.size()));
    put32(body, entry.rights);
    body += entry.sid;
  }
  std::string list;
  list.push_back(2);
  list.push_back(0);
  put16(list, static_cast<std::uint16_t>(8 + body.size()));
  put16(list, static_cast<std::uint16_t>(entries.size()));
  put16(list, 0);
  return list + body;
}

constexpr std::uint16_t kAccessListPresent = 0x0004;
constexpr std::uint16_t kSelfRelative = 0x8000;

// The owner, then the access list; without `withList`, a descriptor that has none (everyone may
// do everything).
inline std::string descriptor(const std::string& owner, const std::vector<Entry>& entries,
                              bool withList = true) {
  std::string out;
  out.push_back(1);
  out.push_back(0);
  put16(out, static_cast<std::uint16_t>(kSelfRelative | (withList ? kAccessListPresent : 0)));
  put32(out, 20);  // the owner follows the header
  put32(out, 0);   // no group
  put32(out, 0);   // no system list
  put32(out, withList ? static_cast<std::uint32_t>(20 + owner.size()) : 0);
  out += owner;
  if (withList) out += accessList(entries);
  return out;
}

// What the system gives a volume's root from Windows XP on.
inline std::string rootFromXp() {
  return descriptor(kAdministrators, {{kAdministrators, kFullControl},
                                      {kSystem, kFullControl},
                                      {kCreatorOwner, kGenericAll,
                                       kObjectInherit | kContainerInherit | kInheritOnly},
                                      {kUsers, kReadAndExecute},
                                      {kUsers, kAppendData, kContainerInherit},
                                      {kEveryone, kReadAndExecute, 0}});
}

// What NT 4.0 and Windows 2000 give a volume's root: everyone may do everything.
inline std::string rootOfNt4And2000() {
  return descriptor(kAdministrators, {{kEveryone, kFullControl}});
}

}  // namespace security
