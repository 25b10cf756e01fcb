// The unprivileged children that do all the rescue's work with hivex (see ../shared ANCHORS.md,
// section 7). A child is forked, moves the descriptors it is given to 3 (a socket to the parent),
// 4 and 5 (memory files), closes every other, opens what hivex needs later (the character-set
// converters) and then gives up root for good: setgroups, setresgid and setresuid to
// kSandboxId, each verified, no way back to root; not dumpable, no new privileges, limits on its
// address space, stack, processor time, open files, file size and processes, and (on x86-64) a
// system call filter that refuses the network, running programs, new processes and identity
// changes. Only then does it read a hive, from the sealed memory file it was given.
//
// Two kinds of child:
// - an editor holds one hive (opened from descriptor 4) and answers requests over the socket:
//   look-ups, removals, and finally the edited hive, written to descriptor 5;
// - a verifier compares an original (4) with an edited hive (5) and the removals asked for.
// The parent waits for each answer with a wall-clock timeout, then kills; any signal, a
// non-zero exit, or a missing, oversized or malformed answer is a failure, described by
// SandboxChild's `why`.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/hive_editor.h"
#include "platform/offline/scoped_fd.h"

namespace platform::offline {

// The user and group the children run as: a dedicated id that no account uses, just below the
// top of the positive 32-bit range (so that no tool takes it for a negative number), far from
// the ranges distributions hand out and from "nobody" (65534), whose files the child must not
// reach.
constexpr std::uint32_t kSandboxId = 2147483646;

// For tests: what an editor child does wrong when asked for the edited hive.
enum class SandboxFault {
  kNone,
  kCrash,     // dies of SIGSEGV
  kAbort,     // abort(), as a failed assertion in hivex does
  kHang,      // never answers
  kDisagree,  // writes a hive with a key added that no one asked for
};

struct SandboxSettings {
  // How long the parent waits for any one answer (or for the verification) before it kills.
  int timeoutSeconds = 300;
  // The processor time a child may use in all.
  unsigned cpuSeconds = 900;
  // Editor children alive at once; others are ended (their changes kept in a memory file) and
  // started again when their hive is needed. Each costs the parent two descriptors. The cleanup
  // visits every hive in turn, so an installation with more hives than this has them read again
  // at each turn: enough for the machine's hives and a couple of dozen users.
  std::size_t liveEditors = 32;
  SandboxFault fault = SandboxFault::kNone;
};

// What a child says about itself (for tests of the sandbox).
struct SandboxIdentity {
  std::uint32_t uid = 0, euid = 0, suid = 0, gid = 0, egid = 0, sgid = 0;
  std::uint32_t groups = 0;
  bool noNewPrivileges = false;
  bool dumpable = true;
  bool regainedRoot = true;     // setuid(0) or setgid(0) succeeded
  bool filtered = false;        // a system call filter is loaded
  bool networkRefused = false;  // a network socket cannot be made
  std::uint64_t addressSpace = 0, stack = 0, cpu = 0, files = 0, fileSize = 0, processes = 0;
};

// A memory file (memfd) holding the first `length` bytes of `fd`, sealed against any change.
// Invalid on failure (errno set).
ScopedFd sealedCopy(int fd, std::uint64_t length);
// A memory file that may be sealed later; invalid on failure.
ScopedFd sealableMemoryFile(const char* name);
// Seals a memory file against writing, growing, shrinking and further seals.
bool seal(int fd);

class SandboxChild {
 public:
  enum class Role { kEditor, kVerifier };

  SandboxChild() = default;
  ~SandboxChild();
  SandboxChild(const SandboxChild&) = delete;
  SandboxChild& operator=(const SandboxChild&) = delete;

  // Starts a child. An editor opens the hive in `first` and answers whether it could; a
  // verifier opens `first` and `second` when asked. `outputLimit` bounds what the child may
  // write; `hiveBytes` sizes its address space.
  bool start(Role role, int first, int second, std::uint64_t outputLimit, std::uint64_t hiveBytes,
             const SandboxSettings& settings, std::string& why);
  // For an editor: the errno of a hive hivex could not open (after start() failed), else 0.
  int openError() const { return openError_; }

  // Sends one request and receives its answer.
  bool call(const std::string& request, std::string& answer, std::string& why);
  // Waits (at most the timeout) for the child to end after its last answer; true when it ended
  // with status 0.
  bool finish(std::string& why);
  // Ends the child now, if it is running.
  void stop();

  bool running() const { return pid_ > 0; }

 private:
  // Reaps the child within `milliseconds`, killing it after; how it ended.
  std::string reap(int milliseconds, bool& exitedCleanly);

  pid_t pid_ = -1;
  ScopedFd socket_;
  int timeoutMs_ = 0;
  int openError_ = 0;
};

// The messages between the parent and an editor or verifier. Each request is built by one of
// these and read back by the child; answers likewise.
namespace hive_protocol {

enum Operation : std::uint8_t {
  kFindKey = 'K',
  kQueryValue = 'Q',
  kRemoveValue = 'R',
  kServiceCount = 'C',
  kServiceImagePath = 'I',
  kDeleteService = 'D',
  kFindServiceKeys = 'S',
  kWrite = 'W',
  kIdentity = 'P',
  kVerify = 'V',
  kListSubkeys = 'L',
  kQueryText = 'T',
};

class Writer {
 public:
  Writer& u8(std::uint8_t value);
  Writer& u32(std::uint32_t value);
  Writer& text(const std::string& value);
  Writer& texts(const std::vector<std::string>& values);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Reads what a Writer wrote; every read fails once anything is out of bounds, and then stays
// failed.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  std::uint8_t u8();
  std::uint32_t u32();
  std::string text();
  std::vector<std::string> texts();
  bool ok() const { return ok_; }
  // True when everything was read and nothing is left over.
  bool done() const { return ok_ && at_ == bytes_.size(); }

 private:
  bool take(std::size_t count);
  const std::string& bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace hive_protocol

}  // namespace platform::offline
