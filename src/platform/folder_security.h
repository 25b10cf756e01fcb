// Reading a folder's security descriptor for one question: may anyone but the administrators,
// the system and this program's own account delete or rename what lies in the folder?
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"

namespace platform {

// The SID of the account this program runs as, in the system's binary form; empty when it is
// not known (no entry is then trusted for being that account's).
struct AccountSid {
  const std::uint8_t* bytes = nullptr;
  std::size_t length = 0;
};

// Decides from a self-relative security descriptor (as the system hands out a folder's owner and
// access list) who may remove entries of that folder. kAdministratorsOnly only when the owner is
// trusted and no entry that applies to the folder itself allows anyone else to delete its
// entries, to change its access list or owner, or everything or every kind of writing; kOthers
// when one does, or when there is no access list at all (everyone may do anything); kUnknown when
// the bytes are not a descriptor this reading can vouch for (damaged, cut short, no owner, or an
// entry of a kind it does not know).
EntryRemoval entryRemovalFromDescriptor(const std::uint8_t* descriptor, std::size_t length,
                                        AccountSid ownAccount);

}  // namespace platform
