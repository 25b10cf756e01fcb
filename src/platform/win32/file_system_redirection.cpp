#include "platform/win32/file_system_redirection.h"

#include "platform/win32/runtime_library.h"

namespace platform::win32 {
namespace {

// Neither function exists before 64-bit Windows did (XP x64), nor in the 95/NT 4.0 headers.
using DisableRedirectionFunction = BOOL(WINAPI*)(PVOID* previous);
using RevertRedirectionFunction = BOOL(WINAPI*)(PVOID previous);
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, BOOL* wow64);

struct RedirectionFunctions {
  DisableRedirectionFunction disable = nullptr;
  RevertRedirectionFunction revert = nullptr;
};

// Looked up once, before any redirection is turned off: the look-up may load a library.
const RedirectionFunctions& redirectionFunctions() {
  static const RedirectionFunctions functions = [] {
    RedirectionFunctions found;
    if (!runningUnderWow64()) return found;
    found.disable =
        kernelLibrary().find<DisableRedirectionFunction>("Wow64DisableWow64FsRedirection");
    found.revert = kernelLibrary().find<RevertRedirectionFunction>("Wow64RevertWow64FsRedirection");
    // One without the other is no use: what is turned off must be turned back on.
    if (found.disable == nullptr || found.revert == nullptr) found = RedirectionFunctions();
    return found;
  }();
  return functions;
}

}  // namespace

bool runningUnderWow64() {
  static const bool wow64 = [] {
    auto isWow64 = kernelLibrary().find<IsWow64ProcessFunction>("IsWow64Process");
    BOOL answer = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &answer) && answer;
  }();
  return wow64;
}

bool sixtyFourBitWindows() {
#ifdef _WIN64
  return true;
#else
  return runningUnderWow64();
#endif
}

namespace {

// The redirection's state before the outermost RealFileNames turned it off, and how many
// RealFileNames live now.
PVOID redirectionBefore = nullptr;
int realNameDepth = 0;

bool turnOff() {
  DWORD error = GetLastError();
  bool off = redirectionFunctions().disable(&redirectionBefore) != 0;
  SetLastError(error);
  return off;
}

void turnBackOn() {
  DWORD error = GetLastError();
  redirectionFunctions().revert(redirectionBefore);
  SetLastError(error);
}

}  // namespace

RealFileNames::RealFileNames() {
  if (realNameDepth > 0) {
    ++realNameDepth;
    counted_ = true;
    return;
  }
  if (redirectionFunctions().disable == nullptr || !turnOff()) return;
  realNameDepth = 1;
  counted_ = true;
}

RealFileNames::~RealFileNames() {
  if (!counted_) return;
  if (--realNameDepth == 0) turnBackOn();
}

RedirectedFileNames::RedirectedFileNames() {
  // Nothing to look up unless a RealFileNames lives: loading the library that has the functions
  // comes through here too.
  if (realNameDepth == 0) return;
  turnBackOn();
  turnedOn_ = true;
}

RedirectedFileNames::~RedirectedFileNames() {
  // Should turning it off fail now, names are redirected until the outermost RealFileNames ends,
  // as on a system without the functions; its end then puts back the same state.
  if (turnedOn_) turnOff();
}

}  // namespace platform::win32
