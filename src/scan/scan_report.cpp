#include "scan/scan_report.h"

#include "common/bounded_text.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "scan/scan_record.h"
#include "scan/scan_session.h"

namespace {

void writeVersion(json::Writer& writer, const char* name, const FileVersion& version) {
  char text[32];
  text::format(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(version.high >> 16),
               static_cast<unsigned>(version.high & 0xFFFF),
               static_cast<unsigned>(version.low >> 16),
               static_cast<unsigned>(version.low & 0xFFFF));
  writer.member(name, text);
}

void writeWindows(json::Writer& writer) {
  platform::ReleaseInfo release;
  writer.key("windows");
  writer.beginObject();
  if (platform::processes().queryRelease(release)) {
    const char* family = release.version.platformId == platform::kPlatformIdNt        ? "nt"
                         : release.version.platformId == platform::kPlatformIdWindows ? "9x"
                                                                                      : "other";
    writer.member("family", family);
    char version[24];
    text::format(version, sizeof version, "%u.%u", release.version.majorVersion,
                 release.version.minorVersion);
    writer.member("version", version);
    writer.member("servicePack", release.servicePack);
  } else {
    writer.member("family", "unknown");
  }
  writer.endObject();
}

// A list that ran out of room says how many it could not keep.
template <typename Item, typename WriteItem>
void writeList(json::Writer& writer, const char* name, const Item* items, int count, int capacity,
               WriteItem writeItem) {
  writer.key(name);
  writer.beginArray();
  for (int i = 0; i < count && i < capacity; ++i) {
    writer.beginObject();
    writeItem(items[i]);
    writer.endObject();
  }
  writer.endArray();
  if (count > capacity) {
    char dropped[64];
    text::format(dropped, sizeof dropped, "%sNotKept", name);
    writer.member(dropped, static_cast<long long>(count - capacity));
  }
}

void writeReinfection(json::Writer& writer, const ReinfectionVerdict& verdict) {
  writer.key("reinfection");
  writer.beginObject();
  writer.member("verdict", reinfectionName(verdict.verdict));
  writer.member("decidedBy", reinfectionBasisName(verdict.basis));
  if (verdict.rpcRuntimePath[0] != '\0') writer.member("file", verdict.rpcRuntimePath);
  if (verdict.fileVersionRead) writeVersion(writer, "fileVersion", verdict.fileVersion);
  if (verdict.hasFirstFixed) writeVersion(writer, "firstFixedVersion", verdict.firstFixed);
  if (verdict.servicePack >= 0) writer.member("servicePack", verdict.servicePack);
  if (verdict.hotfixKey[0] != '\0') writer.member("hotfixKey", verdict.hotfixKey);
  writer.endObject();
}

}  // namespace

void formatIsoTime(char* buffer, std::size_t capacity, int year, int month, int day, int hour,
                   int minute, int second) {
  text::format(buffer, capacity, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute,
               second);
}

bool writeScanReport(const ReportContext& context, json::Writer& writer) {
  const ScanSession& session = scanSession();
  const ScanRecord& record = scanRecord();
  writer.beginObject();
  writer.member("program", context.program);
  writer.member("version", context.version);
  writer.member("computer", context.computer);
  writeWindows(writer);
  writer.member("started", context.started);
  writer.member("ended", context.ended);
  writer.memberBoolean("dryRun", context.dryRun);

  writeList(writer, "findings", record.findings, record.findingCount, ScanRecord::kMaxFindings,
            [&](const RecordedFinding& finding) {
              writer.member("object", finding.object);
              writer.member("variant", finding.variant);
              writer.member("outcome", finding.outcome);
            });
  writeList(writer, "registry", record.values, record.valueCount, ScanRecord::kMaxValues,
            [&](const RecordedValue& value) {
              const char* root = platform::rootName(value.root);
              writer.member("hive", root != nullptr ? root : "");
              writer.member("key", value.key);
              writer.member("value", value.value);
            });
  writeList(writer, "services", record.services, record.serviceCount, ScanRecord::kMaxServices,
            [&](const RecordedService& service) { writer.member("name", service.name); });
  writeList(writer, "notExamined", record.gaps, record.gapCount, ScanRecord::kMaxGaps,
            [&](const RecordedGap& gap) {
              writer.member("object", gap.object);
              writer.member("reason", gap.reason);
            });

  writer.key("statistics");
  writer.beginObject();
  writer.member("scanned", static_cast<long long>(session.statistics.filesScanned));
  writer.member("infected", static_cast<long long>(session.statistics.filesInfected));
  writer.member("deleted", static_cast<long long>(session.statistics.filesDeleted));
  writer.endObject();
  writer.memberBoolean("restartRequired", session.restartRequired != 0 ||
                                              session.memoryRestartRequired != 0 ||
                                              session.shutdownAborted != 0);
  writer.memberBoolean("shutdownAborted", session.shutdownAborted != 0);
  writeReinfection(writer, session.reinfection);
  writer.member("exitStatus", static_cast<long long>(context.exitStatus));
  writer.endObject();
  return !writer.failed();
}
