// The registry and service cleanup against the prefix's real registry and service control
// manager, run inside this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/bounded_text.h"
#include "engine/registry_cleanup.h"
#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "scan/scan_session.h"
#include "system/service_control.h"
#include "windows/service_support.h"
#include "windows/worm_registry_support.h"

namespace {

// Stands in for the scanning window: keeps every ScanLog line.
class RecordingDesktop : public platform::Desktop {
 public:
  std::intptr_t sendMessage(platform::WindowHandle, std::uint32_t id, std::uintptr_t,
                            std::intptr_t) override {
    if (id == WM_SCAN_APPENDLOG) lines.emplace_back(scanSession().logLine);
    return 0;
  }
  bool peekMessage(platform::Message&) override { return false; }
  void translateAndDispatch(const platform::Message&) override {}
  int messageBox(platform::WindowHandle, const char*, const char*, std::uint32_t) override {
    return platform::kAnswerNo;
  }

  std::vector<std::string> lines;
};

class WineCleanupTest : public ::testing::Test {
 protected:
  WineCleanupTest() {
    resetScanSessionForTest();
    scanSession().scanDialogWindow = 1;
  }

  RecordingDesktop desktop;

 private:
  static platform::Os win32OsWith(platform::Desktop& desktop) {
    platform::Os os = platform::win32::win32Os();
    os.desktop = &desktop;
    return os;
  }
  platform::ScopedInstall installed_{win32OsWith(desktop)};
};

TEST_F(WineCleanupTest, TheDefaultUserIsAHiveOfItsOwnBesideTheCurrentUser) {
  // Otherwise planting under both would test only one of them.
  const char probe[] = "Software\\VandrelDefaultProbe";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, (std::string(".Default\\") + probe).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, probe, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegDeleteKeyA(HKEY_USERS, (std::string(".Default\\") + probe).c_str());
}

TEST_F(WineCleanupTest, EveryWormValueAndServiceGoesTheDecoysStayAndOneLineIsWritten) {
  wintest::PlantedWorm planted;
  ASSERT_EQ(planted.failure(), "");
  for (const footprint::RegistryEntry& entry : footprint::wormValues()) {
    ASSERT_TRUE(wintest::valueExists(entry)) << wintest::describe(entry);
  }
  ASSERT_EQ(wintest::serviceState("RpcPatch"), SERVICE_RUNNING);

  EXPECT_EQ(cleanWormRegistry("W32/Blaster.C.Worm"), 1);
  EXPECT_EQ(cleanWormRegistry("W32/Blaster.Worm"), 1);

  EXPECT_EQ(desktop.lines,
            std::vector<std::string>{"System Registry     W32/Blaster.C.Worm removed"});
  EXPECT_EQ(wintest::cleanupMistakes(), "");
}

TEST_F(WineCleanupTest, RunningServicesAreFoundByTheirWholeBinaryPath) {
  std::string plain = wintest::uniqueServiceName("VandrelPlain");
  std::string quoted = wintest::uniqueServiceName("VandrelQuoted");
  wintest::TestService plainService(plain, wintest::testServiceCommand());
  wintest::TestService quotedService(quoted, "\"" + wintest::testServiceCommand() + "\"");
  ASSERT_TRUE(plainService.start());
  ASSERT_TRUE(quotedService.start());

  char shouted[MAX_PATH];
  ASSERT_TRUE(text::copy(shouted, wintest::testServiceCommand().c_str()));
  text::toUpper(shouted);
  EXPECT_EQ(stopServicesByImagePath(shouted, 0), 1);
  EXPECT_EQ(wintest::serviceState(plain), SERVICE_RUNNING);

  EXPECT_EQ(stopServicesByImagePath(wintest::testServiceCommand().c_str(), 1), 1);
  EXPECT_EQ(wintest::serviceState(plain), SERVICE_STOPPED);
  EXPECT_EQ(wintest::serviceState(quoted), SERVICE_RUNNING);

  EXPECT_EQ(removeService(quoted.c_str(), 1), 1);
  EXPECT_TRUE(wintest::serviceGoes(quoted));
  EXPECT_EQ(removeService(quoted.c_str(), 1), 0);
}

// Whether `name` is a value of HKLM\Software\...\Run as seen in `view`.
bool runValueInView(const char* name, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, footprint::kRun.c_str(), 0, KEY_READ | view, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

// On 64-bit Windows a 32-bit worm's start-up values are stored in the 32-bit view of
// HKLM\Software and a 64-bit one's in the 64-bit view; the cleanup empties both, whichever
// build it is.
TEST_F(WineCleanupTest, TheStartUpValuesGoFromBothViewsOfTheMachineSoftware) {
  const REGSAM view32 = platform::kKeyView32, view64 = platform::kKeyView64;
  const char* const thirtyTwo = "Windows Root Account";
  const char* const sixtyFour = "windows auto update";
  for (auto [view, name] : {std::pair(view32, thirtyTwo), std::pair(view64, sixtyFour)}) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, footprint::kRun.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char data[] = "C:\\WINDOWS\\system32\\msblast.exe";
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
  }
  ASSERT_TRUE(runValueInView(thirtyTwo, view32));
  ASSERT_TRUE(runValueInView(sixtyFour, view64));
  // Otherwise the prefix has one view only, and this would test nothing.
  ASSERT_FALSE(runValueInView(thirtyTwo, view64));

  EXPECT_EQ(cleanWormRegistry("W32/Blaster.Worm"), 1);

  EXPECT_FALSE(runValueInView(thirtyTwo, view32));
  EXPECT_FALSE(runValueInView(sixtyFour, view64));
  EXPECT_EQ(desktop.lines,
            std::vector<std::string>{"System Registry     W32/Blaster.Worm removed"});
}

}  // namespace
