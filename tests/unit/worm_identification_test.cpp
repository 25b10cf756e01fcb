#include <gtest/gtest.h>

#include <string>

#include "engine/worm_identification.h"
#include "platform/sim/simulated_windows.h"
#include "specimens/specimens.h"

namespace {

using specimens::Specimen;
using specimens::Variant;

class IdentificationTest : public ::testing::Test {
 protected:
  ~IdentificationTest() override { EXPECT_EQ(sim.openHandleCount(), 0u) << sim.dump(); }

  // The number of the record that identifies the file, 0 for none.
  int identify(const std::string& path, bool* examined = nullptr) {
    const WormSignature* record = identifyWormFile(path.c_str(), examined);
    return record == nullptr ? 0 : signatureNumber(*record);
  }
  std::string place(const Specimen& specimen) {
    std::string path = R"(C:\SPECIMENS\)" + specimen.name;
    sim.files.addFile(path, specimen.bytes);
    return path;
  }

  sim::SimulatedWindows sim;
};

TEST_F(IdentificationTest, EverySpecimenIsReportedByItsRecordAndReadsNoMoreThanTheProbes) {
  for (const Specimen& specimen : specimens::all()) {
    std::string path = place(specimen);
    std::uint64_t before = sim.files.bytesRead();
    const WormSignature* record = identifyWormFile(path.c_str());
    std::uint64_t read = sim.files.bytesRead() - before;

    int number = record == nullptr ? 0 : signatureNumber(*record);
    EXPECT_EQ(number, specimen.expectedRecord) << specimen.name;
    if (record != nullptr) {
      EXPECT_EQ(record->virusName, specimens::expectedName(specimen));
    }
    int recordsTried = specimen.expectedRecord == 0 ? 10 : specimen.expectedRecord;
    EXPECT_LE(read, specimens::mostBytesIdentificationMayRead(recordsTried)) << specimen.name;
  }
}

TEST(SignatureTable, EndsAfterTenRecordsWhosePatternsAreZeroTerminated) {
  int count = 0;
  for (const WormSignature* record = wormSignatureTable; !isEndOfSignatureTable(*record);
       ++record) {
    EXPECT_EQ(record->firstPattern[probeLength], 0);
    EXPECT_EQ(record->secondPattern[probeLength], 0);
    ++count;
  }
  EXPECT_EQ(count, 10);
}

// Where the reading departs on purpose from what a general PE reader would do, specimens keep
// it so: a reader that took the whole new-header field, trusted SizeOfOptionalHeader or compared
// section ends in 64 bits would miss these files.
TEST_F(IdentificationTest, TheDeliberateReadingsHold) {
  for (Variant variant : {Variant::HighHalfOfNewHeaderOffset, Variant::LongOptionalHeaderDeclared,
                          Variant::WrappingDecoySection}) {
    for (int number : {2, 7}) {
      Specimen specimen = *specimens::build(number, variant);
      EXPECT_EQ(identify(place(specimen)), number) << specimen.name;
    }
  }
}

TEST_F(IdentificationTest, TheFirstRecordInTableOrderWins) {
  EXPECT_EQ(identify(place(specimens::carrying({2, 8}, 12800))), 2);
  EXPECT_EQ(identify(place(specimens::carrying({1, 2}, 6176))), 1);
  // Record 1 fails on the length; record 2 is tried on the same open file.
  EXPECT_EQ(identify(place(specimens::carrying({1, 2}, 6177))), 2);
}

TEST_F(IdentificationTest, AFileThatCannotBeOpenedOrMeasuredIsNotExamined) {
  std::string plain = specimens::build(2, Variant::Plain)->bytes;
  struct Case {
    sim::FileFault fault;
    bool examined;
  };
  for (Case item : {Case{sim::FileFault::Open, false}, Case{sim::FileFault::Length, false},
                    Case{sim::FileFault::Read, true}}) {
    std::string path = R"(C:\FAULTS\)" + std::to_string(static_cast<int>(item.fault)) + ".exe";
    sim.files.addFile(path, plain);
    sim.files.inject(item.fault, path);
    bool examined = !item.examined;
    EXPECT_EQ(identify(path, &examined), 0);
    EXPECT_EQ(examined, item.examined) << path;
  }
  bool examined = true;
  EXPECT_EQ(identify(R"(C:\FAULTS\absent.exe)", &examined), 0);
  EXPECT_FALSE(examined);
}

}  // namespace
