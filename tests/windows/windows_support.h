// Helpers for the tests that run under Wine: scratch folders, running our programs, and the
// Windows version Wine emulates for a program.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace wintest {

// The folder this test program lives in; the other programs of the build lie beside it.
std::string programFolder();

// A new empty folder under the temporary directory, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes a file (creating nothing but the file) and sets its attributes.
bool writeFile(const std::string& path, const std::string& bytes, unsigned attributes);
// Removes a folder tree, clearing read-only attributes on the way.
void removeTree(const std::string& path);

// How long a process that a program of ours ended may take to be gone. The system ends a process
// asynchronously and promises no time; the wait returns as soon as it has gone, so the bound is
// generous rather than tight.
constexpr unsigned kProcessEndTimeoutMs = 30000;

struct ProgramRun {
  int exitCode = -1;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs a program of the build with arguments and waits for it (at most `timeoutMs`), calling
// `whileRunning` with its process id every few milliseconds until it has ended.
ProgramRun runProgram(const std::string& program, const std::string& arguments,
                      unsigned timeoutMs = 120000,
                      const std::function<void(unsigned long processId)>& whileRunning = {});

// Walks `folder` with vandrel-walk.exe (no memory scan first) under the Windows version
// `version` ("win98", "win7", ...) and returns what it printed: each ScanLog line, then
// "restartRequired=N".
std::vector<std::string> walkFolder(const std::string& folder, const std::string& version);

// Has Wine do what a restart of the system does to files: `wineboot -r` carries out the
// deletions and renames scheduled for the next start. True when it ran.
bool restartWine();

// Copies the runnable worm specimen of the build to `path`, so that it can run from there.
bool copyRunnableSpecimen(const std::string& path);

// Keeps files open without delete sharing in a program of its own (vandrel-holder.exe), as
// another program using them would, until it goes out of scope.
class FileHolder {
 public:
  // `image` is the holder program to run: vandrel-holder.exe of the build, or a copy of it
  // under another name.
  explicit FileHolder(const std::vector<std::string>& files, const std::string& image = "");
  // A copy of vandrel-holder.exe holding nothing, started by its UTF-16 name (which the code
  // page may not spell).
  explicit FileHolder(const std::wstring& image);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  // True once the holder has every file open.
  bool holding() const { return holding_; }
  unsigned long processId() const { return processId_; }

 private:
  void start(const std::wstring& program, const std::vector<std::string>& files);

  void* process_ = nullptr;
  unsigned long processId_ = 0;
  bool holding_ = false;
};

// Sets the Windows version Wine reports to `exeName` ("win98", "win2k", "win7", ...).
bool setWineVersion(const std::string& exeName, const std::string& version);

// Wine only: a symbolic link of the Unix side at the Windows path `link` (whose folder exists)
// that leads to the existing folder `target`. Wine can make neither a junction nor a symbolic
// link of its own, and follows such a link as Windows follows a junction. Removed when it goes
// out of scope.
class UnixFolderLink {
 public:
  UnixFolderLink(const std::string& link, const std::string& target);
  ~UnixFolderLink();
  UnixFolderLink(const UnixFolderLink&) = delete;
  UnixFolderLink& operator=(const UnixFolderLink&) = delete;
  bool made() const { return made_; }

 private:
  std::string unixLink_;
  bool made_ = false;
};

// A drive letter of its own, made for a test: its root is the new folder `folder`, given the Unix
// permissions `mode` (such as "755"), which Wine shows as the root's access list (everyone else
// gets what the permissions give others). The letter goes when this goes out of scope; the
// folder stays for its scratch folder to remove.
class ScratchDrive {
 public:
  ScratchDrive(const std::string& folder, const std::string& mode);
  ~ScratchDrive();
  ScratchDrive(const ScratchDrive&) = delete;
  ScratchDrive& operator=(const ScratchDrive&) = delete;
  bool mapped() const { return !root_.empty(); }
  // "Q:\".
  const std::string& root() const { return root_; }

 private:
  std::string unixLink_;
  std::string root_;
};

// A file written five folders of 50 characters deep under `folder`, its path well past 260
// characters, through the long-path form of the wide calls, which the program itself never uses.
// Removed with its folders when this goes out of scope: the scratch folder's own removal keeps
// to paths of the usual length.
class DeepFile {
 public:
  DeepFile(const std::string& folder, const std::string& name, const std::string& bytes);
  ~DeepFile();
  DeepFile(const DeepFile&) = delete;
  DeepFile& operator=(const DeepFile&) = delete;
  bool written() const { return written_; }
  bool exists() const;

 private:
  std::vector<std::wstring> folders_;
  std::wstring file_;
  bool written_ = false;
};

std::vector<std::string> splitLines(const std::string& text);

}  // namespace wintest
