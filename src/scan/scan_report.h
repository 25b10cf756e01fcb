// The report of one scan as one JSON document, for administrators who collect the reports of
// many machines: what the program found and did, what it did not examine, the statistics,
// whether a restart is needed, whether the worm can come back, and the exit status.
#pragma once

#include "common/json_writer.h"

struct ReportContext {
  const char* program = "";
  const char* version = "4.0";
  const char* computer = "";
  const char* started = "";  // ISO 8601, UTC
  const char* ended = "";
  bool dryRun = false;
  int exitStatus = 0;
};

// Writes the document from the scan session and its record; false when the writer failed (the
// document did not fit).
bool writeScanReport(const ReportContext& context, json::Writer& writer);

// "YYYY-MM-DDThh:mm:ssZ" into `buffer` (at least 21 bytes).
void formatIsoTime(char* buffer, std::size_t capacity, int year, int month, int day, int hour,
                   int minute, int second);
