#include "engine/version_resource.h"

#include "common/bounded_text.h"
#include "common/little_endian.h"
#include "engine/pe_header_view.h"
#include "platform/file_system.h"

namespace {

using bytes::littleEndian16;
using bytes::littleEndian32;

// From the PE signature: the optional header follows the signature and the file header.
constexpr std::uint32_t kOptionalHeaderOffset = 4 + kPeFileHeaderSize;
constexpr std::uint16_t kPe32Magic = 0x010B;
constexpr std::uint16_t kPe32PlusMagic = 0x020B;
// Where each kind of optional header keeps the count of its data directories; the directories
// (eight bytes each: address, size) follow the count.
constexpr std::uint32_t kPe32DirectoryCount = 92;
constexpr std::uint32_t kPe32PlusDirectoryCount = 108;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kDataDirectorySize = 8;
constexpr int kMaxSections = 96;  // as many as the system's loader takes

constexpr std::uint32_t kResourceDirectoryHeaderSize = 16;
constexpr std::uint32_t kResourceEntrySize = 8;
constexpr std::uint32_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kSubdirectoryFlag = 0x80000000;
constexpr std::uint32_t kVersionResourceType = 16;
// A root lists a handful of types; one that lists more before the version is not read further.
constexpr std::uint32_t kMaxEntriesExamined = 256;

// VS_VERSIONINFO: its length, the length of its value, its type, the key L"VS_VERSION_INFO"
// with its zero, padding to a four-byte boundary, then VS_FIXEDFILEINFO, whose first 16 bytes
// are the signature, the structure's version and the file version's two halves.
constexpr std::uint32_t kVersionKeyOffset = 6;
constexpr char kVersionKey[] = "VS_VERSION_INFO";
constexpr std::uint32_t kFixedInfoOffset = 40;
constexpr std::uint32_t kFixedInfoSize = 52;
constexpr std::uint32_t kVersionInfoHeadSize = kFixedInfoOffset + kFixedInfoSize;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;

// Whether `length` bytes from `offset` lie within `size` bytes, without overflow.
bool within(std::uint32_t offset, std::uint32_t length, std::uint32_t size) {
  return offset <= size && length <= size - offset;
}

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t span = 0;  // the bytes of the image that the file holds for it
  std::uint32_t pointerToRawData = 0;
};

struct ResourceEntry {
  std::uint32_t name = 0;    // a number, or with kSubdirectoryFlag the offset of a name
  std::uint32_t target = 0;  // with kSubdirectoryFlag a directory, else a data entry
};

// The image's headers as far as the resources need them, and reads by image address.
class ImageReader {
 public:
  explicit ImageReader(platform::Handle file) : file_(file) {}

  // Reads the PE headers: the resource directory's place and the section table. False when the
  // file is no PE image we can read, or has no resource directory.
  bool readHeaders();
  // Finds the data of the first version resource: their address and size.
  bool findVersionData(std::uint32_t& address, std::uint32_t& size);
  // Reads `count` bytes at image address `address`, all of them from one section's bytes in the
  // file.
  bool readAtAddress(std::uint32_t address, void* buffer, std::uint32_t count);

 private:
  bool readSectionTable(const PeHeaderView& view);
  bool readResource(std::uint32_t offset, void* buffer, std::uint32_t count);
  bool readDirectoryCounts(std::uint32_t directory, std::uint32_t& named, std::uint32_t& numbered);
  bool readEntry(std::uint32_t directory, std::uint32_t index, ResourceEntry& entry);
  bool numberedSubdirectory(std::uint32_t directory, std::uint32_t number,
                            std::uint32_t& subdirectory);
  bool firstEntry(std::uint32_t directory, ResourceEntry& entry);

  platform::Handle file_;
  Section sections_[kMaxSections];
  int sectionCount_ = 0;
  std::uint32_t resourceAddress_ = 0;
  std::uint32_t resourceSize_ = 0;
};

bool ImageReader::readHeaders() {
  PeHeaderView view;
  // The identification's reading of the header's place: an image whose header lies beyond
  // 64 KiB cannot be read here, which leaves its version untold rather than misread.
  if (readPeFileHeader(view, file_) == 0) return false;
  std::uint32_t optionalHeader = view.newHeaderOffset + kOptionalHeaderOffset;
  std::uint32_t optionalHeaderSize = littleEndian16(view.fileHeader + 16);

  std::uint8_t magic[2];
  if (!platform::files().readAt(file_, optionalHeader, magic, sizeof magic)) return false;
  std::uint32_t directoryCount = 0;
  switch (littleEndian16(magic)) {
    case kPe32Magic:
      directoryCount = kPe32DirectoryCount;
      break;
    case kPe32PlusMagic:
      directoryCount = kPe32PlusDirectoryCount;
      break;
    default:
      return false;
  }
  // The count, then the directories up to the resources', all within the declared header.
  std::uint32_t resourceEntry = directoryCount + 4 + kResourceDirectory * kDataDirectorySize;
  if (optionalHeaderSize < resourceEntry + kDataDirectorySize) return false;
  std::uint8_t count[4];
  std::uint8_t directory[kDataDirectorySize];
  if (!platform::files().readAt(file_, optionalHeader + directoryCount, count, sizeof count) ||
      littleEndian32(count) <= kResourceDirectory ||
      !platform::files().readAt(file_, optionalHeader + resourceEntry, directory,
                                sizeof directory)) {
    return false;
  }
  resourceAddress_ = littleEndian32(directory);
  resourceSize_ = littleEndian32(directory + 4);
  if (resourceAddress_ == 0 || resourceSize_ < kResourceDirectoryHeaderSize ||
      !within(resourceAddress_, resourceSize_, 0xFFFFFFFF)) {
    return false;
  }
  return readSectionTable(view);
}

bool ImageReader::readSectionTable(const PeHeaderView& view) {
  int count = view.numberOfSections();
  if (count == 0 || count > kMaxSections) return false;
  // Where the header says it is, unlike the identification's fixed place.
  std::uint32_t table =
      view.newHeaderOffset + kOptionalHeaderOffset + littleEndian16(view.fileHeader + 16);
  for (int index = 0; index < count; ++index) {
    std::uint8_t header[kPeSectionHeaderSize];
    std::uint32_t at = table + static_cast<std::uint32_t>(index) * kPeSectionHeaderSize;
    if (!platform::files().readAt(file_, at, header, sizeof header)) return false;
    Section& section = sections_[index];
    std::uint32_t virtualSize = littleEndian32(header + 8);
    section.virtualAddress = littleEndian32(header + 12);
    section.span = littleEndian32(header + 16);
    section.pointerToRawData = littleEndian32(header + 20);
    // Raw data past the virtual size are padding, not part of the image.
    if (virtualSize != 0 && virtualSize < section.span) section.span = virtualSize;
    if (!within(section.pointerToRawData, section.span, 0xFFFFFFFF)) return false;
  }
  sectionCount_ = count;
  return true;
}

bool ImageReader::readAtAddress(std::uint32_t address, void* buffer, std::uint32_t count) {
  for (int index = 0; index < sectionCount_; ++index) {
    const Section& section = sections_[index];
    if (address < section.virtualAddress) continue;
    std::uint32_t into = address - section.virtualAddress;
    if (!within(into, count, section.span)) continue;
    return platform::files().readAt(file_, section.pointerToRawData + into, buffer,
                                    static_cast<int>(count));
  }
  return false;
}

bool ImageReader::readResource(std::uint32_t offset, void* buffer, std::uint32_t count) {
  return within(offset, count, resourceSize_) &&
         readAtAddress(resourceAddress_ + offset, buffer, count);
}

bool ImageReader::readDirectoryCounts(std::uint32_t directory, std::uint32_t& named,
                                      std::uint32_t& numbered) {
  std::uint8_t header[kResourceDirectoryHeaderSize];
  if (!readResource(directory, header, sizeof header)) return false;
  named = littleEndian16(header + 12);
  numbered = littleEndian16(header + 14);
  return true;
}

bool ImageReader::readEntry(std::uint32_t directory, std::uint32_t index, ResourceEntry& entry) {
  // A directory lists at most 131070 entries, so this cannot overflow.
  std::uint32_t into = kResourceDirectoryHeaderSize + index * kResourceEntrySize;
  if (directory > resourceSize_ || into > resourceSize_ - directory) return false;
  std::uint8_t bytes[kResourceEntrySize];
  if (!readResource(directory + into, bytes, sizeof bytes)) return false;
  entry.name = littleEndian32(bytes);
  entry.target = littleEndian32(bytes + 4);
  return true;
}

bool ImageReader::numberedSubdirectory(std::uint32_t directory, std::uint32_t number,
                                       std::uint32_t& subdirectory) {
  std::uint32_t named = 0;
  std::uint32_t numbered = 0;
  if (!readDirectoryCounts(directory, named, numbered)) return false;
  // Numbered entries follow the named ones.
  for (std::uint32_t index = 0; index < numbered && index < kMaxEntriesExamined; ++index) {
    ResourceEntry entry;
    if (!readEntry(directory, named + index, entry)) return false;
    if (entry.name != number) continue;
    if ((entry.target & kSubdirectoryFlag) == 0) return false;
    subdirectory = entry.target & ~kSubdirectoryFlag;
    return true;
  }
  return false;
}

bool ImageReader::firstEntry(std::uint32_t directory, ResourceEntry& entry) {
  std::uint32_t named = 0;
  std::uint32_t numbered = 0;
  return readDirectoryCounts(directory, named, numbered) && named + numbered > 0 &&
         readEntry(directory, 0, entry);
}

bool ImageReader::findVersionData(std::uint32_t& address, std::uint32_t& size) {
  // Three levels, each a fixed step: type, name, language. Nothing is followed further, so a
  // directory that leads back to itself costs nothing.
  std::uint32_t names = 0;
  if (!numberedSubdirectory(0, kVersionResourceType, names)) return false;
  ResourceEntry name;
  if (!firstEntry(names, name) || (name.target & kSubdirectoryFlag) == 0) return false;
  ResourceEntry language;
  if (!firstEntry(name.target & ~kSubdirectoryFlag, language) ||
      (language.target & kSubdirectoryFlag) != 0) {
    return false;
  }
  std::uint8_t dataEntry[kResourceDataEntrySize];
  if (!readResource(language.target, dataEntry, sizeof dataEntry)) return false;
  address = littleEndian32(dataEntry);
  size = littleEndian32(dataEntry + 4);
  return true;
}

bool isVersionKey(const std::uint8_t* key) {
  for (std::uint32_t index = 0; index < sizeof kVersionKey; ++index) {
    if (littleEndian16(key + 2 * index) != static_cast<std::uint8_t>(kVersionKey[index])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool formatFileVersion(const FileVersion& version, char* buffer, std::size_t capacity) {
  return text::format(buffer, capacity, "%u.%u.%u.%u", static_cast<unsigned>(version.high >> 16),
                      static_cast<unsigned>(version.high & 0xFFFF),
                      static_cast<unsigned>(version.low >> 16),
                      static_cast<unsigned>(version.low & 0xFFFF));
}

bool readFileVersion(platform::Handle file, FileVersion& version) {
  ImageReader image(file);
  std::uint32_t address = 0;
  std::uint32_t size = 0;
  if (!image.readHeaders() || !image.findVersionData(address, size) ||
      size < kVersionInfoHeadSize) {
    return false;
  }
  std::uint8_t head[kVersionInfoHeadSize];
  if (!image.readAtAddress(address, head, sizeof head)) return false;
  std::uint32_t length = littleEndian16(head);
  std::uint32_t valueLength = littleEndian16(head + 2);
  if (length < kVersionInfoHeadSize || length > size || valueLength < kFixedInfoSize ||
      !isVersionKey(head + kVersionKeyOffset) ||
      littleEndian32(head + kFixedInfoOffset) != kFixedInfoSignature) {
    return false;
  }
  version.high = littleEndian32(head + kFixedInfoOffset + 8);
  version.low = littleEndian32(head + kFixedInfoOffset + 12);
  return true;
}
