// Scheduled deletions, short names and .ini sections of the simulated disks.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "common/bounded_text.h"
#include "platform/sim/sim_file_system.h"

namespace sim {
namespace {

std::string trimmed(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool isHeader(const std::string& line, std::string* name) {
  std::string text = trimmed(line);
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return false;
  if (name != nullptr) *name = text.substr(1, text.size() - 2);
  return true;
}

std::vector<std::string> linesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream stream(bytes);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Where a section's lines lie: [begin, end) of `lines`; begin is npos for a missing section.
std::pair<std::size_t, std::size_t> sectionRange(const std::vector<std::string>& lines,
                                                 const std::string& section) {
  std::size_t begin = std::string::npos;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (!isHeader(lines[i], &name)) continue;
    if (begin != std::string::npos) return {begin, i};
    if (text::equalsIgnoringCase(name.c_str(), section.c_str())) begin = i + 1;
  }
  return {begin, lines.size()};
}

}  // namespace

// Makes up the short name of one path component: kept when it already is 8.3, else the first
// six letters or digits and "~1", as the system does for the first such name in a folder.
std::string madeUpShortName(const std::string& component) {
  std::size_t dot = component.rfind('.');
  std::string stem = dot == std::string::npos ? component : component.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : component.substr(dot + 1);
  bool plain = stem.size() <= 8 && extension.size() <= 3 &&
               component.find(' ') == std::string::npos &&
               std::count(component.begin(), component.end(), '.') <= 1;
  std::string result;
  if (plain) {
    result = stem;
  } else {
    for (char c : stem) {
      if (std::isalnum(static_cast<unsigned char>(c)) && result.size() < 6) result += c;
    }
    result += "~1";
  }
  if (!extension.empty()) result += "." + extension.substr(0, 3);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

void SimFileSystem::setShortPath(const std::string& path, const std::string& shortPath) {
  shortPaths_[resolve(path)] = shortPath;
}

bool SimFileSystem::deleteAtRestart(const char* path) {
  aboutToChange();
  std::string key = resolve(path, false);
  if (nodes_.count(key) == 0 || faulty(FileFault::DeleteAtRestart, key)) return false;
  deletionsAtRestart_.push_back(path);
  return true;
}

bool SimFileSystem::shortPathName(const char* path, char* buffer, std::size_t capacity) {
  std::string key = resolve(path);
  std::string shortPath;
  auto given = shortPaths_.find(key);
  if (nodes_.count(key) == 0 || faulty(FileFault::ShortName, key)) {
    shortPath.clear();
  } else if (given != shortPaths_.end()) {
    shortPath = given->second;
  } else {
    std::string component;
    std::string walked;
    std::istringstream parts(key);
    while (std::getline(parts, component, '\\')) {
      walked += (walked.empty() ? "" : "\\") + component;
      if (!shortPath.empty()) shortPath += "\\";
      auto node = nodes_.find(walked);
      std::string shortName =
          node == nodes_.end() ? std::string() : shortNameOf(walked, node->second);
      shortPath += shortName.empty() ? component : shortName;
    }
  }
  if (shortPath.empty() || !text::copy(buffer, capacity, shortPath.c_str())) {
    if (capacity > 0) buffer[0] = '\0';
    return false;
  }
  return true;
}

bool SimFileSystem::readProfileSection(const char* file, const char* section, char* buffer,
                                       std::size_t capacity, std::size_t& used) {
  used = 0;
  if (capacity < 2 || faulty(FileFault::Profile, resolve(file))) return false;
  std::string list;
  std::string bytes = contentsOf(file);
  if (hasFile(file)) {
    std::vector<std::string> lines = linesOf(bytes);
    auto [begin, end] = sectionRange(lines, section);
    for (std::size_t i = begin; begin != std::string::npos && i < end; ++i) {
      if (!trimmed(lines[i]).empty()) list += trimmed(lines[i]) + '\0';
    }
  }
  if (list.size() + 1 > capacity - 1) return false;
  std::memcpy(buffer, list.data(), list.size());
  buffer[list.size()] = '\0';
  buffer[list.size() + 1] = '\0';
  used = list.size();
  return true;
}

bool SimFileSystem::writeProfileSection(const char* file, const char* section, const char* lines) {
  std::string key = resolve(file);
  std::size_t slash = key.rfind('\\');
  const Node* folder = slash == std::string::npos ? nullptr : find(key.substr(0, slash));
  if (folder == nullptr || !folder->folder || faulty(FileFault::Profile, key)) return false;

  std::vector<std::string> replacement;
  for (const char* line = lines; *line != '\0'; line += std::strlen(line) + 1) {
    replacement.emplace_back(line);
  }
  bool existed = hasFile(file);
  std::uint32_t attributes = existed ? attributesOf(file) : platform::kAttributeArchive;
  std::vector<std::string> fileLines =
      existed ? linesOf(contentsOf(file)) : std::vector<std::string>{};
  auto [begin, end] = sectionRange(fileLines, section);
  if (begin == std::string::npos) {
    fileLines.push_back(std::string("[") + section + "]");
    begin = end = fileLines.size();
  }
  fileLines.erase(fileLines.begin() + static_cast<std::ptrdiff_t>(begin),
                  fileLines.begin() + static_cast<std::ptrdiff_t>(end));
  fileLines.insert(fileLines.begin() + static_cast<std::ptrdiff_t>(begin), replacement.begin(),
                   replacement.end());
  std::string bytes;
  for (const std::string& line : fileLines) bytes += line + "\r\n";
  addFile(file, bytes, attributes);
  return true;
}

}  // namespace sim
