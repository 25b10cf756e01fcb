#include "scan/scan_record.h"

#include "common/bounded_text.h"

namespace {

ScanRecord theRecord;

}  // namespace

ScanRecord& scanRecord() { return theRecord; }

void resetScanRecordForTest() {
  ScanRecord& record = theRecord;
  record.findingCount = record.valueCount = record.serviceCount = record.gapCount = 0;
}

void recordFinding(const char* object, const char* variant, const char* outcome) {
  ScanRecord& record = theRecord;
  if (record.findingCount < ScanRecord::kMaxFindings) {
    RecordedFinding& finding = record.findings[record.findingCount];
    text::copy(finding.object, object);
    text::copy(finding.variant, variant);
    text::copy(finding.outcome, outcome);
  }
  ++record.findingCount;
}

void recordValueRemoved(platform::Handle root, const char* key, const char* value) {
  ScanRecord& record = theRecord;
  if (record.valueCount < ScanRecord::kMaxValues) {
    RecordedValue& removed = record.values[record.valueCount];
    removed.root = root;
    text::copy(removed.key, key);
    text::copy(removed.value, value);
  }
  ++record.valueCount;
}

void recordServiceRemoved(const char* name) {
  ScanRecord& record = theRecord;
  if (record.serviceCount < ScanRecord::kMaxServices) {
    text::copy(record.services[record.serviceCount].name, name);
  }
  ++record.serviceCount;
}

void recordNotExamined(const char* object, const char* reason) {
  ScanRecord& record = theRecord;
  if (record.gapCount < ScanRecord::kMaxGaps) {
    text::copy(record.gaps[record.gapCount].object, object);
    text::copy(record.gaps[record.gapCount].reason, reason);
  }
  ++record.gapCount;
}
