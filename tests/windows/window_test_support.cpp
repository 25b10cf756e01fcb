#include "windows/window_test_support.h"

#include "res/resource.h"

namespace wintest {
namespace {

// The screenshots of this run, under the build folder; those of an earlier run are removed
// first, so that every picture there belongs to the tests just run.
std::string screenshotFolder() {
  static const std::string folder = [] {
    std::string path = programFolder() + "\\..\\screenshots";
    removeTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
  }();
  return folder;
}

}  // namespace

ScopedRegistryValue::ScopedRegistryValue(HKEY root, const std::string& key, const std::string& name,
                                         const std::string& value)
    : root_(root), key_(key), name_(name) {
  HKEY handle;
  if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot open " << key_;
    return;
  }
  char previous[1024];
  DWORD size = sizeof previous, type = 0;
  if (RegQueryValueExA(handle, name_.empty() ? nullptr : name_.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS &&
      type == REG_SZ) {
    existed_ = true;
    previous_.assign(previous, size > 0 ? size - 1 : 0);
  }
  RegSetValueExA(handle, name_.empty() ? nullptr : name_.c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
}

ScopedRegistryValue::~ScopedRegistryValue() {
  HKEY handle;
  if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return;
  const char* name = name_.empty() ? nullptr : name_.c_str();
  if (existed_) {
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous_.c_str()),
                   static_cast<DWORD>(previous_.size() + 1));
  } else {
    RegDeleteValueA(handle, name);
  }
  RegCloseKey(handle);
}

SlowScanTree::SlowScanTree(int files) {
  constexpr int kFilesPerFolder = 500;
  for (int folder = 0; folder * kFilesPerFolder < files; ++folder) {
    std::string path = folder_.path() + "\\f" + std::to_string(folder);
    CreateDirectoryA(path.c_str(), nullptr);
    for (int file = folder * kFilesPerFolder; file < files && file < (folder + 1) * kFilesPerFolder;
         ++file) {
      writeFile(path + "\\file" + std::to_string(file) + ".txt", "x", FILE_ATTRIBUTE_NORMAL);
    }
  }
}

VandrelWindowTest::VandrelWindowTest() {
  // Without a window manager (Xvfb) Wine draws the frames and captions itself only for
  // windows it does not leave to a manager; the screenshots should show them.
  setWineVersion("vandrel.exe", "win7");
  HKEY handle;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vandrel.exe\\X11 Driver", 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(handle);
  }
  // The pointer rests away from every window, so that no label is hovered by accident.
  uidriver::pointAway();
}

HWND VandrelWindowTest::startAndWaitForMainWindow() {
  program = std::make_unique<uidriver::RunningProgram>(programFolder() + "\\vandrel.exe");
  if (!program->started()) {
    ADD_FAILURE() << "cannot start vandrel.exe";
    return nullptr;
  }
  return waitForWindow(IDC_QUESTION);
}

HWND VandrelWindowTest::waitForWindow(int controlId, unsigned timeoutMs) {
  return uidriver::waitForWindow({kCaption, program->processId(), controlId}, timeoutMs);
}

HWND VandrelWindowTest::waitForMessageBox(const std::string& caption) {
  return uidriver::waitForMessageBox(caption, program->processId(), kWindowTimeoutMs);
}

HWND VandrelWindowTest::startScan(HWND main) {
  if (!uidriver::clickButton(main, IDOK)) return nullptr;
  return waitForWindow(IDC_SCAN_LOG);
}

bool VandrelWindowTest::waitForScanEnd(HWND scanning) {
  return uidriver::waitUntil([&] { return uidriver::controlVisible(scanning, IDC_SCAN_OK); },
                             kScanTimeoutMs);
}

bool VandrelWindowTest::waitForWalk(HWND scanning) {
  return uidriver::waitUntil(
      [&] { return uidriver::controlText(scanning, IDC_SCAN_STATUS).rfind("C:\\", 0) == 0; },
      kScanTimeoutMs);
}

void VandrelWindowTest::finishFlow(HWND scanning, Close close) {
  ASSERT_TRUE(uidriver::clickButton(scanning, IDC_SCAN_OK));
  HWND thanks = waitForWindow(IDC_HOME_LINK);
  ASSERT_NE(thanks, nullptr) << "the thank-you window did not come";
  switch (close) {
    case Close::OkButton:
      ASSERT_TRUE(uidriver::clickButton(thanks, IDOK));
      break;
    case Close::EscapeKey:
      ASSERT_TRUE(uidriver::pressKey(thanks, VK_ESCAPE));
      break;
    case Close::CloseBox:
      ASSERT_TRUE(uidriver::clickCloseBox(thanks));
      break;
  }
  ASSERT_TRUE(program->waitForExit(kWindowTimeoutMs)) << "vandrel.exe did not end";
  EXPECT_EQ(program->exitCode(), 0);
}

void VandrelWindowTest::screenshot(HWND window, const std::string& name) {
  if (!kCanCaptureTheScreen) return;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string path = screenshotFolder() + "\\" + test->test_suite_name() + "." + test->name() +
                     "-" + name + ".png";
  EXPECT_TRUE(uidriver::saveScreenshot(window, path)) << path;
}

}  // namespace wintest
