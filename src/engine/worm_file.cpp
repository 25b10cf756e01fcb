#include "engine/worm_file.h"

#include "common/bounded_text.h"
#include "engine/worm_identification.h"
#include "scan/scan_session.h"
#include "system/process_backends.h"

namespace {

// A link at the file's own name, or a name among several, may have been made by another user
// for a file that is not theirs: such a file is never removed.
bool isLink(const platform::FileIdentity& identity) {
  return (identity.attributes & platform::kAttributeReparsePoint) != 0;
}
bool isSingleNamedFile(const platform::FileIdentity& identity) {
  return identity.links == 1 && !isLink(identity);
}

}  // namespace

bool WormFile::examine(const char* path) {
  platform::FileSystem& files = platform::files();
  record_ = nullptr;
  hasIdentity_ = false;
  openFailure_ = platform::OpenFailure::kNone;
  if (!text::copy(path_, path)) return false;
  file_.reset(files.openForRemoval(path));
  removable_ = file_.valid();
  if (!removable_) file_.reset(files.openForReading(path));
  if (!file_) {
    openFailure_ = files.lastOpenFailure();
    return false;
  }
  record_ = identifyOpenFile(file_.get());
  if (record_ == nullptr) return false;
  // The 95/98/Me family has neither links nor a boundary between users; it keeps to the path.
  if (getPlatformClass() == kPlatformWindows9x) return true;
  // A link is not what it names, and is not identified as it. A file with a second name is the
  // worm all the same: it is counted and its start-up values go, but it is not removed.
  if (!takeIdentity() || isLink(identity_)) record_ = nullptr;
  secondName_ = record_ != nullptr && !isSingleNamedFile(identity_);
  if (secondName_) removable_ = false;
  return record_ != nullptr;
}

bool WormFile::isTheScannedImage() const {
  const ScanSession& session = scanSession();
  if (session.scannedImageKnown == 0) return true;
  return hasIdentity_ && platform::sameFile(identity_, session.scannedImage);
}

bool WormFile::takeIdentity() {
  hasIdentity_ = platform::files().identify(file_.get(), identity_);
  return hasIdentity_;
}

bool WormFile::confirmForRemoval() {
  platform::FileSystem& files = platform::files();
  if (!removable_) {
    platform::ScopedFile again(files.openForRemoval(path_));
    platform::FileIdentity found;
    if (!again || !hasIdentity_ || !files.identify(again.get(), found) ||
        !platform::sameFile(found, identity_) || !isSingleNamedFile(found)) {
      return false;
    }
    file_ = std::move(again);
    removable_ = true;
  }
  return identifyOpenFile(file_.get()) != nullptr;
}
