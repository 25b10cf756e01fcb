// What the memory scan and the remedies rely on from the process part of the seam, asserted
// the same way against SimulatedWindows on Linux and against the Win32 implementation under
// Wine.
//
// An environment type supplies: folder() (a folder for images, no trailing backslash),
// start(file name) (starts a program from an image of that name in the folder and returns its
// id) and processes() (the Processes under test), and files() (the FileSystem beside it).
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

REGISTER_TYPED_TEST_SUITE_P(ProcessesContract, TheProcessStatusListNamesTheWholeImagePath,
                            ARunningImageIsReleasedWhenItsProcessEnds,
                            ARunningImageMovesAsideThroughAHandleAndIsDeletedOnceEnded,
                            AnIdOfNoProcessCannotBeOpened);
