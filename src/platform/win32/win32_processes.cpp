#include "platform/win32/win32_processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include "common/bounded_text.h"
#include "platform/product_suite.h"
#include "platform/win32/image_section.h"
#include "platform/win32/native_image_path.h"
#include "platform/win32/runtime_library.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_registry.h"

namespace platform::win32 {
namespace {

using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using EnumProcessesFunction = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using ModuleFileNameFunction = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

bool walk(const char* functionName, Handle snapshot, ProcessEntry& entry) {
  auto step = kernelLibrary().find<ProcessWalkFunction>(functionName);
  if (step == nullptr) return false;
  PROCESSENTRY32 native = {};
  // The entry's size is the platform's own: 296 bytes in a 32-bit build, 304 in a 64-bit one.
  native.dwSize = sizeof native;
  if (!step(fromSeam(snapshot), &native)) return false;
  entry.id = native.th32ProcessID;
  text::copy(entry.exeFile, native.szExeFile);
  return true;
}

struct WindowWalk {
  WindowVisitor visitor;
  std::uintptr_t context;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM parameter) {
  auto* walk = reinterpret_cast<WindowWalk*>(parameter);
  return walk->visitor(reinterpret_cast<WindowHandle>(window), walk->context) ? TRUE : FALSE;
}

}  // namespace

bool Win32Processes::queryVersion(VersionInfo& version) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return false;
  version.platformId = info.dwPlatformId;
  version.majorVersion = info.dwMajorVersion;
  version.minorVersion = info.dwMinorVersion;
  return true;
}

bool Win32Processes::queryRelease(ReleaseInfo& release) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return false;
  release.version.platformId = info.dwPlatformId;
  release.version.majorVersion = info.dwMajorVersion;
  release.version.minorVersion = info.dwMinorVersion;
  info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
  bool nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  // The 95/98/Me family keeps other text in the field (" A", " C" for a second edition).
  text::copy(release.servicePack, nt ? info.szCSDVersion : "");
  // The product suite, not the version query's suite mask: NT 4.0 before its sixth service
  // pack has no extended version query, and its Terminal Server edition is one of the releases
  // whose fix differs.
  Win32Registry registry;
  release.terminalServer =
      nt ? readTerminalServer(registry, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions")
         : TerminalServer::kNo;
  return true;
}

Handle Win32Processes::createProcessSnapshot() {
  // Without a way to walk it a snapshot is of no use, so all three functions must be there.
  auto create = kernelLibrary().find<CreateSnapshotFunction>("CreateToolhelp32Snapshot");
  if (create == nullptr || kernelLibrary().find<ProcessWalkFunction>("Process32First") == nullptr ||
      kernelLibrary().find<ProcessWalkFunction>("Process32Next") == nullptr) {
    return kNoHandle;
  }
  return toSeam(create(TH32CS_SNAPPROCESS, 0));
}

bool Win32Processes::firstProcess(Handle snapshot, ProcessEntry& entry) {
  return walk("Process32First", snapshot, entry);
}

bool Win32Processes::nextProcess(Handle snapshot, ProcessEntry& entry) {
  return walk("Process32Next", snapshot, entry);
}

void Win32Processes::closeSnapshot(Handle snapshot) {
  closePreservingError(fromSeam(snapshot), CloseHandle);
}

bool Win32Processes::enumerateProcesses(ProcessId* ids, std::uint32_t capacity,
                                        std::uint32_t& count) {
  count = 0;
  auto enumerate = processStatusLibrary().find<EnumProcessesFunction>("EnumProcesses");
  if (enumerate == nullptr) return false;
  DWORD bytes = 0;
  static_assert(sizeof(ProcessId) == sizeof(DWORD), "process ids are DWORDs");
  if (!enumerate(reinterpret_cast<DWORD*>(ids), capacity * sizeof(DWORD), &bytes)) return false;
  count = bytes / sizeof(DWORD);
  return true;
}

std::uint32_t Win32Processes::imageFileName(Handle process, char* buffer, std::uint32_t capacity) {
  auto name = processStatusLibrary().find<ModuleFileNameFunction>("GetModuleFileNameExA");
  if (name == nullptr || capacity == 0) return 0;
  DWORD length = name(fromSeam(process), nullptr, buffer, capacity);
  // A name that filled the buffer may have been cut: it is not the image's path.
  if (length == 0 || length >= capacity) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

bool Win32Processes::processStatusAvailable() {
  return processStatusLibrary().find<EnumProcessesFunction>("EnumProcesses") != nullptr &&
         processStatusLibrary().find<ModuleFileNameFunction>("GetModuleFileNameExA") != nullptr;
}

std::uint32_t Win32Processes::nativeImageFileName(Handle process, char* buffer,
                                                  std::uint32_t capacity) {
  return nativeImagePath(fromSeam(process), buffer, capacity);
}

bool Win32Processes::imageIdentity(Handle process, FileIdentity& identity) {
  return identifyImageFile(fromSeam(process), identity);
}

std::uint32_t Win32Processes::mappedImagePath(Handle process, char* buffer,
                                              std::uint32_t capacity) {
  return imageFilePath(fromSeam(process), buffer, capacity);
}

Handle Win32Processes::openProcess(ProcessId id, std::uint32_t access) {
  return toSeam(OpenProcess(access, FALSE, id));
}

bool Win32Processes::terminateProcess(Handle process, std::uint32_t exitCode) {
  return TerminateProcess(fromSeam(process), exitCode) != 0;
}

std::uint32_t Win32Processes::waitForProcess(Handle process, std::uint32_t milliseconds) {
  return WaitForSingleObject(fromSeam(process), milliseconds);
}

void Win32Processes::closeProcess(Handle process) {
  closePreservingError(fromSeam(process), CloseHandle);
}

void Win32Processes::enumerateWindows(WindowVisitor visitor, std::uintptr_t context) {
  WindowWalk walk{visitor, context};
  EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&walk));
}

ProcessId Win32Processes::windowProcess(WindowHandle window) {
  DWORD process = 0;
  GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &process);
  return process;
}

bool Win32Processes::postClose(WindowHandle window) {
  return PostMessageA(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0) != 0;
}

WindowHandle Win32Processes::findWindowByTitle(WindowHandle after, const char* title) {
  return reinterpret_cast<WindowHandle>(
      FindWindowExA(nullptr, reinterpret_cast<HWND>(after), nullptr, title));
}

bool Win32Processes::ownImagePath(char* buffer, std::uint32_t capacity) {
  if (capacity == 0) return false;
  DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  // A path that filled the buffer may have been cut.
  if (length == 0 || length >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

Handle Win32Processes::holdNamedMark(const char* name, bool& alreadyHeld) {
  HANDLE mark = CreateMutexA(nullptr, FALSE, name);
  alreadyHeld = mark != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  return toSeam(mark);
}

void Win32Processes::closeNamedMark(Handle mark) {
  closePreservingError(fromSeam(mark), CloseHandle);
}

// The token functions are the NT family's; the 95/98/Me family's library may not have them.
Handle Win32Processes::openOwnToken() {
  auto openToken = advancedServicesLibrary().find<decltype(&OpenProcessToken)>("OpenProcessToken");
  HANDLE token = nullptr;
  if (openToken == nullptr ||
      !openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return kNoHandle;
  }
  return toSeam(token);
}

std::uint32_t Win32Processes::enableShutdownPrivilege(Handle token) {
  const RuntimeLibrary& library = advancedServicesLibrary();
  auto lookup = library.find<decltype(&LookupPrivilegeValueA)>("LookupPrivilegeValueA");
  auto adjust = library.find<decltype(&AdjustTokenPrivileges)>("AdjustTokenPrivileges");
  if (lookup == nullptr || adjust == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  TOKEN_PRIVILEGES privileges = {};
  if (!lookup(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
    DWORD error = GetLastError();
    return error != 0 ? error : ERROR_NO_SUCH_PRIVILEGE;
  }
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // The call succeeds even when the privilege was not granted; the error code tells.
  SetLastError(0);
  adjust(fromSeam(token), FALSE, &privileges, 0, nullptr, nullptr);
  return GetLastError();
}

void Win32Processes::closeToken(Handle token) {
  closePreservingError(fromSeam(token), CloseHandle);
}

namespace {

// Wine's native layer names itself; Wine starts no shutdown countdown, and its abort reports
// success whether or not anything was counting down.
bool runsOnWine() { return nativeLibrary().find<void (*)()>("wine_get_version") != nullptr; }

}  // namespace

ShutdownAbort Win32Processes::abortSystemShutdown() {
  // An abort that always succeeds tells nothing: saying a shutdown was aborted, and offering the
  // restart for it, would be wrong on every run.
  if (runsOnWine()) return ShutdownAbort::kUnavailable;
  auto abortShutdown =
      advancedServicesLibrary().find<decltype(&AbortSystemShutdownA)>("AbortSystemShutdownA");
  if (abortShutdown == nullptr) return ShutdownAbort::kUnavailable;
  SetLastError(0);
  if (abortShutdown(nullptr)) return ShutdownAbort::kAborted;
  switch (GetLastError()) {
    case ERROR_NO_SHUTDOWN_IN_PROGRESS:
      return ShutdownAbort::kNoneInProgress;
    case ERROR_CALL_NOT_IMPLEMENTED:
      return ShutdownAbort::kUnavailable;
    default:
      return ShutdownAbort::kRefused;
  }
}

int Win32Processes::restartSystem() { return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0); }

void Win32Processes::endProgram(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace platform::win32
