// Who may remove a folder's entries, read from its security descriptor: the access lists that
// the system gives its folders, the ones a hostile user or a careless administrator leaves, and
// descriptors damaged or of kinds the reading does not know, which it never vouches for.
#include <gtest/gtest.h>

#include "platform/folder_security.h"
#include "support/security_descriptor.h"

namespace {

using platform::EntryRemoval;
using namespace security;

EntryRemoval judge(const std::string& descriptor, const std::string& own = {}) {
  return platform::entryRemovalFromDescriptor(
      reinterpret_cast<const std::uint8_t*>(descriptor.data()), descriptor.size(),
      {own.empty() ? nullptr : reinterpret_cast<const std::uint8_t*>(own.data()), own.size()});
}

struct Case {
  const char* what;
  std::string descriptor;
  EntryRemoval expected;
};

TEST(FolderSecurityTest, OnlyTheAdministratorsAndTheSystemMayBeAbleToRemoveEntries) {
  const std::vector<Case> cases = {
      {"a root from Windows XP on", rootFromXp(), EntryRemoval::kAdministratorsOnly},
      {"a root of NT 4.0 and 2000", rootOfNt4And2000(), EntryRemoval::kOthers},
      // NT 4.0's Windows folder: everyone may change files, but not delete others' entries;
      // its creator-owner entry matches no one on the folder itself.
      {"NT 4.0's Windows folder",
       descriptor(kAdministrators, {{kAdministrators, kFullControl},
                                    {kCreatorOwner, kFullControl},
                                    {kEveryone, kChange},
                                    {kSystem, kFullControl}}),
       EntryRemoval::kAdministratorsOnly},
      {"the Windows folder from Vista on",
       descriptor(kTrustedInstaller, {{kTrustedInstaller, kFullControl, kContainerInherit},
                                      {kAdministrators, kChange, 0},
                                      {kPowerUsers, kChange},
                                      {kUsers, kReadAndExecute}}),
       EntryRemoval::kAdministratorsOnly},
      {"users may delete entries", descriptor(kAdministrators, {{kUsers, kDeleteChild, 0}}),
       EntryRemoval::kOthers},
      {"authenticated users may change the access list",
       descriptor(kAdministrators, {{kAuthenticatedUsers, kWriteAccessList}}),
       EntryRemoval::kOthers},
      {"everyone may take ownership", descriptor(kAdministrators, {{kEveryone, kWriteOwner}}),
       EntryRemoval::kOthers},
      {"everyone may do everything, generically",
       descriptor(kAdministrators, {{kEveryone, kGenericAll}}), EntryRemoval::kOthers},
      {"users may write, generically", descriptor(kAdministrators, {{kUsers, kGenericWrite}}),
       EntryRemoval::kOthers},
      {"an entry only handed down grants nothing here",
       descriptor(kAdministrators,
                  {{kEveryone, kFullControl, kObjectInherit | kContainerInherit | kInheritOnly}}),
       EntryRemoval::kAdministratorsOnly},
      {"a denial is passed over",
       descriptor(kAdministrators, {{kEveryone, kFullControl, 0, kDenied}}),
       EntryRemoval::kAdministratorsOnly},
      {"an access list that lets no one in", descriptor(kSystem, {}),
       EntryRemoval::kAdministratorsOnly},
      {"no access list at all", descriptor(kAdministrators, {}, false), EntryRemoval::kOthers},
      {"a user owns the folder", descriptor(kSomeUser, {{kAdministrators, kFullControl}}),
       EntryRemoval::kOthers},
      {"an entry of a kind not known here",
       descriptor(kAdministrators, {{kEveryone, kReadAndExecute, 0, kAllowedObject}}),
       EntryRemoval::kUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(judge(c.descriptor), c.expected) << c.what;
}

// What the program's own account may do, it could do to the file it removes anyway.
TEST(FolderSecurityTest, TheProgramsOwnAccountIsTrustedAsOwnerAndInEntries) {
  std::string owned = descriptor(kSomeUser, {{kSomeUser, kFullControl}, {kSystem, kFullControl}});
  EXPECT_EQ(judge(owned, kSomeUser), EntryRemoval::kAdministratorsOnly);
  EXPECT_EQ(judge(owned), EntryRemoval::kOthers);
  EXPECT_EQ(judge(owned, sid(5, {21, 1, 2, 3, 1004})), EntryRemoval::kOthers);
}

TEST(FolderSecurityTest, ADamagedDescriptorIsNeverVouchedFor) {
  std::string sound = rootFromXp();
  for (std::size_t length = 0; length < sound.size(); ++length) {
    EXPECT_EQ(judge(sound.substr(0, length)), EntryRemoval::kUnknown) << "cut to " << length;
  }
  auto changed = [&sound](std::size_t at, char value) {
    std::string damaged = sound;
    damaged[at] = value;
    return damaged;
  };
  const std::size_t list = 20 + kAdministrators.size();
  EXPECT_EQ(judge(changed(0, 2)), EntryRemoval::kUnknown) << "descriptor revision";
  EXPECT_EQ(judge(changed(3, 0)), EntryRemoval::kUnknown) << "not self-relative";
  EXPECT_EQ(judge(changed(4, 0)), EntryRemoval::kUnknown) << "no owner";
  EXPECT_EQ(judge(changed(21, 16)), EntryRemoval::kUnknown) << "an owner of sixteen parts";
  EXPECT_EQ(judge(changed(16, static_cast<char>(0xf0))), EntryRemoval::kUnknown)
      << "the list past the end";
  EXPECT_EQ(judge(changed(list, 9)), EntryRemoval::kUnknown) << "list revision";
  EXPECT_EQ(judge(changed(list + 4, 60)), EntryRemoval::kUnknown) << "more entries than room";
  EXPECT_EQ(judge(changed(list + 8 + 2, static_cast<char>(0xff))), EntryRemoval::kUnknown)
      << "an entry larger than its list";
  EXPECT_EQ(judge(changed(list + 8 + 9, 15)), EntryRemoval::kUnknown)
      << "an entry's SID longer than the entry";
}

}  // namespace
