// Writing to the scanning window: log lines through logLine and WM_SCAN_APPENDLOG, the status
// line through statusText and WM_SCAN_STATUS, and the window's side of the append.
#pragma once

// Formats a line into logLine and appends it to the ScanLog; the line is in the list when this
// returns. A line that would not fit in logLine is cut (it is only shown, never acted on).
void appendLogLine(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
// Writes a finding's line, "<object><gap><variant> <outcome>", and keeps the finding for the
// report, so that the report's findings are the log's finding lines.
void appendFindingLine(const char* object, const char* gap, const char* variant,
                       const char* outcome);

// Copies `text` into statusText (cut to fit) and has the status line show it.
void showStatus(const char* text);
// Has the status line show the current statusText again.
void refreshStatus();

// WM_SCAN_STATUS's wParam for a text that the next entry of a walk replaces at once: the window
// may leave it unpainted (StatusLinePacing). Every other text is sent with 0 and shown at once.
constexpr unsigned kStatusOfPassingEntry = 1;

// Copies `text` into statusText (cut to fit) and tells the status line, as a passing entry's.
void showPassingStatus(const char* text);

// The list box the ScanLog lives in, as the append handler sees it.
class LogListView {
 public:
  virtual ~LogListView() = default;
  virtual int count() = 0;
  virtual void clear() = 0;
  virtual void add(const char* line) = 0;
  virtual void select(int index) = 0;
};

// The scanning window's handler of WM_SCAN_APPENDLOG: adds logLine to the list, emptying a
// long list first while the statistics block has not begun, and keeps the newest line in view.
void appendLogLineToList(LogListView& list);
