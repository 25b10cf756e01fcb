// On 64-bit Windows the system shows a 32-bit program another file system in one place: its
// system folder (System32) is redirected to the folder of 32-bit libraries (SysWOW64). A scan
// through that view would meet SysWOW64's files under two names and never see the real
// System32, so every file the scan names or opens is reached with the redirection off.
#pragma once

#include <windows.h>

namespace platform::win32 {

// True for a 32-bit program on 64-bit Windows; false everywhere else, and on systems that cannot
// tell (they have no 64-bit edition).
bool runningUnderWow64();

// True when the system is a 64-bit Windows, whichever this program is.
bool sixtyFourBitWindows();

// While it lives, names of files mean the real files: the redirection is off where there is
// one, and put back as it was when the outermost one ends. Keep it around the calls that name a
// file. The programs have one thread, which is the thread the redirection belongs to. The last
// error is kept across its start and end.
class RealFileNames {
 public:
  RealFileNames();
  ~RealFileNames();
  RealFileNames(const RealFileNames&) = delete;
  RealFileNames& operator=(const RealFileNames&) = delete;

 private:
  bool counted_ = false;
};

// While it lives, the redirection is back on if a RealFileNames had turned it off: a library
// loaded from the system folder must be the one made for this program, never the 64-bit one.
// Keep it around anything that loads a library.
class RedirectedFileNames {
 public:
  RedirectedFileNames();
  ~RedirectedFileNames();
  RedirectedFileNames(const RedirectedFileNames&) = delete;
  RedirectedFileNames& operator=(const RedirectedFileNames&) = delete;

 private:
  bool turnedOn_ = false;
};

}  // namespace platform::win32
