#include "platform/sim/sim_processes.h"

#include "common/bounded_text.h"

namespace sim {
namespace {

constexpr platform::WindowHandle kWindowsPerProcess = 0x100;

platform::ProcessId ownerOf(platform::WindowHandle window) {
  return static_cast<platform::ProcessId>(window / kWindowsPerProcess);
}

}  // namespace

SimProcesses::SimProcesses(SimHandles& handles, SimFileSystem& files, SimClock& clock)
    : handles_(handles), files_(files), clock_(clock) {}

platform::ProcessId SimProcesses::start(const std::string& imagePath) {
  platform::ProcessId id = nextId_;
  nextId_ += 4;
  SimProcess& process = table_[id];
  process.id = id;
  process.imagePath = imagePath;
  process.image = files_.mapImage(imagePath);
  return id;
}

platform::ProcessId SimProcesses::startReusingId(const std::string& imagePath) {
  for (auto& [id, process] : table_) {
    if (!process.exited) continue;
    bool stillOpen = false;
    for (const auto& [handle, open] : processes_) stillOpen = stillOpen || open.id == id;
    if (stillOpen) continue;
    platform::ProcessId reused = id;
    table_.erase(reused);
    SimProcess& fresh = table_[reused];
    fresh.id = reused;
    fresh.imagePath = imagePath;
    fresh.image = files_.mapImage(imagePath);
    return reused;
  }
  return start(imagePath);
}

void SimProcesses::setVersion(const platform::VersionInfo& version) {
  version_ = version;
  files_.setNtFamily(version.platformId == platform::kPlatformIdNt);
}

SimProcess& SimProcesses::process(platform::ProcessId id) { return table_.at(id); }

bool SimProcesses::isRunning(platform::ProcessId id) const {
  auto it = table_.find(id);
  return it != table_.end() && !it->second.exited;
}

bool SimProcesses::isRunning(const std::string& imagePath) const {
  std::string key = normalizePath(imagePath);
  for (const auto& [id, process] : table_) {
    if (!process.exited && normalizePath(process.imagePath) == key) return true;
  }
  return false;
}

void SimProcesses::end(platform::ProcessId id) {
  auto it = table_.find(id);
  if (it == table_.end() || it->second.exited) return;
  files_.unmapImage(it->second.image);
  it->second.exited = true;
}

void SimProcesses::endImage(const std::string& imagePath) {
  std::string key = normalizePath(imagePath);
  for (auto& [id, process] : table_) {
    if (!process.exited && normalizePath(process.imagePath) == key) end(id);
  }
}

std::string SimProcesses::dump() const {
  std::string text = "processes (platform " + std::to_string(version_.platformId) + ", version " +
                     std::to_string(version_.majorVersion) + "." +
                     std::to_string(version_.minorVersion) + " " + servicePack_ + "):\n";
  for (const auto& [id, process] : table_) {
    if (process.exited) continue;
    text += "  " + std::to_string(id) + " " + process.imagePath +
            (process.canOpen ? "" : " unopenable") + (process.canTerminate ? "" : " unkillable") +
            (process.imageKnown ? "" : " image-unknown") + "\n";
  }
  return text;
}

bool SimProcesses::queryVersion(platform::VersionInfo& version) {
  if (versionFails_) return false;
  version = version_;
  return true;
}

bool SimProcesses::queryRelease(platform::ReleaseInfo& release) {
  if (versionFails_) return false;
  release.version = version_;
  // Cut as the system's own 128-character field would be.
  text::copy(release.servicePack, servicePack_.c_str());
  release.terminalServer = terminalServer_;
  return true;
}

platform::ProcessEntry SimProcesses::entryOf(const SimProcess& process) const {
  platform::ProcessEntry entry;
  entry.id = process.id;
  // The 95/98/Me family gives the full path of the image; NT gives its file name only.
  bool fullPath = version_.platformId == platform::kPlatformIdWindows && !toolhelpNamesFilesOnly;
  const char* shown =
      fullPath ? process.imagePath.c_str() : text::fileNamePart(process.imagePath.c_str());
  text::copy(entry.exeFile, shown);
  return entry;
}

platform::Handle SimProcesses::createProcessSnapshot() {
  if (!toolhelpPresent) return platform::kNoHandle;
  Snapshot snapshot;
  for (const auto& [id, process] : table_) {
    if (!process.exited) snapshot.entries.push_back(entryOf(process));
  }
  platform::Handle handle = handles_.open("process snapshot");
  snapshots_.emplace(handle, std::move(snapshot));
  return handle;
}

bool SimProcesses::firstProcess(platform::Handle handle, platform::ProcessEntry& entry) {
  auto it = snapshots_.find(handle);
  if (it == snapshots_.end()) return false;
  it->second.next = 0;
  return nextProcess(handle, entry);
}

bool SimProcesses::nextProcess(platform::Handle handle, platform::ProcessEntry& entry) {
  auto it = snapshots_.find(handle);
  if (it == snapshots_.end() || it->second.next >= it->second.entries.size()) return false;
  entry = it->second.entries[it->second.next++];
  return true;
}

void SimProcesses::closeSnapshot(platform::Handle handle) {
  snapshots_.erase(handle);
  handles_.close(handle);
}

bool SimProcesses::enumerateProcesses(platform::ProcessId* ids, std::uint32_t capacity,
                                      std::uint32_t& count) {
  count = 0;
  if (!psapiPresent) return false;
  for (const auto& [id, process] : table_) {
    if (process.exited) continue;
    if (count == capacity) break;
    ids[count++] = id;
  }
  return true;
}

const SimProcesses::OpenProcess* SimProcesses::opened(platform::Handle handle) const {
  auto it = processes_.find(handle);
  return it == processes_.end() ? nullptr : &it->second;
}

std::uint32_t SimProcesses::imageFileName(platform::Handle handle, char* buffer,
                                          std::uint32_t capacity) {
  return psapiPresent ? readImagePath(handle, buffer, capacity) : 0;
}

std::uint32_t SimProcesses::nativeImageFileName(platform::Handle handle, char* buffer,
                                                std::uint32_t capacity) {
  bool ntFamily = version_.platformId == platform::kPlatformIdNt;
  return nativeLayerPresent && ntFamily ? readImagePath(handle, buffer, capacity) : 0;
}

std::uint32_t SimProcesses::readImagePath(platform::Handle handle, char* buffer,
                                          std::uint32_t capacity) const {
  const OpenProcess* open = opened(handle);
  std::uint32_t needed = platform::kProcessQueryInformation | platform::kProcessVmRead;
  if (open == nullptr || (open->access & needed) != needed) return 0;
  auto it = table_.find(open->id);
  if (it == table_.end() || it->second.exited || !it->second.imageReadable) return 0;
  if (!text::copy(buffer, capacity, it->second.imagePath.c_str())) return 0;
  return static_cast<std::uint32_t>(it->second.imagePath.size());
}

const SimProcess* SimProcesses::imageSectionOf(platform::Handle handle) const {
  const OpenProcess* open = opened(handle);
  std::uint32_t needed = platform::kProcessQueryInformation | platform::kProcessVmRead;
  if (open == nullptr || (open->access & needed) != needed || !nativeLayerPresent ||
      version_.platformId != platform::kPlatformIdNt) {
    return nullptr;
  }
  auto it = table_.find(open->id);
  if (it == table_.end() || it->second.exited || !it->second.imageKnown) return nullptr;
  return &it->second;
}

bool SimProcesses::imageIdentity(platform::Handle handle, platform::FileIdentity& identity) {
  const SimProcess* process = imageSectionOf(handle);
  return process != nullptr && files_.identifyImage(process->image, identity);
}

std::uint32_t SimProcesses::mappedImagePath(platform::Handle handle, char* buffer,
                                            std::uint32_t capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  const SimProcess* process = imageSectionOf(handle);
  if (process == nullptr) return 0;
  std::string path = files_.pathOfImage(process->image);
  if (path.empty() || !text::copy(buffer, capacity, path.c_str())) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<std::uint32_t>(path.size());
}

platform::Handle SimProcesses::openProcess(platform::ProcessId id, std::uint32_t access) {
  auto it = table_.find(id);
  if (it == table_.end() || !it->second.canOpen || (access & it->second.deniedRights) != 0) {
    return platform::kNoHandle;
  }
  platform::Handle handle = handles_.open("process " + std::to_string(id));
  processes_.emplace(handle, OpenProcess{id, access});
  return handle;
}

bool SimProcesses::terminateProcess(platform::Handle handle, std::uint32_t) {
  const OpenProcess* open = opened(handle);
  if (open == nullptr || (open->access & platform::kProcessTerminate) == 0) return false;
  auto it = table_.find(open->id);
  if (it == table_.end() || !it->second.canTerminate) return false;
  // Ending a process that has already ended succeeds and changes nothing.
  if (it->second.exited) return true;
  terminated_.push_back(open->id);
  end(open->id);
  return true;
}

std::uint32_t SimProcesses::waitForProcess(platform::Handle handle, std::uint32_t milliseconds) {
  const OpenProcess* open = opened(handle);
  if (open == nullptr || (open->access & platform::kSynchronize) == 0) return platform::kWaitFailed;
  if (!isRunning(open->id)) return platform::kWaitObject0;
  clock_.sleep(milliseconds);
  return platform::kWaitTimeout;
}

void SimProcesses::closeProcess(platform::Handle handle) {
  processes_.erase(handle);
  handles_.close(handle);
}

void SimProcesses::enumerateWindows(platform::WindowVisitor visitor, std::uintptr_t context) {
  std::vector<platform::WindowHandle> windows;
  for (const auto& [id, process] : table_) {
    if (process.exited) continue;
    for (int n = 0; n < process.windows; ++n) windows.push_back(id * kWindowsPerProcess + n + 1);
  }
  for (platform::WindowHandle window : windows) {
    if (!visitor(window, context)) return;
  }
}

platform::ProcessId SimProcesses::windowProcess(platform::WindowHandle window) {
  platform::ProcessId owner = ownerOf(window);
  return isRunning(owner) ? owner : 0;
}

bool SimProcesses::postClose(platform::WindowHandle window) {
  platform::ProcessId owner = ownerOf(window);
  if (!isRunning(owner)) return false;
  if (table_.at(owner).closesOnRequest) end(owner);
  return true;
}

platform::WindowHandle SimProcesses::findWindowByTitle(platform::WindowHandle after,
                                                       const char* title) {
  bool passed = after == 0;
  platform::WindowHandle found = 0;
  for (const auto& [id, process] : table_) {
    if (process.exited || process.windowTitle != title) continue;
    for (int n = 0; n < process.windows && found == 0; ++n) {
      platform::WindowHandle window = id * kWindowsPerProcess + n + 1;
      if (passed) found = window;
      if (window == after) passed = true;
    }
    if (found != 0) break;
  }
  return found;
}

bool SimProcesses::ownImagePath(char* buffer, std::uint32_t capacity) {
  return text::copy(buffer, capacity, ownImage.c_str());
}

platform::Handle SimProcesses::holdNamedMark(const char* name, bool& alreadyHeld) {
  alreadyHeld = foreignMarks.count(name) != 0;
  for (const auto& [handle, held] : marks_) {
    if (held == name) alreadyHeld = true;
  }
  platform::Handle handle = handles_.open(std::string("mark ") + name);
  marks_.emplace(handle, name);
  return handle;
}

void SimProcesses::closeNamedMark(platform::Handle mark) {
  marks_.erase(mark);
  handles_.close(mark);
}

platform::Handle SimProcesses::openOwnToken() {
  return tokenOpens ? handles_.open("own token") : platform::kNoHandle;
}

std::uint32_t SimProcesses::enableShutdownPrivilege(platform::Handle) {
  constexpr std::uint32_t kNotAllAssigned = 1300;
  if (!shutdownPrivilegeGranted) return kNotAllAssigned;
  shutdownPrivilegeEnabled_ = true;
  return 0;
}

void SimProcesses::closeToken(platform::Handle token) { handles_.close(token); }

platform::ShutdownAbort SimProcesses::abortSystemShutdown() {
  // The 95/98/Me family's library exports the name, but nothing stands behind it.
  if (!abortShutdownPresent || version_.platformId != platform::kPlatformIdNt) {
    return platform::ShutdownAbort::kUnavailable;
  }
  if (!shutdownPrivilegeEnabled_ || !shutdownPrivilegeGranted)
    return platform::ShutdownAbort::kRefused;
  if (!shutdownInProgress) return platform::ShutdownAbort::kNoneInProgress;
  shutdownInProgress = false;
  ++shutdownsAborted_;
  return platform::ShutdownAbort::kAborted;
}

int SimProcesses::restartSystem() {
  ++restarts_;
  return 1;
}

void SimProcesses::endProgram(int exitCode) { throw ProgramEnded{exitCode}; }

}  // namespace sim
