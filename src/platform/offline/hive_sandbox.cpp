#include "platform/offline/hive_sandbox.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/syscall.h>
#include <iconv.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#if defined(__SANITIZE_ADDRESS__)
#define VANDREL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANDREL_ADDRESS_SANITIZER 1
#endif
#endif

namespace platform::offline {
namespace {

// The descriptors a child works with.
constexpr int kChildSocket = 3;
constexpr int kChildFirst = 4;
constexpr int kChildSecond = 5;
// The most descriptors a child may have open: its own three and the standard ones, hivex's own
// opens of its files, and some to spare; below the limit, any number is usable.
constexpr rlim_t kChildFiles = 16;
constexpr rlim_t kChildStack = 8 * 1024 * 1024;
// Address space for the C library, hivex and the child's own tables, beside the hive copies.
constexpr std::uint64_t kChildBaseAddressSpace = 512ull * 1024 * 1024;

// How a child that could not become a sandboxed child ends.
constexpr int kExitSetup = 120;
constexpr int kExitPrivileges = 121;
constexpr int kExitLimits = 122;

// Answers longer than this are taken as malformed.
constexpr std::uint32_t kLongestMessage = 64u * 1024 * 1024;

// --- Messages: a 32-bit length, then the bytes ---

bool writeAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    ssize_t sent = send(fd, bytes, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool sendMessage(int fd, const std::string& message) {
  std::uint32_t length = static_cast<std::uint32_t>(message.size());
  char header[4];
  for (int i = 0; i < 4; ++i) header[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  return writeAll(fd, header, sizeof header) && writeAll(fd, message.data(), message.size());
}

enum class Received { kMessage, kEnd, kTimeout, kMalformed };

long long nowMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Reads exactly `length` bytes before `deadline` (milliseconds of CLOCK_MONOTONIC; negative:
// none).
Received readExactly(int fd, char* bytes, std::size_t length, long long deadline) {
  while (length > 0) {
    if (deadline >= 0) {
      long long left = deadline - nowMs();
      if (left <= 0) return Received::kTimeout;
      struct pollfd wait = {fd, POLLIN, 0};
      int ready = poll(&wait, 1, static_cast<int>(left > 60000 ? 60000 : left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return Received::kEnd;
      if (ready == 0) continue;
    }
    ssize_t got = recv(fd, bytes, length, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return Received::kEnd;
    bytes += got;
    length -= static_cast<std::size_t>(got);
  }
  return Received::kMessage;
}

Received receiveMessage(int fd, std::string& message, long long deadline) {
  unsigned char header[4];
  Received got = readExactly(fd, reinterpret_cast<char*>(header), sizeof header, deadline);
  if (got != Received::kMessage) return got;
  std::uint32_t length = static_cast<std::uint32_t>(header[0]) | header[1] << 8 | header[2] << 16 |
                         static_cast<std::uint32_t>(header[3]) << 24;
  if (length > kLongestMessage) return Received::kMalformed;
  message.assign(length, '\0');
  got = readExactly(fd, &message[0], length, deadline);
  return got == Received::kEnd ? Received::kMalformed : got;
}

// --- The child: becoming unprivileged ---

bool setLimit(int resource, std::uint64_t wanted) {
  struct rlimit limit;
  if (getrlimit(resource, &limit) != 0) return false;
  rlim_t value = static_cast<rlim_t>(wanted);
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < value) value = limit.rlim_max;
  limit.rlim_cur = value;
  limit.rlim_max = value;
  return setrlimit(resource, &limit) == 0;
}

// hivex converts names through iconv, opening each converter on first use, which loads the C
// library's conversion modules from the disk. Opened here, before anything is given up, the
// modules stay loaded for hivex's own opens (the handles are kept on purpose).
void loadConverters() {
  static const char* const kPairs[][2] = {
      {"UTF-8", "LATIN1"},   {"LATIN1", "UTF-8"},     {"UTF-8", "UTF-16LE"},
      {"UTF-16LE", "UTF-8"}, {"UTF-8", "ISO-8859-1"}, {"ISO-8859-1", "UTF-8"},
  };
  for (const auto& pair : kPairs) (void)iconv_open(pair[0], pair[1]);
}

// Gives up root for good: no supplementary groups, then the group, then the user, each checked,
// and root must not be regainable. A child of a parent that is not root keeps its identity (it
// has nothing to give up) and everything else below still applies.
bool dropPrivileges() {
  if (geteuid() != 0 && getuid() != 0) return true;
  const gid_t gid = kSandboxId;
  const uid_t uid = kSandboxId;
  if (setgroups(1, &gid) != 0) return false;
  if (setresgid(gid, gid, gid) != 0) return false;
  if (setresuid(uid, uid, uid) != 0) return false;
  uid_t ruid, euid, suid;
  gid_t rgid, egid, sgid;
  if (getresuid(&ruid, &euid, &suid) != 0 || getresgid(&rgid, &egid, &sgid) != 0) return false;
  if (ruid != uid || euid != uid || suid != uid || rgid != gid || egid != gid || sgid != gid) {
    return false;
  }
  gid_t groups[2];
  int count = getgroups(2, groups);
  if (count < 0 || count > 1 || (count == 1 && groups[0] != gid)) return false;
  if (setuid(0) == 0 || seteuid(0) == 0 || setgid(0) == 0) return false;
  return true;
}

bool limitChild(std::uint64_t outputLimit, std::uint64_t addressSpace, unsigned cpuSeconds) {
  bool limited = true;
#ifndef VANDREL_ADDRESS_SANITIZER
  // AddressSanitizer reserves terabytes of address space for its shadow memory: under it (the
  // test builds) the address space is not limited; every other limit is.
  limited = setLimit(RLIMIT_AS, addressSpace) && limited;
#else
  (void)addressSpace;
#endif
  limited = setLimit(RLIMIT_STACK, kChildStack) && limited;
  limited = setLimit(RLIMIT_CPU, cpuSeconds) && limited;
  limited = setLimit(RLIMIT_NOFILE, kChildFiles) && limited;
  limited = setLimit(RLIMIT_FSIZE, outputLimit) && limited;
  limited = setLimit(RLIMIT_NPROC, 0) && limited;
  limited = setLimit(RLIMIT_CORE, 0) && limited;
  return limited;
}

// A system call filter (seccomp) that refuses, with EPERM, what a child reading a hive never
// needs and what a child taken over by a hostile hive would want: the network, running programs
// or processes, changing identity or name spaces, debugging other processes, and the kernel's
// rarer interfaces. Everything else is allowed: hivex, the C library and the sanitizers need
// far more than is worth listing, and the child's privileges are gone already. Refusing rather
// than killing lets a test ask what is refused. x86-64 only: elsewhere no filter is loaded.
bool filterSystemCalls() {
#if defined(__x86_64__)
  static const int kRefused[] = {
      SYS_socket,
      SYS_socketpair,
      SYS_connect,
      SYS_bind,
      SYS_listen,
      SYS_accept,
      SYS_accept4,
      SYS_execve,
      SYS_execveat,
      SYS_fork,
      SYS_vfork,
      SYS_clone,
      SYS_clone3,
      SYS_ptrace,
      SYS_process_vm_readv,
      SYS_process_vm_writev,
      SYS_setuid,
      SYS_setgid,
      SYS_setreuid,
      SYS_setregid,
      SYS_setresuid,
      SYS_setresgid,
      SYS_setgroups,
      SYS_setfsuid,
      SYS_setfsgid,
      SYS_capset,
      SYS_unshare,
      SYS_setns,
      SYS_mount,
      SYS_umount2,
      SYS_chroot,
      SYS_pivot_root,
      SYS_bpf,
      SYS_keyctl,
      SYS_add_key,
      SYS_request_key,
      SYS_perf_event_open,
      SYS_userfaultfd,
      SYS_io_uring_setup,
      SYS_personality,
      SYS_init_module,
      SYS_finit_module,
      SYS_delete_module,
      SYS_kexec_load,
      SYS_reboot,
      SYS_swapon,
      SYS_swapoff,
      SYS_acct,
  };
  constexpr std::size_t kCount = sizeof kRefused / sizeof kRefused[0];
  std::vector<struct sock_filter> program;
  // Another architecture's calls, or the x32 numbers, are refused outright.
  program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)));
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
  program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)));
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
  for (std::size_t i = 0; i < kCount; ++i) {
    // Equal: jump to the refusal after the remaining comparisons and the allowance.
    auto toRefusal = static_cast<unsigned char>(kCount - i);
    program.push_back(
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(kRefused[i]), toRefusal, 0));
  }
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)));
  struct sock_fprog filter = {static_cast<unsigned short>(program.size()), program.data()};
  if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0) return true;
  // A kernel built without filters: the child goes on with what it has given up already.
  return errno == EINVAL;
#else
  return true;
#endif
}

std::uint64_t currentLimit(int resource) {
  struct rlimit limit;
  if (getrlimit(resource, &limit) != 0) return 0;
  return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : limit.rlim_cur;
}

// --- The child: its work ---

using hive_protocol::Reader;
using hive_protocol::Writer;

std::string identityAnswer() {
  uid_t ruid = 0, euid = 0, suid = 0;
  gid_t rgid = 0, egid = 0, sgid = 0;
  getresuid(&ruid, &euid, &suid);
  getresgid(&rgid, &egid, &sgid);
  bool regained = setuid(0) == 0 || setgid(0) == 0;
  errno = 0;
  int network = socket(AF_INET, SOCK_STREAM, 0);
  bool networkRefused = network < 0 && errno == EPERM;
  if (network >= 0) close(network);
  Writer answer;
  answer.u32(ruid).u32(euid).u32(suid).u32(rgid).u32(egid).u32(sgid);
  answer.u32(static_cast<std::uint32_t>(getgroups(0, nullptr)));
  answer.u8(prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) == 1);
  answer.u8(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0);
  answer.u8(regained);
  answer.u8(prctl(PR_GET_SECCOMP, 0, 0, 0, 0) == 2);
  answer.u8(networkRefused);
  for (int resource :
       {RLIMIT_AS, RLIMIT_STACK, RLIMIT_CPU, RLIMIT_NOFILE, RLIMIT_FSIZE, RLIMIT_NPROC}) {
    std::uint64_t limit = currentLimit(resource);
    answer.u32(static_cast<std::uint32_t>(limit)).u32(static_cast<std::uint32_t>(limit >> 32));
  }
  return answer.bytes();
}

// What the editor does wrong instead of writing the hive, for tests.
void misbehave(HiveEditor& editor, SandboxFault fault) {
  switch (fault) {
    case SandboxFault::kNone:
      return;
    case SandboxFault::kCrash:
      std::signal(SIGSEGV, SIG_DFL);
      std::raise(SIGSEGV);
      _exit(kExitSetup);
    case SandboxFault::kAbort:
      std::abort();
    case SandboxFault::kHang:
      for (;;) pause();
    case SandboxFault::kDisagree:
      hivex_node_add_child(editor.hive(), hivex_root(editor.hive()), "Vandrel fault");
      return;
  }
}

int runEditor(SandboxFault fault) {
  int error = 0;
  std::unique_ptr<HiveEditor> editor = HiveEditor::open(kChildFirst, kChildSecond, error);
  if (!sendMessage(kChildSocket, Writer().u8(editor != nullptr).u32(error).bytes())) return 1;
  if (!editor) return 0;
  std::string request;
  while (receiveMessage(kChildSocket, request, -1) == Received::kMessage) {
    Reader in(request);
    Writer out;
    std::string why;
    auto operation = static_cast<hive_protocol::Operation>(in.u8());
    switch (operation) {
      case hive_protocol::kFindKey: {
        std::vector<std::string> path = in.texts();
        if (!in.done()) return 1;
        Lookup found = editor->findKey(path, why);
        out.u8(static_cast<std::uint8_t>(found)).text(why);
        break;
      }
      case hive_protocol::kQueryValue: {
        std::vector<std::string> path = in.texts();
        std::string name = in.text();
        if (!in.done()) return 1;
        std::uint32_t type = 0;
        std::string data;
        Lookup found = editor->queryValue(path, name, type, data, why);
        out.u8(static_cast<std::uint8_t>(found)).u32(type).text(data).text(why);
        break;
      }
      case hive_protocol::kRemoveValue: {
        std::vector<std::string> path = in.texts();
        std::string name = in.text();
        if (!in.done()) return 1;
        ValueRemoval removal = editor->removeValue(path, name, why);
        out.u8(static_cast<std::uint8_t>(removal)).text(why);
        break;
      }
      case hive_protocol::kServiceCount: {
        std::string name = in.text();
        if (!in.done()) return 1;
        out.u32(static_cast<std::uint32_t>(editor->serviceKeyCount(name)));
        break;
      }
      case hive_protocol::kServiceImagePath: {
        std::string name = in.text();
        if (!in.done()) return 1;
        std::string path;
        Lookup found = editor->serviceImagePath(name, path, why);
        out.u8(static_cast<std::uint8_t>(found)).text(path).text(why);
        break;
      }
      case hive_protocol::kFindServiceKeys: {
        std::string name = in.text();
        if (!in.done()) return 1;
        Lookup found = editor->findServiceKeys(name, why);
        out.u8(static_cast<std::uint8_t>(found)).text(why);
        break;
      }
      case hive_protocol::kDeleteService: {
        std::string name = in.text();
        if (!in.done()) return 1;
        std::vector<std::string> deleted;
        ServiceDeletion deletion = editor->deleteService(name, deleted, why);
        out.u8(static_cast<std::uint8_t>(deletion)).texts(deleted).text(why);
        break;
      }
      case hive_protocol::kListSubkeys: {
        std::vector<std::string> path = in.texts();
        std::uint32_t most = in.u32();
        if (!in.done()) return 1;
        std::vector<std::string> names;
        std::uint32_t total = 0;
        Lookup found = editor->subkeyNames(path, most, names, total, why);
        out.u8(static_cast<std::uint8_t>(found)).u32(total).texts(names).text(why);
        break;
      }
      case hive_protocol::kQueryText: {
        std::vector<std::string> path = in.texts();
        std::string name = in.text();
        std::uint32_t longest = in.u32();
        if (!in.done()) return 1;
        std::uint32_t type = 0;
        std::string text;
        Lookup found = editor->queryText(path, name, longest, type, text, why);
        out.u8(static_cast<std::uint8_t>(found)).u32(type).text(text).text(why);
        break;
      }
      case hive_protocol::kWrite: {
        if (!in.done()) return 1;
        misbehave(*editor, fault);
        errno = 0;
        bool written = editor->serialise(kChildSecond);
        out.u8(written).u32(written ? 0 : static_cast<std::uint32_t>(errno));
        return sendMessage(kChildSocket, out.bytes()) && written ? 0 : 1;
      }
      case hive_protocol::kIdentity:
        if (!in.done()) return 1;
        out = Writer();
        sendMessage(kChildSocket, identityAnswer());
        continue;
      default:
        return 1;
    }
    if (!sendMessage(kChildSocket, out.bytes())) return 1;
  }
  return 0;
}

struct HiveHandle {
  hive_h* hive = nullptr;
  ~HiveHandle() {
    if (hive != nullptr) hivex_close(hive);
  }
};

int runVerifier() {
  std::string request;
  if (receiveMessage(kChildSocket, request, -1) != Received::kMessage) return 1;
  Reader in(request);
  if (in.u8() != hive_protocol::kVerify) return 1;
  HiveRemovals removals;
  std::uint32_t values = in.u32();
  for (std::uint32_t i = 0; i < values && in.ok(); ++i) {
    HiveRemovals::Value value;
    value.key = in.texts();
    value.name = in.text();
    removals.values.push_back(std::move(value));
  }
  std::uint32_t keys = in.u32();
  for (std::uint32_t i = 0; i < keys && in.ok(); ++i) removals.keys.push_back(in.texts());
  if (!in.done()) return 1;

  std::string why;
  HiveHandle original;
  HiveHandle edited;
  original.hive = hivex_open("/proc/self/fd/4", 0);
  edited.hive = hivex_open("/proc/self/fd/5", 0);
  bool same = false;
  if (original.hive == nullptr) {
    why = "hivex cannot read the original again";
  } else if (edited.hive == nullptr) {
    why = "hivex cannot read the edited hive";
  } else {
    same = sameHiveLessRemovals(original.hive, edited.hive, removals, why);
  }
  return sendMessage(kChildSocket, Writer().u8(same).text(why).bytes()) ? 0 : 1;
}

[[noreturn]] void becomeChild(SandboxChild::Role role, int socketFd, int first, int second,
                              std::uint64_t outputLimit, std::uint64_t addressSpace,
                              const SandboxSettings& settings) {
  // The descriptors it keeps, first out of the way of their places, then in them.
  int kept[3] = {socketFd, first, second};
  int moved[3] = {-1, -1, -1};
  for (int i = 0; i < 3; ++i) {
    if (kept[i] >= 0 && (moved[i] = fcntl(kept[i], F_DUPFD, 10)) < 0) _exit(kExitSetup);
  }
  int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0) _exit(kExitSetup);
  for (int i = 0; i < 3; ++i) {
    if (moved[i] >= 0 && dup2(moved[i], kChildSocket + i) < 0) _exit(kExitSetup);
  }
  // Standard error stays: it is where hivex and the C library say why they abort.
  if (close_range(kChildSecond + 1, ~0U, 0) != 0) {
    for (int fd = kChildSecond + 1; fd < 65536; ++fd) close(fd);
  }
  for (int i = 0; i < 3; ++i) {
    if (moved[i] < 0) close(kChildSocket + i);
  }
  std::signal(SIGPIPE, SIG_DFL);
  // Beyond the file-size limit a write fails (EFBIG) instead of killing the child.
  std::signal(SIGXFSZ, SIG_IGN);

  loadConverters();
  if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) _exit(kExitSetup);
  if (!dropPrivileges()) _exit(kExitPrivileges);
  if (!limitChild(outputLimit, addressSpace, settings.cpuSeconds)) _exit(kExitLimits);
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) != 1) {
    _exit(kExitLimits);
  }
  if (!filterSystemCalls()) _exit(kExitLimits);
  _exit(role == SandboxChild::Role::kEditor ? runEditor(settings.fault) : runVerifier());
}

std::string describeEnd(int status) {
  if (WIFEXITED(status)) {
    switch (WEXITSTATUS(status)) {
      case 0:
        return "ended";
      case kExitSetup:
        return "could not be set up";
      case kExitPrivileges:
        return "could not give up root";
      case kExitLimits:
        return "could not limit itself";
      default:
        return "ended with status " + std::to_string(WEXITSTATUS(status));
    }
  }
  if (WIFSIGNALED(status)) {
    int signal = WTERMSIG(status);
    std::string number = " (signal " + std::to_string(signal) + ")";
    switch (signal) {
      case SIGABRT:
        return "aborted" + number;
      case SIGSEGV:
      case SIGBUS:
      case SIGILL:
      case SIGFPE:
        return "crashed" + number;
      case SIGXCPU:
        return "ran out of processor time" + number;
      case SIGKILL:
        return "was killed" + number;
      default:
        return "was ended by a signal" + number;
    }
  }
  return "ended in an unknown way";
}

}  // namespace

// --- Memory files ---

ScopedFd sealableMemoryFile(const char* name) {
  return ScopedFd(memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING));
}

bool seal(int fd) {
  return fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) == 0;
}

ScopedFd sealedCopy(int fd, std::uint64_t length) {
  ScopedFd copy = sealableMemoryFile("vandrel-hive");
  if (!copy) return copy;
  char buffer[64 * 1024];
  std::uint64_t at = 0;
  while (at < length) {
    std::size_t want =
        length - at < sizeof buffer ? static_cast<std::size_t>(length - at) : sizeof buffer;
    ssize_t got = pread(fd, buffer, want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      return ScopedFd();
    }
    for (ssize_t put = 0; put < got;) {
      ssize_t wrote = write(copy.get(), buffer + put, static_cast<std::size_t>(got - put));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return ScopedFd();
      put += wrote;
    }
    at += static_cast<std::uint64_t>(got);
  }
  if (!seal(copy.get())) return ScopedFd();
  return copy;
}

// --- The parent's side ---

SandboxChild::~SandboxChild() { stop(); }

bool SandboxChild::start(Role role, int first, int second, std::uint64_t outputLimit,
                         std::uint64_t hiveBytes, const SandboxSettings& settings,
                         std::string& why) {
  stop();
  openError_ = 0;
  timeoutMs_ = settings.timeoutSeconds * 1000;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    why = std::string("no socket for its child (") + std::strerror(errno) + ")";
    return false;
  }
  ScopedFd mine(ends[0]);
  ScopedFd theirs(ends[1]);
  std::uint64_t addressSpace = kChildBaseAddressSpace + 6 * hiveBytes;
  pid_t pid = fork();
  if (pid < 0) {
    why = std::string("its child could not be started (") + std::strerror(errno) + ")";
    return false;
  }
  if (pid == 0) {
    becomeChild(role, theirs.get(), first, second, outputLimit, addressSpace, settings);
  }
  pid_ = pid;
  socket_ = std::move(mine);
  if (role == Role::kVerifier) return true;

  std::string ready;
  if (!call("", ready, why)) return false;
  Reader answer(ready);
  bool opened = answer.u8() != 0;
  std::uint32_t error = answer.u32();
  if (!answer.done()) {
    stop();
    why = "its child gave a malformed answer";
    return false;
  }
  if (!opened) {
    openError_ = error != 0 ? static_cast<int>(error) : EINVAL;
    bool clean = false;
    reap(timeoutMs_, clean);
    why = std::string("hivex cannot read it (") + std::strerror(openError_) + ")";
    return false;
  }
  return true;
}

std::string SandboxChild::reap(int milliseconds, bool& exitedCleanly) {
  exitedCleanly = false;
  if (pid_ <= 0) return "was not running";
  socket_.reset();
  long long deadline = nowMs() + milliseconds;
  int status = 0;
  pid_t reaped = 0;
  // A child just killed or told to end is usually gone within a fraction of a millisecond: the
  // pauses start short and grow, so that ending the run's many children costs little, yet a
  // child that takes its time is not polled without rest.
  long pauseNs = 50 * 1000;
  while ((reaped = waitpid(pid_, &status, WNOHANG)) == 0 && nowMs() < deadline) {
    struct timespec pause = {0, pauseNs};
    nanosleep(&pause, nullptr);
    if (pauseNs < 5 * 1000 * 1000) pauseNs *= 2;
  }
  std::string end;
  if (reaped == 0) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    end = "did not end within " + std::to_string(milliseconds / 1000) + " s and was killed";
  } else if (reaped < 0) {
    end = "could not be waited for";
  } else {
    end = describeEnd(status);
    exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  pid_ = -1;
  return end;
}

void SandboxChild::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  bool clean = false;
  reap(timeoutMs_ > 0 ? timeoutMs_ : 1000, clean);
}

bool SandboxChild::call(const std::string& request, std::string& answer, std::string& why) {
  if (pid_ <= 0) {
    why = "its child is not running";
    return false;
  }
  if (!request.empty() && !sendMessage(socket_.get(), request)) {
    bool clean = false;
    why = "its child " + reap(timeoutMs_, clean) + " before it was asked";
    return false;
  }
  Received got = receiveMessage(socket_.get(), answer, nowMs() + timeoutMs_);
  bool clean = false;
  switch (got) {
    case Received::kMessage:
      return true;
    case Received::kTimeout:
      kill(pid_, SIGKILL);
      reap(timeoutMs_, clean);
      why = "its child did not answer within " + std::to_string(timeoutMs_ / 1000) +
            " s and was killed";
      return false;
    case Received::kMalformed:
      kill(pid_, SIGKILL);
      reap(timeoutMs_, clean);
      why = "its child gave a malformed answer";
      return false;
    case Received::kEnd:
      why = "its child " + reap(timeoutMs_, clean) + " without answering";
      return false;
  }
  return false;
}

bool SandboxChild::finish(std::string& why) {
  bool clean = false;
  std::string end = reap(timeoutMs_, clean);
  if (!clean) why = "its child " + end;
  return clean;
}

// --- Messages ---

namespace hive_protocol {

Writer& Writer::u8(std::uint8_t value) {
  bytes_ += static_cast<char>(value);
  return *this;
}

Writer& Writer::u32(std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  return *this;
}

Writer& Writer::text(const std::string& value) {
  u32(static_cast<std::uint32_t>(value.size()));
  bytes_ += value;
  return *this;
}

Writer& Writer::texts(const std::vector<std::string>& values) {
  u32(static_cast<std::uint32_t>(values.size()));
  for (const std::string& value : values) text(value);
  return *this;
}

bool Reader::take(std::size_t count) {
  if (!ok_ || bytes_.size() - at_ < count) {
    ok_ = false;
    return false;
  }
  return true;
}

std::uint8_t Reader::u8() {
  if (!take(1)) return 0;
  return static_cast<std::uint8_t>(bytes_[at_++]);
}

std::uint32_t Reader::u32() {
  if (!take(4)) return 0;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(i)]);
  }
  at_ += 4;
  return value;
}

std::string Reader::text() {
  std::uint32_t length = u32();
  if (!take(length)) return std::string();
  std::string value = bytes_.substr(at_, length);
  at_ += length;
  return value;
}

std::vector<std::string> Reader::texts() {
  std::uint32_t count = u32();
  std::vector<std::string> values;
  // Each text takes at least its length field: a count beyond that is malformed.
  if (!take(4ull * count)) return values;
  for (std::uint32_t i = 0; i < count && ok_; ++i) values.push_back(text());
  return values;
}

}  // namespace hive_protocol

}  // namespace platform::offline
