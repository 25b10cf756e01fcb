// The platform family, and the process services that differ by it: listing the running
// processes with their image paths, and ending the process that runs a given file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/types.h"

constexpr int kPlatformUnknown = 0;
constexpr int kPlatformOther = 1;
constexpr int kPlatformWindows9x = 4;
constexpr int kPlatformNt = 5;

// 4 for the 95/98/Me family, 5 for the NT family, 1 for another platform, 0 when unknown.
int getPlatformClass();

// 5 for NT 4.0 and older, 6 for major version 5 (2000, XP), 0 for anything else, for a system
// outside the NT family and when the version cannot be had.
int getNtGeneration();

// One running process, the full path of its image, and the handle it was listed through. The
// handle is kept as long as the record: while it is open the system gives the process's id to
// no other process, so the process examined is the process ended.
struct ProcessRecord {
  std::uint32_t processId = 0;
  char imagePath[340] = {};
  platform::ScopedProcess process;
  bool canTerminate = false;  // the handle carries the right to end the process
  ProcessRecord* next = nullptr;
};

// The records of one listing in enumeration order, each allocated on its own; the list frees them
// all when it is cleared or goes.
class ProcessList {
 public:
  class Iterator {
   public:
    explicit Iterator(ProcessRecord* record) : record_(record) {}
    ProcessRecord& operator*() const { return *record_; }
    Iterator& operator++() {
      record_ = record_->next;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return record_ != other.record_; }

   private:
    ProcessRecord* record_;
  };

  ProcessList() = default;
  ~ProcessList() { clear(); }
  ProcessList(const ProcessList&) = delete;
  ProcessList& operator=(const ProcessList&) = delete;

  // A new, empty record after the last one; null when the heap refuses it.
  ProcessRecord* append();
  void clear();
  std::size_t size() const { return count_; }
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(nullptr); }

 private:
  ProcessRecord* first_ = nullptr;
  ProcessRecord* last_ = nullptr;
  std::size_t count_ = 0;
};

// Each fills `list` in enumeration order and returns true, or returns false when there is no
// usable list (the service is missing or failed, or a record could not be allocated).
bool listProcessesToolhelp(ProcessList& list);
bool listProcessesPsapi(ProcessList& list);
// The NT family without the process-status library (NT 4.0 as installed): the ids come from the
// performance data's process object, and each image path from the process itself through the
// native layer.
bool listProcessesPerfData(ProcessList& list);

// The full path of the image of `process` (opened to query and read it): through the
// process-status library where it is present, else through the native layer. The length, or 0
// when it cannot be read.
std::uint32_t readImagePath(platform::Handle process, char* buffer, std::uint32_t capacity);

// Whether `path` names a file on one of this machine's fixed drives: a full path from a drive
// letter whose drive the system calls fixed. A network path, a mapped network drive and
// removable media are not: a path that a process reports of itself must never make the scan,
// with its rights, reach another machine.
bool isOnFixedDrive(const char* path);

// Ends the running process whose image is the very file at `path`. A process whose image file
// name equals the file's is only a candidate: on NT it is ended when its image opens to the file
// of `identity` (volume and index), on 95/98/Me when its image's full path is the file's long or
// short path. Returns 1 when one was ended (or the platform has no way to look), 0 otherwise.
int terminateProcessByFileName(const char* path, const platform::FileIdentity* identity);

// The ToolHelp way (95/98/Me): ends the first process whose image is the file at `path`.
int terminateByNameToolhelp(const char* path);

// The performance-data way (NT): asks every process of the file's name whose image is the file
// of `identity` to close its windows, then ends it if it does not. Returns 1 when at least one
// ended.
int terminateByNamePerfData(const char* path, const platform::FileIdentity& identity);

// The window-enumeration callback: asks the window to close when it belongs to `processId`.
// Always lets the enumeration go on.
bool closeProcessWindows(platform::WindowHandle window, std::uintptr_t processId);
