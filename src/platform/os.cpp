#include "platform/os.h"

#include "common/bounded_text.h"
#include "common/console_output.h"

namespace platform {
namespace {

Os current;

template <typename Part>
Part& require(Part* part, const char* name) {
  if (part == nullptr) {
    // A missing part is a wiring mistake in main() or a test, never a run-time condition.
    char message[80];
    text::format(message, sizeof message, "platform: no %s installed", name);
    console::fail(message);
  }
  return *part;
}

}  // namespace

Os install(const Os& os) {
  Os previous = current;
  current = os;
  return previous;
}

const Os& installed() { return current; }

FileSystem& files() { return require(current.files, "file system"); }
Registry& registry() { return require(current.registry, "registry"); }
Processes& processes() { return require(current.processes, "process table"); }
Services& services() { return require(current.services, "service manager"); }
Desktop& desktop() { return require(current.desktop, "desktop"); }
Clock& clock() { return require(current.clock, "clock"); }

}  // namespace platform
