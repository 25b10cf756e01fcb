#include "engine/worm_identification.h"

#include <cstring>

#include "engine/pe_header_view.h"
#include "platform/file_system.h"

namespace {

bool sizeRulePasses(const WormSignature& record, std::int64_t length) {
  switch (record.sizeRule) {
    case SizeExact:
      return length == record.fileSize;
    case SizeNear: {
      std::int64_t difference = record.fileSize - length;
      return difference > -sizeTolerance && difference < sizeTolerance;
    }
    case SizeAny:
      return true;
    default:
      return false;
  }
}

bool probeMatches(const PeHeaderView& view, platform::Handle file, std::int64_t length,
                  std::int32_t entryOffset, const std::uint8_t* pattern) {
  // Addresses are 32-bit; an offset that leaves the range wraps, as it does in the image.
  std::uint32_t rva = view.addressOfEntryPoint() + static_cast<std::uint32_t>(entryOffset);
  std::uint8_t bytes[probeLength];
  return platform::files().readAt(file, entryRvaToFileOffset(view, rva, length), bytes,
                                  probeLength) &&
         std::memcmp(bytes, pattern, probeLength) == 0;
}

bool recordMatches(const WormSignature& record, const PeHeaderView& view, platform::Handle file,
                   std::int64_t length) {
  return sizeRulePasses(record, length) &&
         probeMatches(view, file, length, record.firstOffset, record.firstPattern) &&
         probeMatches(view, file, length, record.secondOffset, record.secondPattern);
}

}  // namespace

const WormSignature* identifyOpenFile(platform::Handle file, bool* measured) {
  if (measured != nullptr) *measured = false;
  std::int64_t length = platform::files().fileLength(file);
  if (length < 0) return nullptr;
  if (measured != nullptr) *measured = true;

  PeHeaderView view;
  if (readPeFileHeader(view, file) == 0 || readPeSections(view, file) == 0) return nullptr;
  for (const WormSignature* record = wormSignatureTable; !isEndOfSignatureTable(*record);
       ++record) {
    if (recordMatches(*record, view, file, length)) return record;
  }
  return nullptr;
}

const WormSignature* identifyWormFile(const char* path, bool* examined) {
  if (examined != nullptr) *examined = false;
  platform::ScopedFile file(platform::files().openForReading(path));
  if (!file) return nullptr;
  return identifyOpenFile(file.get(), examined);
}
