#include "scan/status_line_pacing.h"

#include "platform/clock.h"

bool StatusLinePacing::paintNow(bool passingEntry) {
  std::uint32_t now = platform::clock().ticks();
  if (passingEntry && paintedBefore_ && now - lastPaintTicks_ < kStatusRepaintIntervalMs) {
    owed_ = true;
    return false;
  }
  painted();
  return true;
}

bool StatusLinePacing::catchUp() {
  if (!owed_) return false;
  painted();
  return true;
}

void StatusLinePacing::painted() {
  lastPaintTicks_ = platform::clock().ticks();
  paintedBefore_ = true;
  owed_ = false;
}
