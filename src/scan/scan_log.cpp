#include "scan/scan_log.h"

#include <cstdarg>

#include "common/bounded_format.h"
#include "common/bounded_text.h"
#include "platform/desktop.h"
#include "scan/scan_record.h"
#include "scan/scan_session.h"

namespace {

// The list is emptied at this many lines so that a long scan does not grow it without bound;
// once the statistics block begins nothing is dropped any more.
constexpr int kLogLinesBeforeReset = 150;

}  // namespace

void appendLogLine(const char* pattern, ...) {
  ScanSession& session = scanSession();
  va_list arguments;
  va_start(arguments, pattern);
  // A line too long for the buffer is shown cut, as a list box line may be.
  text::formatArguments(session.logLine, sizeof session.logLine, pattern, arguments);
  va_end(arguments);
  platform::desktop().sendMessage(session.scanDialogWindow, WM_SCAN_APPENDLOG, 0, 0);
}

void appendFindingLine(const char* object, const char* gap, const char* variant,
                       const char* outcome) {
  recordFinding(object, variant, outcome);
  appendLogLine("%s%s%s %s", object, gap, variant, outcome);
}

void showStatus(const char* statusText) {
  text::copy(scanSession().statusText, statusText);
  refreshStatus();
}

void showPassingStatus(const char* statusText) {
  ScanSession& session = scanSession();
  text::copy(session.statusText, statusText);
  platform::desktop().sendMessage(session.scanDialogWindow, WM_SCAN_STATUS, kStatusOfPassingEntry,
                                  0);
}

void refreshStatus() {
  platform::desktop().sendMessage(scanSession().scanDialogWindow, WM_SCAN_STATUS, 0, 0);
}

void appendLogLineToList(LogListView& list) {
  const ScanSession& session = scanSession();
  if (list.count() >= kLogLinesBeforeReset && session.logFinal == 0) list.clear();
  list.add(session.logLine);
  int count = list.count();
  // With one or two lines the index is past the end, so nothing is selected; from the third
  // line on the newest one is selected and so scrolled into view.
  list.select(count > 2 ? count - 1 : count);
}
