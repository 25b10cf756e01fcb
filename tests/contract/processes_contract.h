// What the memory scan and the remedies rely on from the process part of the seam, asserted
// the same way against SimulatedWindows on Linux and against the Win32 implementation under
// Wine.
//
// An environment type supplies: folder() (a folder for images, no trailing backslash),
// start(file name) (starts a program from an image of that name in the folder and returns its
// id) and processes() (the Processes under test), and files() (the FileSystem beside it);
// rename(from, to) and plant(path) (moves a file by its path, and writes a new one, as another
// user may), and kImageNamesFollowRenames: whether the system names a mapped image by its name
// now rather than the one it was mapped under.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/bounded_text.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "system/process_backends.h"

template <typename Environment>
class ProcessesContract : public ::testing::Test {
 protected:
  const ProcessRecord* find(const ProcessList& list, platform::ProcessId id) {
    for (const ProcessRecord& record : list) {
      if (record.processId == id) return &record;
    }
    return nullptr;
  }

  std::string pathOf(const std::string& name) { return env.folder() + "\\" + name; }

  platform::ScopedProcess openToAsk(platform::ProcessId id, std::uint32_t more = 0) {
    return platform::ScopedProcess(env.processes().openProcess(
        id, platform::kProcessQueryInformation | platform::kProcessVmRead | more));
  }

  // The identity of the file at `path` now, for comparing; a zero identity when there is none.
  platform::FileIdentity identityAt(const std::string& path) {
    platform::FileIdentity identity;
    EXPECT_TRUE(env.files().identifyPath(path.c_str(), identity)) << path;
    return identity;
  }

  Environment env;
};

TYPED_TEST_SUITE_P(ProcessesContract);

TYPED_TEST_P(ProcessesContract, TheProcessStatusListNamesTheWholeImagePath) {
  platform::ProcessId id = this->env.start("listed.exe");
  ProcessList list;
  ASSERT_TRUE(listProcessesPsapi(list));
  const ProcessRecord* record = this->find(list, id);
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(
      text::equalsIgnoringCase(record->imagePath, (this->env.folder() + "\\listed.exe").c_str()))
      << record->imagePath;

  // ToolHelp names it too; by its file name at least (the whole path on 95/98/Me).
  ASSERT_TRUE(listProcessesToolhelp(list));
  record = this->find(list, id);
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(text::equalsIgnoringCase(text::fileNamePart(record->imagePath), "listed.exe"));
}

TYPED_TEST_P(ProcessesContract, ARunningImageIsReleasedWhenItsProcessEnds) {
  platform::ProcessId id = this->env.start("held.exe");
  std::string image = this->env.folder() + "\\held.exe";
  platform::Processes& processes = this->env.processes();
  EXPECT_FALSE(this->env.files().deleteFile(image.c_str()));

  platform::ScopedProcess process(
      processes.openProcess(id, platform::kProcessTerminate | platform::kSynchronize));
  ASSERT_TRUE(process.valid());
  EXPECT_EQ(processes.waitForProcess(process.get(), 0), platform::kWaitTimeout);
  EXPECT_TRUE(processes.terminateProcess(process.get(), 0));
  EXPECT_EQ(processes.waitForProcess(process.get(), 5000), platform::kWaitObject0);
  EXPECT_TRUE(this->env.files().deleteFile(image.c_str()));
}

// The remedy's way with a worm that runs: its image is moved aside at once, through the handle it
// was verified by, and deleted when its program has been ended.
TYPED_TEST_P(ProcessesContract, ARunningImageMovesAsideThroughAHandleAndIsDeletedOnceEnded) {
  platform::ProcessId id = this->env.start("running.exe");
  std::string image = this->env.folder() + "\\running.exe";
  std::string aside = this->env.folder() + "\\aside.exe";
  platform::FileSystem& files = this->env.files();
  {
    platform::ScopedFile file(files.openForRemoval(image.c_str()));
    ASSERT_TRUE(file.valid());
    EXPECT_FALSE(files.deleteOpenFile(file.get())) << "the image of a running program";
    EXPECT_TRUE(files.moveOpenFile(file.get(), aside.c_str()));
  }
  EXPECT_FALSE(files.exists(image.c_str()));
  ASSERT_TRUE(files.exists(aside.c_str()));

  platform::Processes& processes = this->env.processes();
  platform::ScopedProcess process(
      processes.openProcess(id, platform::kProcessTerminate | platform::kSynchronize));
  ASSERT_TRUE(process.valid());
  EXPECT_TRUE(processes.terminateProcess(process.get(), 0));
  ASSERT_EQ(processes.waitForProcess(process.get(), 5000), platform::kWaitObject0);
  {
    platform::ScopedFile file(files.openForRemoval(aside.c_str()));
    ASSERT_TRUE(file.valid());
    EXPECT_TRUE(files.deleteOpenFile(file.get()));
  }
  EXPECT_FALSE(files.exists(aside.c_str()));
}

TYPED_TEST_P(ProcessesContract, AnIdOfNoProcessCannotBeOpened) {
  EXPECT_EQ(this->env.processes().openProcess(0x7FFFFFF0, platform::kProcessTerminate),
            platform::kNoHandle);
}

TYPED_TEST_P(ProcessesContract, TheImageIsTheFileTheProcessWasStartedFrom) {
  platform::ProcessId id = this->env.start("imaged.exe");
  std::string image = this->pathOf("imaged.exe");
  platform::ScopedProcess process = this->openToAsk(id);
  ASSERT_TRUE(process.valid());

  platform::FileIdentity identity;
  ASSERT_TRUE(this->env.processes().imageIdentity(process.get(), identity));
  EXPECT_TRUE(platform::sameFile(identity, this->identityAt(image)));

  char path[platform::kMaxPath];
  ASSERT_GT(this->env.processes().mappedImagePath(process.get(), path, sizeof path), 0u);
  EXPECT_TRUE(text::samePathText(path, image.c_str())) << path;
  // Too small a buffer gives no path rather than part of one.
  char small[8];
  EXPECT_EQ(this->env.processes().mappedImagePath(process.get(), small, sizeof small), 0u);
  EXPECT_STREQ(small, "");
}

// Another user renames a running program's file and puts a file of their own at its old name:
// the image is still the renamed file, wherever it lies, and never the file now at the old name.
TYPED_TEST_P(ProcessesContract, ARenamedImageIsStillTheFileTheProcessRuns) {
  if (!TypeParam::kImageNamesFollowRenames) {
    GTEST_SKIP() << "this system names a mapped image by the name it was mapped under, so a "
                    "renamed image cannot be told from what lies at its old name";
  }
  platform::ProcessId id = this->env.start("victim.exe");
  std::string image = this->pathOf("victim.exe");
  std::string moved = this->pathOf("moved.exe");
  ASSERT_TRUE(this->env.rename(image, moved));
  ASSERT_TRUE(this->env.plant(image));
  platform::ScopedProcess process = this->openToAsk(id);
  ASSERT_TRUE(process.valid());

  platform::FileIdentity identity;
  ASSERT_TRUE(this->env.processes().imageIdentity(process.get(), identity));
  EXPECT_TRUE(platform::sameFile(identity, this->identityAt(moved)));
  EXPECT_FALSE(platform::sameFile(identity, this->identityAt(image)));
  char path[platform::kMaxPath];
  ASSERT_GT(this->env.processes().mappedImagePath(process.get(), path, sizeof path), 0u);
  EXPECT_TRUE(text::samePathText(path, moved.c_str())) << path;
}

// The image is held in place while it is asked about, which a handle with delete access (the
// remedy's own, or anybody's) prevents: it cannot be told then, and can again once that is
// closed.
TYPED_TEST_P(ProcessesContract, AnImageOpenForRemovalCannotBeTold) {
  platform::ProcessId id = this->env.start("removing.exe");
  std::string image = this->pathOf("removing.exe");
  platform::ScopedProcess process = this->openToAsk(id);
  ASSERT_TRUE(process.valid());
  platform::FileIdentity identity;
  {
    platform::ScopedFile file(this->env.files().openForRemoval(image.c_str()));
    ASSERT_TRUE(file.valid());
    EXPECT_FALSE(this->env.processes().imageIdentity(process.get(), identity));
  }
  EXPECT_TRUE(this->env.processes().imageIdentity(process.get(), identity));
}

TYPED_TEST_P(ProcessesContract, TheImageCannotBeToldWithoutReadingOrOnceTheProcessEnded) {
  platform::ProcessId id = this->env.start("ending.exe");
  platform::Processes& processes = this->env.processes();
  platform::FileIdentity identity;
  char path[platform::kMaxPath] = "unchanged";
  {
    platform::ScopedProcess queryOnly(
        processes.openProcess(id, platform::kProcessQueryInformation));
    ASSERT_TRUE(queryOnly.valid());
    EXPECT_FALSE(processes.imageIdentity(queryOnly.get(), identity));
  }

  platform::ScopedProcess process =
      this->openToAsk(id, platform::kProcessTerminate | platform::kSynchronize);
  ASSERT_TRUE(process.valid());
  ASSERT_TRUE(processes.terminateProcess(process.get(), 0));
  ASSERT_EQ(processes.waitForProcess(process.get(), 5000), platform::kWaitObject0);
  EXPECT_FALSE(processes.imageIdentity(process.get(), identity));
  EXPECT_EQ(processes.mappedImagePath(process.get(), path, sizeof path), 0u);
  EXPECT_STREQ(path, "");
}

REGISTER_TYPED_TEST_SUITE_P(ProcessesContract, TheProcessStatusListNamesTheWholeImagePath,
                            ARunningImageIsReleasedWhenItsProcessEnds,
                            ARunningImageMovesAsideThroughAHandleAndIsDeletedOnceEnded,
                            AnIdOfNoProcessCannotBeOpened,
                            TheImageIsTheFileTheProcessWasStartedFrom,
                            ARenamedImageIsStillTheFileTheProcessRuns,
                            AnImageOpenForRemovalCannotBeTold,
                            TheImageCannotBeToldWithoutReadingOrOnceTheProcessEnded);
