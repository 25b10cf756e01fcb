// A new folder that only administrators and the system may change.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform::win32 {

// The security descriptor of such a folder: an access list of two entries, full access for the
// Administrators group and for the system, which everything made inside the folder inherits and
// which takes in nothing the parent folder passes down. Built whole or not at all; the 95/98/Me
// family, which has no access lists, never has one.
class AdministratorsOnlyDescriptor {
 public:
  AdministratorsOnlyDescriptor();
  AdministratorsOnlyDescriptor(const AdministratorsOnlyDescriptor&) = delete;
  AdministratorsOnlyDescriptor& operator=(const AdministratorsOnlyDescriptor&) = delete;

  bool valid() const { return valid_; }
  // Points into this object, which must outlive every use of it.
  PSECURITY_DESCRIPTOR get() { return valid_ ? &descriptor_ : nullptr; }

 private:
  // Room for the list's header and two entries of the longest SID (fifteen parts).
  static constexpr std::size_t kAclRoom = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + 68);

  DWORD acl_[kAclRoom / sizeof(DWORD) + 1];
  SECURITY_DESCRIPTOR descriptor_;
  bool valid_ = false;
};

// Creates `path` with that descriptor. False when the path exists (the folder is then someone
// else's and keeps its own access list), when the folder cannot be made, and when the
// descriptor cannot be had.
bool createAdministratorsOnlyFolder(const char* path);

}  // namespace platform::win32
