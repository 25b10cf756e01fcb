#include "platform/offline/installation_paths.h"

#include <sys/stat.h>

#include <cstring>

#include "common/bounded_text.h"

namespace platform::offline {
namespace {

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && a.find('\0') == std::string::npos &&
         text::equalsIgnoringCase(a.c_str(), b.c_str());
}

const std::string* lookUp(const Variables& variables, const std::string& name) {
  for (const auto& [known, value] : variables) {
    if (sameName(known, name)) return &value;
  }
  return nullptr;
}

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A component Windows would resolve exactly as it is spelt, and that names nothing but a file
// of its folder.
bool acceptableComponent(const std::string& component, std::string& why) {
  if (component == "." || component == "..") {
    why = "it has a component \"" + component + "\"";
    return false;
  }
  for (char c : component) {
    if (static_cast<unsigned char>(c) < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' ||
        c == '<' || c == '>' || c == '|') {
      why = "it has a component that is no plain name";
      return false;
    }
  }
  char last = component.back();
  if (last == '.' || last == ' ') {
    why = "it has a component ending in a dot or blank, which Windows drops";
    return false;
  }
  return true;
}

}  // namespace

std::string shortened(const std::string& text, std::size_t most) {
  return text.size() <= most ? text : text.substr(0, most) + "...";
}

bool expandVariables(const std::string& text, const Variables& variables, std::string& expanded,
                     std::string& why) {
  expanded.clear();
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t open = text.find('%', at);
    std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) {
      expanded.append(text, at, std::string::npos);
      break;
    }
    expanded.append(text, at, open - at);
    std::string name = text.substr(open + 1, close - open - 1);
    const std::string* value = name.empty() ? nullptr : lookUp(variables, name);
    if (value == nullptr) {
      why = "it uses %" + shortened(name, 64) + "%, which the installation does not say";
      return false;
    }
    expanded += *value;
    at = close + 1;
    if (expanded.size() > kLongestWindowsPath) break;
  }
  if (expanded.size() > kLongestWindowsPath) {
    why = "it is longer than a Windows path can be";
    return false;
  }
  return true;
}

bool relativeToSystemDrive(const std::string& windowsPath, std::string& relative,
                           std::string& why) {
  relative.clear();
  if (windowsPath.size() > kLongestWindowsPath) {
    why = "it is longer than a Windows path can be";
    return false;
  }
  std::string path = windowsPath;
  for (char& c : path) c = c == '/' ? '\\' : c;
  if (path.compare(0, 2, "\\\\") == 0) {
    why = "it is a network or device path, not on the installation's drive";
    return false;
  }
  if (path.size() < 2 || !isDriveLetter(path[0]) || path[1] != ':' ||
      (path.size() > 2 && path[2] != '\\')) {
    why = "it is not a full path on a drive";
    return false;
  }
  if (path[0] != 'C' && path[0] != 'c') {
    why = std::string("it is on drive ") + path[0] + ":, not on the installation's drive C:";
    return false;
  }
  std::size_t at = 2;
  while (at < path.size()) {
    while (at < path.size() && path[at] == '\\') ++at;
    std::size_t end = path.find('\\', at);
    if (end == std::string::npos) end = path.size();
    if (end == at) break;
    std::string component = path.substr(at, end - at);
    if (!acceptableComponent(component, why)) return false;
    if (!relative.empty()) relative += '\\';
    relative += component;
    at = end;
  }
  return true;
}

bool resolveWithoutTwins(RootedTree& tree, const std::string& base, const std::string& relative,
                         EntryKind wanted, std::string& onDisk, TreeError& error,
                         std::string& where) {
  onDisk = base;
  where.clear();
  error = TreeError::kNone;
  if (relative.empty()) {
    if (wanted == EntryKind::kFolder) return true;
    error = TreeError::kNotARegularFile;
    return false;
  }
  const std::string prefix = base.empty() ? "" : base + "\\";
  std::size_t at = 0;
  while (at <= relative.size()) {
    std::size_t end = relative.find('\\', at);
    bool last = end == std::string::npos;
    if (last) end = relative.size();
    std::string component = relative.substr(at, end - at);
    where = prefix + relative.substr(0, end);
    int folder = tree.folder(onDisk.c_str());
    TreeEntry entry;
    if (folder < 0) {
      error = tree.error();
      return false;
    }
    if (!tree.findWithoutTwin(folder, component.c_str(), entry)) {
      error = tree.error();
      return false;
    }
    EntryKind needed = last ? wanted : EntryKind::kFolder;
    if (entry.kind != needed) {
      error = entry.kind == EntryKind::kLink ? TreeError::kLink
              : needed == EntryKind::kFolder ? TreeError::kNotAFolder
                                             : TreeError::kNotARegularFile;
      return false;
    }
    onDisk = onDisk.empty() ? std::string(entry.name) : onDisk + "\\" + entry.name;
    if (last) break;
    at = end + 1;
  }
  where.clear();
  return true;
}

bool folderIdentity(RootedTree& tree, const std::string& relative, FileIdentity& identity) {
  int folder = tree.folder(relative.c_str());
  struct stat status;
  if (folder < 0 || fstat(folder, &status) != 0) return false;
  identity = {status.st_dev, status.st_ino, status.st_nlink};
  return true;
}

}  // namespace platform::offline
