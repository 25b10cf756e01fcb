#include "platform/offline/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <algorithm>

#include "common/bounded_text.h"
#include "platform/offline/hive_editor.h"

namespace platform::offline {
namespace {

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// What is read of a hive file beyond the length its base block declares: a little, so that a
// file padded after its last bin is still whole, and never the rest of a file that is far
// longer than its hive (a sparse file of gigabytes, say).
constexpr std::uint64_t kReadSlack = 4096;

// Beyond its input, what an edited hive may grow by: hivex appends the cells it writes.
constexpr std::uint64_t kEditedGrowth = 16ull * 1024 * 1024;

std::uint64_t fileLength(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size)
                                                       : 0;
}

// Whether the two files hold the same bytes.
bool sameBytes(int a, int b) {
  std::uint64_t length = fileLength(a);
  if (length != fileLength(b)) return false;
  char left[64 * 1024];
  char right[64 * 1024];
  for (std::uint64_t at = 0; at < length;) {
    std::size_t want =
        length - at < sizeof left ? static_cast<std::size_t>(length - at) : sizeof left;
    ssize_t got = pread(a, left, want, static_cast<off_t>(at));
    if (got <= 0 || pread(b, right, static_cast<std::size_t>(got), static_cast<off_t>(at)) != got ||
        std::memcmp(left, right, static_cast<std::size_t>(got)) != 0) {
      return false;
    }
    at += static_cast<std::uint64_t>(got);
  }
  return true;
}

// Names tried for a file of our own beside the hive before giving up: plenty for a folder that
// others are not filling at the same moment.
constexpr int kNameAttempts = 100;

std::string numbered(const std::string& stem, int attempt) {
  return attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
}

std::string today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[16] = {};
  if (localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y%m%d", &local) == 0) {
    return "00000000";
  }
  return text;
}

// Eight digits: the date goes into a file name, so nothing else may.
bool isDate(const std::string& date) {
  return date.size() == 8 && date.find_first_not_of("0123456789") == std::string::npos;
}

bool flush(int fd) {
  while (fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Copies the whole of `from` into `to` from its start.
bool copyFile(int from, int to) {
  char buffer[64 * 1024];
  off_t at = 0;
  for (;;) {
    ssize_t got = pread(from, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t put = 0; put < got;) {
      ssize_t wrote = write(to, buffer + put, static_cast<std::size_t>(got - put));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      put += wrote;
    }
    at += got;
  }
}

// A file made by the commit, removed again unless the commit keeps it.
class MadeFile {
 public:
  explicit MadeFile(int folder) : folder_(folder) {}
  ~MadeFile() {
    if (!name_.empty()) unlinkat(folder_, name_.c_str(), 0);
  }
  void made(const std::string& name) { name_ = name; }
  const std::string& name() const { return name_; }
  void keep() { name_.clear(); }

 private:
  int folder_;
  std::string name_;
};

// What the original file has beside its bytes, given to its replacement: owner and mode, and
// on an NTFS mount (ntfs-3g) its security descriptor and Windows attributes, without which the
// new hive would have its folder's. False when something the original has could not be given.
bool carryAttributes(int original, int replacement) {
  bool carried = true;
  struct stat status;
  if (fstat(original, &status) == 0) {
    carried = fchown(replacement, status.st_uid, status.st_gid) == 0 || errno == EPERM;
    carried = fchmod(replacement, status.st_mode & 07777) == 0 && carried;
  }
  for (const char* name : {"system.ntfs_acl", "system.ntfs_attrib_be"}) {
    char value[64 * 1024];
    ssize_t length = fgetxattr(original, name, value, sizeof value);
    if (length < 0) {
      // Not kept by this file system, or not set on the original: nothing to carry.
      if (errno != ENODATA && errno != ENOTSUP && errno != EOPNOTSUPP) carried = false;
      continue;
    }
    if (fsetxattr(replacement, name, value, static_cast<std::size_t>(length), 0) != 0) {
      carried = false;
    }
  }
  return carried;
}

}  // namespace

const char* describe(CommitStep step) {
  switch (step) {
    case CommitStep::kRefused:
      return "a change to it could not be verified, so it was not written";
    case CommitStep::kEdited:
      return "the edited hive could not be had from the child that edited it";
    case CommitStep::kDiffers:
      return "the edited hive is not the original less the removals asked for";
    case CommitStep::kReread:
      return "the hive could not be read again to verify the edited one";
    case CommitStep::kTemporary:
      return "no new file could be made beside it";
    case CommitStep::kWrite:
      return "writing the new hive failed";
    case CommitStep::kFlush:
      return "the new hive could not be flushed to the disk";
    case CommitStep::kVerify:
      return "the new hive did not read back as the hive verified";
    case CommitStep::kBackup:
      return "the original could not be kept as a backup";
    case CommitStep::kReplaced:
      return "the hive file was replaced by someone else meanwhile";
    case CommitStep::kRename:
      return "the new hive could not take the original's name";
    case CommitStep::kDone:
      return "replaced";
  }
  return "unknown step";
}

bool copyHive(int source, int target) { return copyFile(source, target); }

// --- The sandbox the hives share ---

HiveSandbox& defaultHiveSandbox() {
  static HiveSandbox sandbox;
  return sandbox;
}

void HiveSandbox::used(HiveFile* hive) {
  live_.remove(hive);
  live_.push_front(hive);
}

void HiveSandbox::ended(HiveFile* hive) { live_.remove(hive); }

void HiveSandbox::makeRoom(HiveFile* keep) {
  std::size_t limit = settings.liveEditors > 0 ? settings.liveEditors : 1;
  while (live_.size() >= limit) {
    HiveFile* oldest = live_.back();
    if (oldest == keep) {
      live_.pop_back();
      live_.push_front(keep);
      if (live_.size() == 1) return;
      continue;
    }
    live_.pop_back();
    oldest->park();
  }
}

// --- One hive ---

std::unique_ptr<HiveFile> HiveFile::open(RootedTree& tree, const std::string& folderPath,
                                         const char* name, OpenError& error, HiveSandbox& sandbox) {
  error = OpenError();
  std::unique_ptr<HiveFile> file(new HiveFile);
  file->tree_ = &tree;
  file->sandbox_ = &sandbox;
  file->folderPath_ = folderPath;
  file->name_ = name;
  file->path_ = folderPath.empty() ? file->name_ : folderPath + "\\" + file->name_;

  OnDisk disk;
  std::string why;
  if (!file->readFromDisk(disk, error, why)) return nullptr;
  sandbox.makeRoom(file.get());
  file->editorOutput_ = sealableMemoryFile("vandrel-edited-hive");
  if (!file->editorOutput_) {
    error.systemError = errno;
    return nullptr;
  }
  file->outputLimit_ = std::min(disk.length + kEditedGrowth, kLargestHive + kReadSlack);
  if (!file->editor_.start(SandboxChild::Role::kEditor, disk.copy.get(), file->editorOutput_.get(),
                           file->outputLimit_, disk.length, sandbox.settings, why)) {
    error.systemError = file->editor_.openError();
    if (error.systemError == 0) error.child = why;
    return nullptr;
  }
  sandbox.used(file.get());
  return file;
}

HiveFile::~HiveFile() {
  if (sandbox_ != nullptr) sandbox_->ended(this);
}

bool HiveFile::readFromDisk(OnDisk& disk, OpenError& error, std::string& why) {
  disk.folder = tree_->openFolder(folderPath_.c_str());
  if (!disk.folder) {
    error.tree = tree_->error();
    error.systemError = tree_->systemError();
    why = std::string("cannot be opened: ") + describe(error.tree);
    return false;
  }
  FileIdentity identity;
  std::string onDisk;
  disk.file = tree_->openFileIn(disk.folder.get(), name_.c_str(), identity, &onDisk);
  if (!disk.file) {
    error.tree = tree_->error();
    error.systemError = tree_->systemError();
    why = std::string("cannot be opened again: ") + describe(error.tree);
    return false;
  }
  if (!identityKnown_) {
    identity_ = identity;
    identityKnown_ = true;
    name_ = onDisk;
    path_ = folderPath_.empty() ? name_ : folderPath_ + "\\" + name_;
  } else if (!identity.sameFileAs(identity_)) {
    error.replaced = true;
    why = "the hive file was replaced by someone else meanwhile";
    return false;
  }
  std::uint64_t declared = 0;
  error.fault = checkHiveFile(disk.file.get(), &declared);
  if (error.fault != HiveFault::kNone) {
    why = std::string("left untouched: ") + describe(error.fault);
    return false;
  }
  // The header's own length, a little slack, never more than the file holds.
  disk.length = std::min(fileLength(disk.file.get()), declared + kReadSlack);
  disk.copy = sealedCopy(disk.file.get(), disk.length);
  bytesRead_ = disk.length;
  if (!disk.copy) {
    error.systemError = errno;
    why = std::string("cannot be read (") + std::strerror(errno) + ")";
    return false;
  }
  return true;
}

void HiveFile::report(const std::string& what) {
  // The cleanup asks again what it asked before: each problem is said once.
  if (!reported_.insert(what).second) return;
  if (sandbox_ != nullptr && sandbox_->report) {
    sandbox_->report(*this, what);
  } else {
    problems_.push_back(what);
  }
}

void HiveFile::fail(const std::string& what) {
  if (!spoiled_) report(what + "; the hive is left as it was");
  spoiled_ = true;
  editor_.stop();
  parked_.reset();
  if (sandbox_ != nullptr) sandbox_->ended(this);
}

void HiveFile::markSpoiled() {
  spoiled_ = true;
  editor_.stop();
  parked_.reset();
  if (sandbox_ != nullptr) sandbox_->ended(this);
}

bool HiveFile::ensureEditor() {
  if (spoiled_) return false;
  if (editor_.running()) {
    sandbox_->used(this);
    return true;
  }
  sandbox_->makeRoom(this);
  ScopedFd source;
  std::uint64_t length = 0;
  std::string why;
  if (parked_) {
    source = std::move(parked_);
    length = fileLength(source.get());
  } else {
    OnDisk disk;
    OpenError error;
    if (!readFromDisk(disk, error, why)) {
      fail(why);
      return false;
    }
    source = std::move(disk.copy);
    length = disk.length;
  }
  editorOutput_ = sealableMemoryFile("vandrel-edited-hive");
  if (!editorOutput_) {
    fail(std::string("no memory file for its editor (") + std::strerror(errno) + ")");
    return false;
  }
  outputLimit_ = std::min(length + kEditedGrowth, kLargestHive + kReadSlack);
  if (!editor_.start(SandboxChild::Role::kEditor, source.get(), editorOutput_.get(), outputLimit_,
                     length, sandbox_->settings, why)) {
    fail("its editor could not open it again: " + why);
    return false;
  }
  sandbox_->used(this);
  return true;
}

bool HiveFile::ask(const std::string& request, std::string& answer) {
  if (!ensureEditor()) return false;
  std::string why;
  if (!editor_.call(request, answer, why)) {
    fail("the child editing it failed: " + why);
    return false;
  }
  return true;
}

std::string keyPathText(const std::vector<std::string>& path) {
  if (path.empty()) return "the root key";
  std::string text;
  for (const std::string& component : path) text += (text.empty() ? "" : "\\") + component;
  return text;
}

template <typename Outcome>
bool HiveFile::answered(const hive_protocol::Reader& in, Outcome outcome, Outcome last) {
  if (in.done() && outcome <= last) return true;
  fail("the child editing it gave a malformed answer");
  return false;
}

void HiveFile::reportLookup(Lookup found, const std::string& what, const std::string& why) {
  if (found == Lookup::kFailed) report(what + " cannot be read: " + why);
  if (found == Lookup::kAmbiguous) report(what + " is not taken: " + why);
}

Lookup HiveFile::findKey(const std::vector<std::string>& path) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kFindKey).texts(path).bytes(), answer)) {
    return Lookup::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto found = static_cast<Lookup>(in.u8());
  std::string why = in.text();
  if (!answered(in, found, Lookup::kAmbiguous)) return Lookup::kFailed;
  reportLookup(found, "the key " + keyPathText(path), why);
  return found;
}

Lookup HiveFile::queryValue(const std::vector<std::string>& path, const std::string& name,
                            std::uint32_t& type, std::string& data) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kQueryValue).texts(path).text(name).bytes(),
           answer)) {
    return Lookup::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto found = static_cast<Lookup>(in.u8());
  std::uint32_t storedType = in.u32();
  std::string stored = in.text();
  std::string why = in.text();
  if (!answered(in, found, Lookup::kAmbiguous)) return Lookup::kFailed;
  reportLookup(found, "the value \"" + name + "\" of " + keyPathText(path), why);
  if (found == Lookup::kFound) {
    type = storedType;
    data = std::move(stored);
  }
  return found;
}

ValueRemoval HiveFile::removeValue(const std::vector<std::string>& path, const std::string& name) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kRemoveValue).texts(path).text(name).bytes(),
           answer)) {
    return ValueRemoval::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto removal = static_cast<ValueRemoval>(in.u8());
  std::string why = in.text();
  if (!answered(in, removal, ValueRemoval::kSpoiled)) return ValueRemoval::kFailed;
  switch (removal) {
    case ValueRemoval::kRemoved:
      changed_ = true;
      removals_.values.push_back({path, name});
      break;
    case ValueRemoval::kFailed:
      report("the value \"" + name + "\" of " + keyPathText(path) + " was kept: " + why);
      break;
    case ValueRemoval::kSpoiled:
      changed_ = true;
      break;
    default:
      break;
  }
  return removal;
}

int HiveFile::serviceKeyCount(const std::string& name) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kServiceCount).text(name).bytes(), answer)) {
    return -1;
  }
  hive_protocol::Reader in(answer);
  std::uint32_t count = in.u32();
  if (!answered(in, count, 1000u)) return -1;
  return static_cast<int>(count);
}

Lookup HiveFile::serviceImagePath(const std::string& name, std::string& imagePath) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kServiceImagePath).text(name).bytes(),
           answer)) {
    return Lookup::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto found = static_cast<Lookup>(in.u8());
  std::string stored = in.text();
  std::string why = in.text();
  if (!answered(in, found, Lookup::kFailed)) return Lookup::kFailed;
  if (found == Lookup::kFailed) {
    report("the ImagePath of the service \"" + name + "\" cannot be read: " + why);
  }
  if (found == Lookup::kFound) imagePath = std::move(stored);
  return found;
}

namespace {

// "ControlSetNNN\Services\<name>", any letter case: the only keys a service's deletion may take.
bool isServiceKeyPath(const std::vector<std::string>& path, const std::string& name) {
  auto same = [](const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && text::equalsIgnoringCase(a.c_str(), b);
  };
  if (path.size() != 3 || path[0].size() != 13) return false;
  std::string stem = path[0].substr(0, 10);
  if (!same(stem, "ControlSet")) return false;
  for (std::size_t at = 10; at < 13; ++at) {
    if (path[0][at] < '0' || path[0][at] > '9') return false;
  }
  return same(path[1], "Services") && same(path[2], name.c_str());
}

std::vector<std::string> splitStoredPath(const std::string& path) {
  std::vector<std::string> components;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find('\\', start);
    components.push_back(path.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return components;
    start = end + 1;
  }
}

}  // namespace

ServiceDeletion HiveFile::deleteService(const std::string& name, std::vector<std::string>& deleted,
                                        std::string& why) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kDeleteService).text(name).bytes(), answer)) {
    why = "its child failed";
    return ServiceDeletion::kSpoiled;
  }
  hive_protocol::Reader in(answer);
  auto deletion = static_cast<ServiceDeletion>(in.u8());
  std::vector<std::string> keys = in.texts();
  why = in.text();
  if (!answered(in, deletion, ServiceDeletion::kSpoiled)) {
    why = "its child failed";
    return ServiceDeletion::kSpoiled;
  }
  for (const std::string& key : keys) {
    std::vector<std::string> components = splitStoredPath(key);
    // A child that claims to have deleted anything else is not believed.
    if (!isServiceKeyPath(components, name)) {
      fail("the child editing it claims to have deleted " + key);
      why = "its child failed";
      return ServiceDeletion::kSpoiled;
    }
    changed_ = true;
    removals_.keys.push_back(components);
    deleted.push_back(key);
  }
  if (deletion == ServiceDeletion::kSpoiled) changed_ = true;
  return deletion;
}

Lookup HiveFile::findServiceKeys(const std::string& name) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kFindServiceKeys).text(name).bytes(),
           answer)) {
    return Lookup::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto found = static_cast<Lookup>(in.u8());
  std::string why = in.text();
  if (!answered(in, found, Lookup::kAmbiguous)) return Lookup::kFailed;
  reportLookup(found, "the key of the service \"" + name + "\"", why);
  return found;
}

bool HiveFile::editorIdentity(SandboxIdentity& identity) {
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kIdentity).bytes(), answer)) return false;
  hive_protocol::Reader in(answer);
  identity.uid = in.u32();
  identity.euid = in.u32();
  identity.suid = in.u32();
  identity.gid = in.u32();
  identity.egid = in.u32();
  identity.sgid = in.u32();
  identity.groups = in.u32();
  identity.noNewPrivileges = in.u8() != 0;
  identity.dumpable = in.u8() != 0;
  identity.regainedRoot = in.u8() != 0;
  identity.filtered = in.u8() != 0;
  identity.networkRefused = in.u8() != 0;
  std::uint64_t* limits[] = {&identity.addressSpace, &identity.stack,    &identity.cpu,
                             &identity.files,        &identity.fileSize, &identity.processes};
  for (std::uint64_t* limit : limits) {
    std::uint64_t low = in.u32();
    *limit = low | static_cast<std::uint64_t>(in.u32()) << 32;
  }
  return in.done();
}

bool HiveFile::takeEdited(ScopedFd& edited, std::string& why) {
  if (!editor_.running()) {
    if (!parked_) {
      why = "no edited hive is held";
      return false;
    }
    edited = std::move(parked_);
    return true;
  }
  std::string answer;
  bool asked = editor_.call(hive_protocol::Writer().u8(hive_protocol::kWrite).bytes(), answer, why);
  sandbox_->ended(this);
  if (!asked) return false;
  hive_protocol::Reader in(answer);
  bool written = in.u8() != 0;
  std::uint32_t error = in.u32();
  if (!in.done()) {
    editor_.stop();
    why = "its child gave a malformed answer";
    return false;
  }
  if (!editor_.finish(why)) return false;
  if (!written) {
    why = std::string("its child could not write it (") +
          std::strerror(error != 0 ? static_cast<int>(error) : EIO) + ")";
    return false;
  }
  // Nothing may change it from now on; then its size is what it is.
  if (!seal(editorOutput_.get())) {
    why = std::string("it could not be sealed (") + std::strerror(errno) + ")";
    return false;
  }
  std::uint64_t length = fileLength(editorOutput_.get());
  if (length < kHiveBaseBlockSize || length > outputLimit_) {
    why = "its child wrote a hive of " + std::to_string(length) + " bytes";
    return false;
  }
  edited = std::move(editorOutput_);
  return true;
}

bool HiveFile::park() {
  if (!editor_.running()) return true;
  if (!changed_ || spoiled_) {
    editor_.stop();
    sandbox_->ended(this);
    return true;
  }
  std::string why;
  ScopedFd edited;
  if (!takeEdited(edited, why)) {
    fail("the child editing it failed when it was set aside: " + why);
    return false;
  }
  parked_ = std::move(edited);
  return true;
}

void HiveFile::discardChanges() {
  editor_.stop();
  if (sandbox_ != nullptr) sandbox_->ended(this);
  parked_.reset();
  changed_ = false;
  spoiled_ = false;
  removals_ = HiveRemovals();
}

ScopedFd HiveFile::copyOfEdited() {
  if (!changed_) {
    OnDisk disk;
    OpenError error;
    std::string why;
    if (!readFromDisk(disk, error, why)) return ScopedFd();
    return std::move(disk.copy);
  }
  if (!park() || !parked_) return ScopedFd();
  return ScopedFd(fcntl(parked_.get(), F_DUPFD_CLOEXEC, 0));
}

bool HiveFile::verify(int original, std::uint64_t originalLength, int edited,
                      std::uint64_t editedLength, std::string& why) {
  SandboxChild verifier;
  if (!verifier.start(SandboxChild::Role::kVerifier, original, edited, 0,
                      originalLength + editedLength, sandbox_->settings, why)) {
    return false;
  }
  hive_protocol::Writer request;
  request.u8(hive_protocol::kVerify);
  request.u32(static_cast<std::uint32_t>(removals_.values.size()));
  for (const HiveRemovals::Value& value : removals_.values)
    request.texts(value.key).text(value.name);
  request.u32(static_cast<std::uint32_t>(removals_.keys.size()));
  for (const std::vector<std::string>& key : removals_.keys) request.texts(key);
  std::string answer;
  if (!verifier.call(request.bytes(), answer, why)) {
    why = "the verifying " + why.substr(why.find("child"));
    return false;
  }
  hive_protocol::Reader in(answer);
  bool same = in.u8() != 0;
  std::string difference = in.text();
  if (!in.done()) {
    why = "the verifying child gave a malformed answer";
    return false;
  }
  if (!verifier.finish(why)) {
    why = "the verifying " + why.substr(why.find("child"));
    return false;
  }
  if (!same) {
    why = difference;
    return false;
  }
  return true;
}

bool HiveFile::keepBackup(int folder, int file, const std::string& date, std::string& backupName,
                          int& systemError) {
  const std::string stem = name_ + ".vandrel-" + date;
  for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
    std::string candidate = numbered(stem, attempt);
    // A second name for the very file that was read: no copy to go wrong, and linkat never
    // replaces an existing name.
    if (linkat(AT_FDCWD, descriptorPath(file).c_str(), folder, candidate.c_str(),
               AT_SYMLINK_FOLLOW) == 0) {
      struct stat status;
      if (fstatat(folder, candidate.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          identity_.sameFileAs({status.st_dev, status.st_ino, status.st_nlink})) {
        backupName = candidate;
        return true;
      }
      systemError = EIO;
      return false;
    }
    if (errno == EEXIST) continue;
    // The file system keeps no second names (or /proc is missing): copy the bytes that were read
    // into a file of our own.
    MadeFile copy(folder);
    ScopedFd target(openat(folder, candidate.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!target && errno == EEXIST) continue;
    if (!target) {
      systemError = errno;
      return false;
    }
    copy.made(candidate);
    if (!copyFile(file, target.get()) || !flush(target.get())) {
      systemError = errno;
      return false;
    }
    copy.keep();
    backupName = candidate;
    return true;
  }
  systemError = EEXIST;
  return false;
}

CommitResult HiveFile::commit(const CommitOptions& options) {
  CommitResult result;
  if (spoiled_) {
    result.step = CommitStep::kRefused;
    return result;
  }
  auto failAt = [&result](CommitStep step) {
    result.step = step;
    result.systemError = errno;
    return result;
  };

  ScopedFd edited;
  if (!takeEdited(edited, result.detail)) {
    markSpoiled();
    result.step = CommitStep::kEdited;
    return result;
  }
  // Held again, whatever happens below: a commit that fails on the way may be tried again.
  struct KeepEdited {
    ScopedFd& edited;
    ScopedFd& parked;
    const bool& spoiled;
    ~KeepEdited() {
      if (edited && !spoiled) parked = std::move(edited);
    }
  } keepEdited{edited, parked_, spoiled_};

  std::uint64_t editedLength = fileLength(edited.get());
  if (checkHiveFile(edited.get()) != HiveFault::kNone) {
    result.detail = "its header does not pass the checks";
    markSpoiled();
    result.step = CommitStep::kDiffers;
    return result;
  }
  OnDisk original;
  OpenError openError;
  std::string why;
  errno = 0;
  if (!readFromDisk(original, openError, why)) {
    if (openError.replaced) return failAt(CommitStep::kReplaced);
    result.detail = why;
    return failAt(CommitStep::kReread);
  }
  if (!verify(original.copy.get(), original.length, edited.get(), editedLength, result.detail)) {
    markSpoiled();
    result.step = CommitStep::kDiffers;
    return result;
  }

  const int folder = original.folder.get();
  MadeFile temporary(folder);
  ScopedFd written;
  for (int attempt = 1; attempt <= kNameAttempts && !written; ++attempt) {
    std::string candidate = numbered(name_ + ".vandrel-new", attempt);
    written.reset(openat(folder, candidate.c_str(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (written) temporary.made(candidate);
    if (!written && errno != EEXIST) break;
  }
  if (!written) return failAt(CommitStep::kTemporary);

  HiveWriter writer = options.writer != nullptr ? options.writer : copyHive;
  if (!writer(edited.get(), written.get())) return failAt(CommitStep::kWrite);
  // Before the flush, so that what the file is goes to the disk with what it holds.
  result.attributesCarried = carryAttributes(original.file.get(), written.get());
  if (!flush(written.get())) return failAt(CommitStep::kFlush);
  errno = 0;
  if (checkHiveFile(written.get()) != HiveFault::kNone || !sameBytes(written.get(), edited.get())) {
    return failAt(CommitStep::kVerify);
  }

  MadeFile backup(folder);
  if (options.keepBackup) {
    std::string date = options.date.empty() ? today() : options.date;
    int systemError = EINVAL;
    if (!isDate(date) ||
        !keepBackup(folder, original.file.get(), date, result.backupName, systemError)) {
      errno = systemError;
      return failAt(CommitStep::kBackup);
    }
    backup.made(result.backupName);
  }

  errno = 0;
  struct stat status;
  if (fstatat(folder, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(status.st_mode) ||
      !identity_.sameFileAs({status.st_dev, status.st_ino, status.st_nlink})) {
    return failAt(CommitStep::kReplaced);
  }
  if (renameat(folder, temporary.name().c_str(), folder, name_.c_str()) != 0) {
    return failAt(CommitStep::kRename);
  }
  temporary.keep();
  backup.keep();
  // Some file systems cannot flush a folder; the rename has happened either way.
  result.folderFlushed = flush(folder) || errno == EINVAL || errno == ENOTSUP;

  // From now on the hive is the file just written; its next editor reads it from there.
  if (fstat(written.get(), &status) == 0)
    identity_ = {status.st_dev, status.st_ino, status.st_nlink};
  edited.reset();
  changed_ = false;
  removals_ = HiveRemovals();
  result.step = CommitStep::kDone;
  return result;
}

}  // namespace platform::offline
