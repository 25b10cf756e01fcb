// The dry run over the whole scan: the lines and counts a real run writes, and nothing changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/worm_footprint.h"
#include "platform/dry_run.h"
#include "platform/sim/simulated_windows.h"
#include "scan/scan_driver.h"
#include "scan/scan_exit_status.h"
#include "scan/scan_session.h"
#include "specimens/specimens.h"

namespace {

using Strings = std::vector<std::string>;

std::string specimen(int record) {
  return specimens::build(record, specimens::Variant::Plain)->bytes;
}

// XP with a running worm, worm files in both trees (one read-only, one also in the temporary
// tree that lies inside the Windows tree), the worm's start-up values and services, and files of
// other programs.
enum class Scene { kXp, kXpWormKeptAliveAsAService, kWindows98 };

void infectedMachine(sim::SimulatedWindows& machine, Scene scene) {
  bool windows98 = scene == Scene::kWindows98;
  if (windows98) {
    machine.processes.setWindows98();
  } else {
    machine.processes.setWindowsNt(5);
  }
  machine.files.setWindowsDirectory(R"(C:\WINDOWS)");
  machine.files.setTempDirectory(R"(C:\WINDOWS\Temp\)");
  machine.files.addFile(R"(C:\WINDOWS\win.ini)", "[windows]");
  machine.files.addFile(R"(C:\WINDOWS\EXPLORER.EXE)", "MZ plain program");
  machine.processes.start(R"(C:\WINDOWS\EXPLORER.EXE)");
  machine.files.addFile(R"(C:\WINDOWS\system32\msblast.exe)", specimen(2));
  platform::ProcessId worm = machine.processes.start(R"(C:\WINDOWS\system32\msblast.exe)");
  if (scene == Scene::kXpWormKeptAliveAsAService) {
    machine.processes.process(worm).canTerminate = false;
    machine.services.addService("msblast", R"(C:\WINDOWS\system32\msblast.exe)");
    machine.services.onStopped(
        [&machine](const std::string& binaryPath) { machine.processes.endImage(binaryPath); });
  }
  machine.files.addFile(R"(C:\WINDOWS\system32\drivers\penis32.exe)", specimen(3),
                        platform::kAttributeReadOnly | platform::kAttributeHidden);
  machine.files.addFile(R"(C:\WINDOWS\Temp\teekids.exe)", specimen(4));
  machine.files.addFile(R"(C:\WINDOWS\Temp\notes.txt)", "plain text");
  for (const footprint::RegistryEntry& value : footprint::wormValues()) {
    machine.registry.setString(value.root, value.subkey, value.name,
                               R"(C:\WINDOWS\system32\msblast.exe)");
  }
  for (const std::string& service : footprint::wormServiceNames()) {
    machine.services.addService(service, R"(C:\WINDOWS\system32\)" + service + ".exe");
  }
}

// The machine as text without the virtual time, which passes in a dry run as in a real one.
std::string stateOf(const sim::SimulatedWindows& machine) {
  std::string state = machine.dump();
  return state.substr(0, state.rfind("virtual time:"));
}

struct ScanRun {
  Strings lines;
  std::string machineBefore, machineAfter;
  platform::DryRunChanges changes;
  int exitStatus = 0;
  ScanStatistics statistics;
  int restartsRequested = 0;
  std::size_t handlesLeft = 0;
};

ScanRun scanMachine(Scene scene, bool dryRun) {
  resetScanSessionForTest();
  ScanRun run;
  sim::SimulatedWindows machine;
  infectedMachine(machine, scene);
  scanSession().scanDialogWindow =
      machine.desktop.addWindow([&run](std::uint32_t id, std::uintptr_t, std::intptr_t) {
        if (id == WM_SCAN_APPENDLOG) run.lines.emplace_back(scanSession().logLine);
        return 0;
      });
  machine.desktop.answerMessageBoxes({platform::kAnswerYes});
  run.machineBefore = stateOf(machine);
  if (dryRun) {
    platform::DryRun dry(platform::installed());
    platform::ScopedInstall installed(dry.os());
    runScan();
    run.changes = dry.changes();
  } else {
    runScan();
  }
  run.machineAfter = stateOf(machine);
  run.exitStatus = scanExitStatus(scanSession());
  run.statistics = scanSession().statistics;
  run.restartsRequested = machine.processes.restartsRequested();
  run.handlesLeft = machine.openHandleCount();
  return run;
}

void expectTheSameLinesAndNothingChanged(const ScanRun& real, const ScanRun& dry) {
  // The real run found and removed something, so that the comparison says something.
  ASSERT_NE(real.machineAfter, real.machineBefore);
  ASSERT_GE(real.statistics.filesDeleted, 3);

  EXPECT_EQ(dry.lines, real.lines);
  EXPECT_EQ(dry.statistics.filesScanned, real.statistics.filesScanned);
  EXPECT_EQ(dry.statistics.filesInfected, real.statistics.filesInfected);
  EXPECT_EQ(dry.statistics.filesDeleted, real.statistics.filesDeleted);
  EXPECT_EQ(dry.exitStatus, real.exitStatus);

  EXPECT_EQ(dry.machineAfter, dry.machineBefore);
  EXPECT_EQ(dry.restartsRequested, 0);
  EXPECT_EQ(dry.handlesLeft, 0u);
  // What it would have changed is counted.
  EXPECT_LE(dry.changes.processesEnded, 1);
  EXPECT_EQ(dry.changes.filesDeleted, real.statistics.filesDeleted);
  EXPECT_GE(dry.changes.attributesChanged, dry.changes.filesDeleted);
  EXPECT_EQ(dry.changes.valuesDeleted, static_cast<int>(footprint::wormValues().size()));
  EXPECT_GE(dry.changes.servicesDeleted, static_cast<int>(footprint::wormServiceNames().size()));
}

// On the NT family files are removed through their handles, on the 95/98/Me family by their
// paths; the worm's process is ended through the process-status library or ToolHelp.
TEST(DryRunTest, TheWholeScanWritesWhatARealRunWritesAndChangesNothing) {
  for (Scene scene : {Scene::kXp, Scene::kXpWormKeptAliveAsAService, Scene::kWindows98}) {
    SCOPED_TRACE(static_cast<int>(scene));
    expectTheSameLinesAndNothingChanged(scanMachine(scene, false), scanMachine(scene, true));
  }
}

}  // namespace
