#include "rescue/rescue_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/json_writer.h"
#include "platform/opened_key.h"
#include "platform/os.h"
#include "scan/scan_report.h"

namespace {

std::string isoTime(std::time_t when) {
  std::tm parts = {};
  gmtime_r(&when, &parts);
  char text[24];
  formatIsoTime(text, sizeof text, parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

// The installation's own name for its machine, from its SYSTEM hive; empty when it cannot tell.
std::string computerName() {
  platform::OpenedKey key(platform::registry(),
                          "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName");
  char name[256] = {};
  if (!key.opened() || key.readString("ComputerName", name, sizeof name) != 0) return "";
  return name;
}

bool writeWhole(int file, const char* text, std::size_t length) {
  while (length > 0) {
    ssize_t written = write(file, text, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool writeRescueReport(const std::string& path, std::time_t started, bool dryRun, int exitStatus,
                       std::string& problem) {
  std::string begun = isoTime(started);
  std::string ended = isoTime(std::time(nullptr));
  std::string computer = computerName();
  ReportContext context;
  context.program = "vandrel-rescue";
  context.computer = computer.c_str();
  context.started = begun.c_str();
  context.ended = ended.c_str();
  context.dryRun = dryRun;
  context.exitStatus = exitStatus;
  // The installation's names are kept as they are on disk: UTF-8.
  json::Writer writer(1 << 20, json::sanitizeUtf8);
  if (!writeScanReport(context, writer)) {
    problem = "the report does not fit in its bounds";
    return false;
  }

  std::string newPath = path + "." + std::to_string(getpid()) + ".new";
  int file = open(newPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (file < 0) {
    problem = "cannot create a new file beside it (" + std::string(std::strerror(errno)) + ")";
    return false;
  }
  bool written = writeWhole(file, writer.text(), writer.length()) && fsync(file) == 0;
  int error = errno;
  if (close(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(newPath.c_str(), path.c_str()) == 0) return true;
  if (written) error = errno;
  unlink(newPath.c_str());
  problem = "cannot be written (" + std::string(std::strerror(error)) + ")";
  return false;
}
