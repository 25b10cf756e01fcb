// Shared ground for the Linux tests: a fresh SimulatedWindows, a fresh scan session, and a
// stand-in for the scanning window that keeps the ScanLog and the status line as a person
// would see them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_windows.h"
#include "scan/scan_log.h"
#include "scan/scan_session.h"

// The ScanLog's list box as plain lines.
class LinesListView : public LogListView {
 public:
  int count() override { return static_cast<int>(lines.size()); }
  void clear() override { lines.clear(); }
  void add(const char* line) override { lines.emplace_back(line); }
  void select(int index) override { selected = index < count() ? index : -1; }

  std::vector<std::string> lines;
  int selected = -1;
};

class SimTest : public ::testing::Test {
 protected:
  SimTest() {
    resetScanSessionForTest();
    window = sim.desktop.addWindow([this](std::uint32_t id, std::uintptr_t, std::intptr_t) {
      if (id == WM_SCAN_APPENDLOG) {
        appendLogLineToList(log);
        written.emplace_back(scanSession().logLine);
        writtenAt.push_back(sim.clock.now());
      } else if (id == WM_SCAN_STATUS) {
        statuses.emplace_back(scanSession().statusText);
        if (onStatus) onStatus(statuses.back());
      }
      return 0;
    });
    scanSession().scanDialogWindow = window;
  }

  void TearDown() override {
    EXPECT_EQ(sim.openHandleCount(), 0u) << "handles left open:\n" << sim.dump();
  }

  // Every status text shown except the "." and ".." entries.
  std::vector<std::string> statusesWithoutDots() const {
    std::vector<std::string> kept;
    for (const std::string& status : statuses) {
      bool dots = status.size() >= 2 && (status.compare(status.size() - 2, 2, "\\.") == 0 ||
                                         status.compare(status.size() - 3, 3, "\\..") == 0);
      if (!dots) kept.push_back(status);
    }
    return kept;
  }

  sim::SimulatedWindows sim;
  platform::WindowHandle window = 0;
  LinesListView log;                     // what the list box holds now
  std::vector<std::string> written;      // every line ever appended, in order
  std::vector<std::uint64_t> writtenAt;  // the virtual time of each
  std::vector<std::string> statuses;     // every status text shown, in order
  std::function<void(const std::string&)> onStatus;
};
