// vandrel-specimens: writes synthetic worm specimens into a folder, for the Windows-side tests,
// the demo and the fuzz seeds. The files are harmless: headers just valid enough, zeros, and
// the worm's 20-byte patterns where the check looks for them.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "specimens/specimens.h"

namespace {

const char kUsage[] =
    "Usage: vandrel-specimens FOLDER [NAME...]\n"
    "       vandrel-specimens --list\n"
    "\n"
    "Writes synthetic W32/Blaster.Worm specimens (harmless files that carry the worm's\n"
    "byte patterns) and near misses into FOLDER, which is made if needed: every one, or\n"
    "those named. --list prints each name, a tab, and what vandrel-identify reports for it.\n"
    "Exit status: 0 done; 2 usage error, unknown name or a file that could not be written.\n";

constexpr int kExitDone = 0;
constexpr int kExitTrouble = 2;

bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

const specimens::Specimen* findByName(const std::vector<specimens::Specimen>& all,
                                      const char* name) {
  for (const specimens::Specimen& specimen : all) {
    if (specimen.name == name) return &specimen;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitTrouble : kExitDone;
  }
  std::vector<specimens::Specimen> all = specimens::all();
  if (std::strcmp(argv[1], "--list") == 0) {
    for (const specimens::Specimen& specimen : all) {
      std::printf("%s\t%s\n", specimen.name.c_str(), specimens::expectedName(specimen).c_str());
    }
    return kExitDone;
  }

  std::vector<const specimens::Specimen*> chosen;
  for (int index = 2; index < argc; ++index) {
    const specimens::Specimen* specimen = findByName(all, argv[index]);
    if (specimen == nullptr) {
      std::fprintf(stderr, "vandrel-specimens: no specimen named %s (see --list)\n", argv[index]);
      return kExitTrouble;
    }
    chosen.push_back(specimen);
  }
  if (chosen.empty()) {
    for (const specimens::Specimen& specimen : all) chosen.push_back(&specimen);
  }

  std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const specimens::Specimen* specimen : chosen) {
    if (!writeFile(folder / specimen->name, specimen->bytes)) {
      std::fprintf(stderr, "vandrel-specimens: cannot write %s\n",
                   (folder / specimen->name).string().c_str());
      return kExitTrouble;
    }
  }
  return kExitDone;
}
