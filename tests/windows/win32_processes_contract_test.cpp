#include "contract/processes_contract.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "windows/windows_support.h"

namespace {

// Programs of our own, started from copies of vandrel-holder.exe (which, given no file, just
// waits until it is ended) under the names the contract asks for, and ready once started.
class Win32Processes {
 public:
  std::string folder() const { return scratch_.path(); }
  platform::ProcessId start(const std::string& name) {
    std::string image = folder() + "\\" + name;
    std::string holder = wintest::programFolder() + "\\vandrel-holder.exe";
    if (!CopyFileA(holder.c_str(), image.c_str(), FALSE)) return 0;
    programs_.push_back(std::make_unique<wintest::FileHolder>(std::vector<std::string>{}, image));
    return programs_.back()->holding() ? programs_.back()->processId() : 0;
  }
  platform::Processes& processes() { return platform::processes(); }
  platform::FileSystem& files() { return platform::files(); }
  bool rename(const std::string& from, const std::string& to) {
    return MoveFileA(from.c_str(), to.c_str()) != 0;
  }
  bool plant(const std::string& path) {
    return wintest::writeFile(path, "MZ look-alike", FILE_ATTRIBUTE_NORMAL);
  }
  // Wine keeps the name an image was mapped under, whatever becomes of the file; the NT family's
  // memory manager asks the file system, which names the file as it is named now.
  static constexpr bool kImageNamesFollowRenames = false;

 private:
  // Members go in reverse order: the programs end before their folder is removed.
  platform::ScopedInstall win32_{platform::win32::win32Os()};
  wintest::ScratchFolder scratch_;
  std::vector<std::unique_ptr<wintest::FileHolder>> programs_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ProcessesContract, Win32Processes);

}  // namespace
