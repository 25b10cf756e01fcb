#include "windows/windows_support.h"

#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "ui_driver/running_program.h"

namespace wintest {

std::string programFolder() { return uidriver::ownFolder(); }

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  static unsigned counter = 0;
  path_ = std::string(temp) + "vandrel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(++counter);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

bool writeFile(const std::string& path, const std::string& bytes, unsigned attributes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size() && SetFileAttributesA(path.c_str(), attributes);
}

namespace {

// Wide, so that names the code page lacks go too.
void removeWideTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      // A link or junction is removed itself, never followed: it may lead to the system's
      // folders.
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveDirectoryW(child.c_str());
        } else {
          DeleteFileW(child.c_str());
        }
        continue;
      }
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeWideTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

void removeTree(const std::string& path) {
  WCHAR wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) return;
  removeWideTree(wide);
}

namespace {

std::string drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::string& arguments, unsigned timeoutMs,
                      const std::function<void(DWORD processId)>& whileRunning) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  // Both streams go to files: a child that writes much to a pipe nobody reads would stall. They
  // lie beside the programs, outside the trees a scan walks.
  std::string stem = programFolder() + "\\run-" + std::to_string(GetCurrentProcessId());
  std::string outPath = stem + ".out", errPath = stem + ".err";
  HANDLE out =
      CreateFileA(outPath.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  HANDLE err =
      CreateFileA(errPath.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::string commandLine = "\"" + programFolder() + "\\" + program + "\" " + arguments;
  if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process)) {
    constexpr unsigned kStepMs = 20;
    unsigned waited = 0;
    while (whileRunning && waited < timeoutMs &&
           WaitForSingleObject(process.hProcess, kStepMs) == WAIT_TIMEOUT) {
      whileRunning(process.dwProcessId);
      waited += kStepMs;
    }
    if (WaitForSingleObject(process.hProcess, timeoutMs - waited) == WAIT_TIMEOUT) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (HANDLE stream : {out, err}) SetFilePointer(stream, 0, nullptr, FILE_BEGIN);
  run.output = drain(out);
  run.errors = drain(err);
  CloseHandle(out);
  CloseHandle(err);
  DeleteFileA(outPath.c_str());
  DeleteFileA(errPath.c_str());
  return run;
}

std::vector<std::string> walkFolder(const std::string& folder, const std::string& version) {
  EXPECT_TRUE(setWineVersion("vandrel-walk.exe", version));
  ProgramRun run = runProgram("vandrel-walk.exe", "\"" + folder + "\"");
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  return splitLines(run.output);
}

bool restartWine() {
  char system[MAX_PATH];
  if (GetSystemDirectoryA(system, MAX_PATH) == 0) return false;
  std::string commandLine = "\"" + std::string(system) + "\\wineboot.exe\" -r";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended;
}

bool copyRunnableSpecimen(const std::string& path) {
  std::string source = programFolder() + "\\runnable-specimen.exe";
  return CopyFileA(source.c_str(), path.c_str(), FALSE) != 0;
}

namespace {

// A text of the code page in UTF-16, as the system's own conversion makes it.
std::wstring wideOf(const std::string& text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length) - 1);
  return wide;
}

}  // namespace

FileHolder::FileHolder(const std::vector<std::string>& files, const std::string& image) {
  std::string program = image.empty() ? programFolder() + "\\vandrel-holder.exe" : image;
  start(wideOf(program), files);
}

FileHolder::FileHolder(const std::wstring& image) { start(image, {}); }

void FileHolder::start(const std::wstring& program, const std::vector<std::string>& files) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = L"\"" + program + L"\"";
  for (const std::string& file : files) {
    commandLine += L" \"" + wideOf(file) + L"\"";
  }
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (started) {
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    processId_ = process.dwProcessId;
    // The holder says "holding" once every file is open, or ends (closing the pipe) if not.
    char word[16] = {};
    DWORD got = 0;
    holding_ =
        ReadFile(readEnd, word, 7, &got, nullptr) && got == 7 && std::string(word, 7) == "holding";
  }
  CloseHandle(readEnd);
}

FileHolder::~FileHolder() {
  if (process_ == nullptr) return;
  TerminateProcess(process_, 0);
  WaitForSingleObject(process_, 10000);
  CloseHandle(process_);
}

bool setWineVersion(const std::string& exeName, const std::string& version) {
  std::string key = "Software\\Wine\\AppDefaults\\" + exeName;
  HKEY handle;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG result =
      RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                     static_cast<DWORD>(version.size() + 1));
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

namespace {

// Wine's own exports, looked up by name: Windows has neither.
using UnixNameFunction = char*(CDECL*)(LPCWSTR);
using UnixSpawnFunction = LONG(CDECL*)(char* const*, int);

// The Unix path of an existing Windows path; empty when it has none (or this is not Wine).
std::string unixPathOf(const std::string& path) {
  auto unixName = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  WCHAR wide[MAX_PATH];
  if (unixName == nullptr ||
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) {
    return {};
  }
  char* name = unixName(wide);
  if (name == nullptr) return {};
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Runs a Unix program and waits for it; true when it ran and succeeded.
bool runUnixProgram(std::vector<std::string> arguments) {
  auto spawn = reinterpret_cast<UnixSpawnFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
  if (spawn == nullptr) return false;
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  return spawn(argv.data(), 1) == 0;
}

}  // namespace

UnixFolderLink::UnixFolderLink(const std::string& link, const std::string& target) {
  std::string::size_type slash = link.find_last_of('\\');
  if (slash == std::string::npos) return;
  std::string folder = unixPathOf(link.substr(0, slash));
  std::string unixTarget = unixPathOf(target);
  if (folder.empty() || unixTarget.empty()) return;
  unixLink_ = folder + "/" + link.substr(slash + 1);
  made_ = runUnixProgram({"/bin/ln", "-s", unixTarget, unixLink_});
}

UnixFolderLink::~UnixFolderLink() {
  // The link itself, not what it leads to: Wine's file calls would follow it.
  if (made_) runUnixProgram({"/bin/rm", "-f", unixLink_});
}

ScratchDrive::ScratchDrive(const std::string& folder, const std::string& mode) {
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return;
  std::string unixFolder = unixPathOf(folder);
  // Wine names drive C's root through the prefix's folder of drive letters: ".../dosdevices/c:/".
  std::string driveC = unixPathOf("C:\\");
  while (!driveC.empty() && driveC.back() == '/') driveC.pop_back();
  if (unixFolder.empty() || driveC.size() < 3 || driveC.compare(driveC.size() - 3, 3, "/c:") != 0 ||
      !runUnixProgram({"/bin/chmod", mode, unixFolder})) {
    return;
  }
  for (char letter = 'p'; letter <= 'y'; ++letter) {
    std::string root = std::string(1, static_cast<char>(letter - 'a' + 'A')) + ":\\";
    if (GetDriveTypeA(root.c_str()) != DRIVE_NO_ROOT_DIR) continue;
    std::string link = driveC.substr(0, driveC.size() - 2) + letter + ":";
    if (!runUnixProgram({"/bin/ln", "-s", unixFolder, link})) return;
    unixLink_ = link;
    if (GetDriveTypeA(root.c_str()) != DRIVE_NO_ROOT_DIR) root_ = root;
    return;
  }
}

ScratchDrive::~ScratchDrive() {
  if (!unixLink_.empty()) runUnixProgram({"/bin/rm", "-f", unixLink_});
}

DeepFile::DeepFile(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::wstring path = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());
  for (wchar_t letter = L'a'; letter < L'f'; ++letter) {
    path += L"\\" + std::wstring(50, letter);
    if (!CreateDirectoryW(path.c_str(), nullptr)) return;
    folders_.push_back(path);
  }
  file_ = path + L"\\" + std::wstring(name.begin(), name.end());
  HANDLE file = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD count = 0;
  written_ = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
             count == bytes.size();
  CloseHandle(file);
}

DeepFile::~DeepFile() {
  if (!file_.empty()) DeleteFileW(file_.c_str());
  for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
    RemoveDirectoryW(folder->c_str());
  }
}

bool DeepFile::exists() const {
  return GetFileAttributesW(file_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace wintest
