// A file the check identified as a worm file, with the open file it was examined through. It
// travels from the check to the remedy, so that the remedy acts on the very file that was
// examined, wherever its path leads by then: another user may swap a folder on the way for a
// link to another folder the moment the check has looked.
#pragma once

#include "engine/worm_signatures.h"
#include "platform/file_system.h"

class WormFile {
 public:
  WormFile() = default;

  // Examines the file at `path`. On the NT family it is opened once with the rights its removal
  // needs, and not through a link at its own name; when that cannot be done (a program has it
  // in use without sharing deletion) it is opened for reading only. True when the file is
  // identified. It is not when it cannot be read or is no worm file, nor, on the NT family,
  // when it is a link. A file of several names is identified, but never removable.
  bool examine(const char* path);

  // After examine() returned false: why the file could not be opened to be examined
  // (OpenFailure::kNone when it was opened, and is no worm file or could not be read).
  platform::OpenFailure openFailure() const { return openFailure_; }

  // The path the file was reached by, and the record it matched (after examine() succeeded).
  const char* path() const { return path_; }
  const WormSignature& record() const { return *record_; }
  platform::Handle handle() const { return file_.get(); }
  // Whether the handle can change and remove the file: never on the 95/98/Me family, which
  // knows only path calls, nor for a file that is in use without delete sharing.
  bool removable() const { return removable_; }
  // Whether the file has a name besides the one it was reached by (a hard link): another user
  // may have made that name for a file that is not theirs, so the file is never removed.
  bool hasSecondName() const { return secondName_; }
  // What the system tells of the file, where it can tell (the NT family).
  bool hasIdentity() const { return hasIdentity_; }
  const platform::FileIdentity& identity() const { return identity_; }

  // For a removal that comes later than the examination: makes sure the handle can remove the
  // file, opening its path for removal once more when it could not (its holder having ended
  // since) and keeping that handle only when it opened the very same file, then identifies the
  // file once more through the handle. False when the file is no longer the one examined or no
  // longer passes.
  bool confirmForRemoval();

  // During the memory scan's examination of a process on the NT family: whether this is the very
  // file the process runs. Always true elsewhere.
  bool isTheScannedImage() const;

  // Lets the file go: a deletion through the handle completes once every handle is closed, and
  // the path calls of the 95/98/Me family find the file open by nobody.
  void close() { file_.reset(); }

 private:
  bool takeIdentity();

  char path_[platform::kPathBytes] = {};
  platform::ScopedFile file_;
  const WormSignature* record_ = nullptr;
  bool removable_ = false;
  bool hasIdentity_ = false;
  bool secondName_ = false;
  platform::FileIdentity identity_;
  platform::OpenFailure openFailure_ = platform::OpenFailure::kNone;
};
