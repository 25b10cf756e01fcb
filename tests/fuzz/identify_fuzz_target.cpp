// Fuzz target: arbitrary bytes as a file on a fresh simulated machine, through the identification
// and through the check. Besides the sanitizers' findings, it stops on a broken promise: more
// read than the headers and the probes allow, a check that disagrees with the identification,
// or a handle left open.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/blaster_check.h"
#include "engine/worm_identification.h"
#include "platform/sim/simulated_windows.h"
#include "scan/scan_session.h"
#include "specimens/specimen_records.h"

namespace {

[[noreturn]] void brokenPromise(const char* what) {
  std::fprintf(stderr, "identify fuzz target: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char kPath[] = R"(C:\WINDOWS\TEMP\fuzzed.exe)";
  sim::SimulatedWindows machine;
  machine.files.addFile(kPath, std::string(reinterpret_cast<const char*>(data), size));

  const WormSignature* record = identifyWormFile(kPath);
  int recordsTried = record == nullptr ? 10 : signatureNumber(*record);
  if (machine.files.bytesRead() > specimens::mostBytesIdentificationMayRead(recordsTried)) {
    brokenPromise("read more than the headers and the probes");
  }

  resetScanSessionForTest();
  scanSession().inMemoryScan = 1;
  if (checkBlasterFile("W32/Blaster.Worm", kPath) != (record != nullptr ? 1 : 0)) {
    brokenPromise("the check and the identification disagree");
  }
  if (machine.openHandleCount() != 0) brokenPromise("a handle was left open");
  return 0;
}
