#include "contract/file_system_contract.h"

#include <windows.h>

#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "windows/windows_support.h"

namespace {

class Win32Environment {
 public:
  std::string root() const { return scratch_.path(); }
  platform::FileSystem& files() { return platform::files(); }
  void addFile(const std::string& relative, const std::string& bytes, std::uint32_t attributes) {
    ASSERT_TRUE(wintest::writeFile(root() + "\\" + relative, bytes, attributes));
  }
  // Not yet: what another user may do.
  void holdWithoutDeleteSharing(const std::string&) { ADD_FAILURE() << "not yet"; }
  void renameFolder(const std::string&, const std::string&) { ADD_FAILURE() << "not yet"; }
  void linkFolder(const std::string&, const std::string&) { ADD_FAILURE() << "not yet"; }
  void addHardLink(const std::string&, const std::string&) { ADD_FAILURE() << "not yet"; }
  void addFileOutsideTheCodePage(const std::string&, const std::string&) {
    ADD_FAILURE() << "not yet";
  }
  void addFolder(const std::string& relative) {
    CreateDirectoryA((root() + "\\" + relative).c_str(), nullptr);
  }

 private:
  platform::ScopedInstall win32_{platform::win32::win32Os()};
  wintest::ScratchFolder scratch_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FileSystemContract, Win32Environment);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ProtectiveAttributesContract, Win32Environment);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FilesInUseContract, Win32Environment);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, CodePageContract, Win32Environment);

}  // namespace
