// How often the scanning window repaints its status line. The walk names every entry in
// statusText as it reaches it, thousands a second; painting each costs more than examining the
// file, and nobody can read them. A passing entry's text is painted when the last paint is
// kStatusRepaintIntervalMs old, so the line still moves twenty times a second; any other text
// (a finding, the final "Scanning completed") is painted at once, as is a text held back when
// anything else is shown.
#pragma once

#include <cstdint>

constexpr std::uint32_t kStatusRepaintIntervalMs = 50;

class StatusLinePacing {
 public:
  // A new text is in statusText. True when it is to be painted now; otherwise it is owed.
  bool paintNow(bool passingEntry);
  // True (once) when a held-back text is owed a paint: before the window shows anything else,
  // the status line catches up with statusText.
  bool catchUp();

 private:
  void painted();

  std::uint32_t lastPaintTicks_ = 0;
  bool paintedBefore_ = false;
  bool owed_ = false;
};
