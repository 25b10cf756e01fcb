// vandrel-file-seam COMMAND PATH: one call of the program's file seam, made as on the Windows
// this program is told it runs on (Wine reports the version a program is given), for the tests
// of what differs between the 95/98/Me family, NT 4.0 and later Windows.
//   remove FILE      opens FILE for removal and deletes it through that handle
//   protect FOLDER   makes FOLDER as a folder that only administrators may change, and prints
//                    the access list given to it (Wine keeps none of its own to read back)
// Prints what happened; exits 0 when the call did what was asked, 1 when not, 3 on misuse.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

#include "platform/file_system.h"
#include "platform/os.h"
#include "platform/win32/protected_folder.h"
#include "platform/win32/win32_os.h"

namespace {

int removeThroughHandle(const char* path) {
  platform::FileSystem& files = platform::files();
  platform::ScopedFile file(files.openForRemoval(path));
  if (!file) {
    std::printf("not opened\n");
    return 1;
  }
  platform::FileIdentity identity;
  bool deleted = files.identify(file.get(), identity) &&
                 files.setAttributesOf(file.get(), platform::kAttributeArchive) &&
                 files.deleteOpenFile(file.get());
  std::printf("opened, links=%u, %s\n", identity.links, deleted ? "deleted" : "not deleted");
  return deleted ? 0 : 1;
}

int makeProtectedFolder(const char* path) {
  bool made = platform::files().createProtectedFolder(path);
  std::printf("%s\n", made ? "made" : "not made");
  platform::win32::AdministratorsOnlyDescriptor descriptor;
  char* text = nullptr;
  if (descriptor.valid() &&
      ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    std::printf("%s\n", text);
    LocalFree(text);
  } else {
    std::printf("no access list\n");
  }
  return made ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vandrel-file-seam remove FILE | protect FOLDER\n");
    return 3;
  }
  platform::install(platform::win32::win32Os());
  if (std::strcmp(argv[1], "remove") == 0) return removeThroughHandle(argv[2]);
  if (std::strcmp(argv[1], "protect") == 0) return makeProtectedFolder(argv[2]);
  std::fprintf(stderr, "vandrel-file-seam: unknown command %s\n", argv[1]);
  return 3;
}
