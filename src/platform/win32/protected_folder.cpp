#include "platform/win32/protected_folder.h"

#include "platform/scoped_handle.h"
#include "platform/win32/runtime_library.h"
#include "platform/win32/windows_family.h"

namespace platform::win32 {
namespace {

// The security functions are the NT family's; they are looked up rather than imported, so that
// the program still starts on Windows 95. AddAccessAllowedAceEx and SetSecurityDescriptorControl
// came with Windows 2000; NT 4.0 does without them.
using AllocateSidFunction = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD,
                                          DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
using FreeSidFunction = PVOID(WINAPI*)(PSID);
using SidLengthFunction = DWORD(WINAPI*)(PSID);
using InitializeAclFunction = BOOL(WINAPI*)(PACL, DWORD, DWORD);
using AddAceFunction = BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID);
using AddAceWithFlagsFunction = BOOL(WINAPI*)(PACL, DWORD, DWORD, DWORD, PSID);
using GetAceFunction = BOOL(WINAPI*)(PACL, DWORD, LPVOID*);
using InitializeDescriptorFunction = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
using SetDaclFunction = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
using SetControlFunction = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL,
                                         SECURITY_DESCRIPTOR_CONTROL);

struct SecurityFunctions {
  AllocateSidFunction allocateSid;
  FreeSidFunction freeSid;
  SidLengthFunction sidLength;
  InitializeAclFunction initializeAcl;
  AddAceFunction addAce;
  AddAceWithFlagsFunction addAceWithFlags;
  GetAceFunction getAce;
  InitializeDescriptorFunction initializeDescriptor;
  SetDaclFunction setDacl;
  SetControlFunction setControl;

  // What this Windows must have: from Windows 2000 on the functions that came with it, on NT 4.0
  // the older way of giving an entry its flags.
  bool complete() const {
    bool common = allocateSid != nullptr && freeSid != nullptr && sidLength != nullptr &&
                  initializeAcl != nullptr && initializeDescriptor != nullptr && setDacl != nullptr;
    if (ntFamilyFrom2000()) return common && addAceWithFlags != nullptr && setControl != nullptr;
    return common && addAce != nullptr && getAce != nullptr;
  }
};

SecurityFunctions securityFunctions() {
  const RuntimeLibrary& library = advancedServicesLibrary();
  return {library.find<AllocateSidFunction>("AllocateAndInitializeSid"),
          library.find<FreeSidFunction>("FreeSid"),
          library.find<SidLengthFunction>("GetLengthSid"),
          library.find<InitializeAclFunction>("InitializeAcl"),
          library.find<AddAceFunction>("AddAccessAllowedAce"),
          library.find<AddAceWithFlagsFunction>("AddAccessAllowedAceEx"),
          library.find<GetAceFunction>("GetAce"),
          library.find<InitializeDescriptorFunction>("InitializeSecurityDescriptor"),
          library.find<SetDaclFunction>("SetSecurityDescriptorDacl"),
          library.find<SetControlFunction>("SetSecurityDescriptorControl")};
}

struct SidTraits {
  using Value = PSID;
  static Value none() { return nullptr; }
  static bool isValid(Value sid) { return sid != nullptr; }
  static void close(Value sid) {
    // Only allocated once FreeSid was found; looked up again here, as traits hold no state.
    auto freeSid = advancedServicesLibrary().find<FreeSidFunction>("FreeSid");
    if (freeSid != nullptr) freeSid(sid);
  }
};
using ScopedSid = ScopedHandle<SidTraits>;

ScopedSid wellKnownSid(const SecurityFunctions& functions, BYTE count, DWORD first, DWORD second) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!functions.allocateSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid)) return {};
  return ScopedSid(sid);
}

// Everything inside inherits the entry: files and folders, and what is made in those.
constexpr DWORD kInheritedBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

bool allowFullAccess(const SecurityFunctions& functions, PACL acl, PSID sid) {
  if (ntFamilyFrom2000()) {
    return functions.addAceWithFlags(acl, ACL_REVISION, kInheritedBelow, FILE_ALL_ACCESS, sid);
  }
  // NT 4.0 adds an entry without flags; they are set in its header. It is the ACL's last.
  if (!functions.addAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid)) return false;
  void* entry = nullptr;
  if (!functions.getAce(acl, acl->AceCount - 1, &entry)) return false;
  static_cast<ACE_HEADER*>(entry)->AceFlags |= kInheritedBelow;
  return true;
}

}  // namespace

AdministratorsOnlyDescriptor::AdministratorsOnlyDescriptor() {
  SecurityFunctions functions = securityFunctions();
  if (!ntFamily() || !functions.complete()) return;
  ScopedSid administrators =
      wellKnownSid(functions, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  ScopedSid system = wellKnownSid(functions, 1, SECURITY_LOCAL_SYSTEM_RID, 0);
  if (!administrators || !system) return;

  // The entries hold copies of the SIDs, which go at the end of this constructor.
  PACL acl = reinterpret_cast<PACL>(acl_);
  DWORD aclSize = sizeof(ACL);
  for (PSID sid : {administrators.get(), system.get()}) {
    aclSize += offsetof(ACCESS_ALLOWED_ACE, SidStart) + functions.sidLength(sid);
  }
  if (aclSize > sizeof acl_ || !functions.initializeAcl(acl, aclSize, ACL_REVISION) ||
      !allowFullAccess(functions, acl, administrators.get()) ||
      !allowFullAccess(functions, acl, system.get())) {
    return;
  }
  if (!functions.initializeDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !functions.setDacl(&descriptor_, TRUE, acl, FALSE)) {
    return;
  }
  // From Windows 2000 on, the parent's inheritable entries would otherwise join ours ("Users
  // may create files" in most folders). NT 4.0 merges nothing into a DACL given explicitly.
  if (ntFamilyFrom2000() &&
      !functions.setControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return;
  }
  valid_ = true;
}

bool createAdministratorsOnlyFolder(const char* path) {
  AdministratorsOnlyDescriptor descriptor;
  if (!descriptor.valid()) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
  // Fails on anything already at the path, link or folder alike: nothing found is taken over.
  return CreateDirectoryA(path, &attributes) != 0;
}

}  // namespace platform::win32
