// hive_edit_seeds FOLDER: writes hives built in code (the empty hive of tests/offline, filled
// through hivex) as seeds for the hive-editing fuzz target: an empty hive, a SOFTWARE hive with
// the worm's Run value beside others and a ProfileList, a user's hive with its Environment, and a
// SYSTEM hive with the worm's services beside Tcpip.
#include <hivex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "offline/empty_hive.h"

namespace {

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

hive_node_h ensureKey(hive_h* hive, const char* path) {
  hive_node_h node = hivex_root(hive);
  std::string rest = path;
  while (node != 0 && !rest.empty()) {
    std::size_t end = rest.find('\\');
    std::string part = rest.substr(0, end);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    hive_node_h child = hivex_node_get_child(hive, node, part.c_str());
    node = child != 0 ? child : hivex_node_add_child(hive, node, part.c_str());
  }
  return node;
}

bool setValue(hive_h* hive, const char* path, const char* name, std::uint32_t type,
              const std::string& bytes) {
  hive_node_h key = ensureKey(hive, path);
  std::string data = bytes;
  hive_set_value value = {const_cast<char*>(name), hive_t_REG_NONE, data.size(), &data[0]};
  std::memcpy(&value.t, &type, sizeof type);
  return key != 0 && hivex_node_set_value(hive, key, &value, 0) == 0;
}

std::string wide(const std::string& text) {
  std::string bytes;
  for (char c : text) bytes += std::string{c, '\0'};
  return bytes + std::string(2, '\0');
}

// Writes the empty hive filled by `fill` to `path`.
bool writeSeed(const std::string& path, const std::function<bool(hive_h*)>& fill) {
  int fd = memfd_create("seed", MFD_CLOEXEC);
  std::string empty = offline_test::emptyHive();
  if (fd < 0 || write(fd, empty.data(), empty.size()) != static_cast<ssize_t>(empty.size())) {
    return false;
  }
  hive_h* hive = hivex_open(descriptorPath(fd).c_str(), HIVEX_OPEN_WRITE);
  bool ok = hive != nullptr && fill(hive) && hivex_commit(hive, nullptr, 0) == 0;
  if (hive != nullptr) hivex_close(hive);
  struct stat status;
  ok = ok && fstat(fd, &status) == 0;
  std::string bytes(ok ? static_cast<std::size_t>(status.st_size) : 0, '\0');
  ok = ok && pread(fd, &bytes[0], bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
  close(fd);
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return ok && static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hive_edit_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  const char* run = R"(Microsoft\Windows\CurrentVersion\Run)";
  const char* kProfileList = R"(Microsoft\Windows NT\CurrentVersion\ProfileList)";
  bool ok =
      writeSeed(folder + "/empty", [](hive_h*) { return true; }) &&
      writeSeed(folder + "/software",
                [&](hive_h* h) {
                  return setValue(h, run, "windows auto update", 1, wide("msblast.exe")) &&
                         setValue(h, run, "Sound Mixer", 1, wide("mixer.exe")) &&
                         setValue(h, run, "Count", 4, std::string("\1\0\0\0", 4)) &&
                         setValue(h, kProfileList, "ProfilesDirectory", 2,
                                  wide("%SystemDrive%\\Users")) &&
                         setValue(h, (std::string(kProfileList) + R"(\S-1-5-21-1001)").c_str(),
                                  "ProfileImagePath", 2, wide("C:\\Users\\alice"));
                }) &&
      writeSeed(folder + "/ntuser",
                [](hive_h* h) {
                  return setValue(h, "Environment", "TEMP", 2,
                                  wide("%USERPROFILE%\\Local Settings\\Temp"));
                }) &&
      writeSeed(folder + "/system", [](hive_h* h) {
        bool filled = true;
        for (const char* set : {"ControlSet001", "ControlSet002"}) {
          std::string services = std::string(set) + R"(\Services\)";
          for (const char* name : {"RpcTftpd", "WksPatch", "Tcpip"}) {
            std::string key = services + name;
            filled =
                filled && setValue(h, key.c_str(), "ImagePath", 2, wide("C:\\x.exe")) &&
                setValue(h, (key + R"(\Enum)").c_str(), "Count", 4, std::string("\1\0\0\0", 4));
          }
        }
        return filled;
      });
  if (!ok) std::fprintf(stderr, "hive_edit_seeds: cannot write the seeds in %s\n", folder.c_str());
  return ok ? 0 : 1;
}
