// What a scan did, kept for its report as the log lines are written: each finding line, each
// registry value and service removed, and whatever was left unexamined. Bounded: past its room a
// list keeps counting what it could not keep, and the report says so.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct RecordedFinding {
  char object[platform::kPathBytes] = {};  // a path, "System Memory" or "System Registry"
  char variant[64] = {};
  char outcome[16] = {};  // "deleted", "Delete failed", "removed"
};

struct RecordedValue {
  platform::Handle root = 0;
  char key[platform::kMaxPath] = {};
  char value[platform::kMaxPath] = {};
};

struct RecordedService {
  char name[platform::kMaxPath] = {};
};

struct RecordedGap {
  char object[platform::kPathBytes] = {};
  char reason[128] = {};
};

struct ScanRecord {
  static constexpr int kMaxFindings = 256;
  static constexpr int kMaxValues = 64;
  static constexpr int kMaxServices = 16;
  static constexpr int kMaxGaps = 32;

  RecordedFinding findings[kMaxFindings];
  int findingCount = 0;  // every one, kept or not
  RecordedValue values[kMaxValues];
  int valueCount = 0;
  RecordedService services[kMaxServices];
  int serviceCount = 0;
  RecordedGap gaps[kMaxGaps];
  int gapCount = 0;
};

// The record lives for the whole process, as the scan session does.
ScanRecord& scanRecord();
void resetScanRecordForTest();

void recordFinding(const char* object, const char* variant, const char* outcome);
void recordValueRemoved(platform::Handle root, const char* key, const char* value);
void recordServiceRemoved(const char* name);
// Something in scope that was not examined, or not cleaned, and why.
void recordNotExamined(const char* object, const char* reason);
