#include "system/single_instance.h"

#include "common/bounded_text.h"
#include "platform/file_system.h"
#include "system/process_backends.h"

namespace {

// Unprefixed: on systems with Terminal Services it lies in the session's own namespace, so a
// copy in another user's session does not count.
constexpr char kMarkName[] = "Vandrel.Ver4.0.Running";

// The full path of the image of process `id`, as the platform's process list names it.
bool imagePathOf(platform::ProcessId id, char (&path)[platform::kMaxPath]) {
  platform::Processes& processes = platform::processes();
  if (getPlatformClass() == kPlatformWindows9x) {
    // The family's ToolHelp entries name the whole path of each image.
    platform::ScopedSnapshot snapshot(processes.createProcessSnapshot());
    platform::ProcessEntry entry;
    if (!snapshot || !processes.firstProcess(snapshot.get(), entry)) return false;
    do {
      if (entry.id == id) return text::copy(path, entry.exeFile);
    } while (processes.nextProcess(snapshot.get(), entry));
    return false;
  }
  platform::ScopedProcess process(
      processes.openProcess(id, platform::kProcessQueryInformation | platform::kProcessVmRead));
  return process && readImagePath(process.get(), path, sizeof path) != 0;
}

// Whether process `id` runs this program's own file: both paths lead to one file.
bool runsThisProgram(platform::ProcessId id, const platform::FileIdentity& ownImage) {
  char image[platform::kMaxPath] = {};
  platform::FileIdentity identity;
  return imagePathOf(id, image) && isOnFixedDrive(image) &&
         platform::files().identifyPath(image, identity) && platform::sameFile(identity, ownImage);
}

}  // namespace

bool anotherCopyRuns(const char* caption, platform::ScopedNamedMark& mark) {
  platform::Processes& processes = platform::processes();
  bool alreadyHeld = false;
  mark.reset(processes.holdNamedMark(kMarkName, alreadyHeld));
  if (!alreadyHeld) return false;

  char ownPath[platform::kMaxPath] = {};
  platform::FileIdentity ownImage;
  if (!processes.ownImagePath(ownPath, sizeof ownPath) ||
      !platform::files().identifyPath(ownPath, ownImage)) {
    return false;
  }
  for (platform::WindowHandle window = processes.findWindowByTitle(0, caption); window != 0;
       window = processes.findWindowByTitle(window, caption)) {
    platform::ProcessId owner = processes.windowProcess(window);
    if (owner != 0 && runsThisProgram(owner, ownImage)) return true;
  }
  return false;
}
