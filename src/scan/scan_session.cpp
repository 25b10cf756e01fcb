#include "scan/scan_session.h"

#include "common/bounded_text.h"
#include "scan/scan_record.h"

namespace {
ScanSession session;
}  // namespace

ScanSession& scanSession() { return session; }

void resetScanSessionForTest() {
  session = ScanSession{};
  resetScanRecordForTest();
}

void setCurrentFinding(const char* virusName, const char* objectText) {
  // Both texts come from the signature table and from paths the walk let through (below
  // kPathBytes), so they fit; the bounded copy keeps a longer text from overrunning the record
  // all the same.
  text::copy(session.currentVirusName, virusName);
  text::copy(session.statusText, objectText);
  session.remedyCode = kRemedyDelete;
}
