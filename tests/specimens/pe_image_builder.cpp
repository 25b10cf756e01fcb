#include "specimens/pe_image_builder.h"

#include <algorithm>
#include <stdexcept>

namespace specimens {
namespace {

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kExecutableImage32 = 0x0102;
constexpr std::uint16_t kPe32Magic = 0x010B;
constexpr std::uint32_t kImageBase = 0x00400000;
constexpr std::uint16_t kSubsystemWindowsGui = 2;
constexpr std::uint32_t kCodeSection = 0x60000020;

void writeHeaders(std::string& image, const ImageLayout& layout) {
  image[0] = 'M';
  image[1] = 'Z';
  putLittleEndian32(image, 60, layout.newHeaderField);

  const std::size_t pe = kPeHeaderOffset;
  image.replace(pe, 4, std::string("PE\0\0", 4));
  const std::size_t fileHeader = pe + 4;
  putLittleEndian16(image, fileHeader + 0, kMachineI386);
  putLittleEndian16(image, fileHeader + 2, static_cast<std::uint16_t>(layout.sections.size()));
  putLittleEndian16(image, fileHeader + 16, layout.declaredOptionalHeaderSize);
  putLittleEndian16(image, fileHeader + 18, kExecutableImage32);

  const std::size_t optional = pe + 24;
  putLittleEndian16(image, optional + 0, kPe32Magic);
  putLittleEndian32(image, optional + 16, layout.entryRva);
  putLittleEndian32(image, optional + 28, kImageBase);
  putLittleEndian32(image, optional + 32, 0x1000);  // section alignment
  putLittleEndian32(image, optional + 36, 0x200);   // file alignment
  putLittleEndian16(image, optional + 48, 4);       // subsystem version 4.0
  putLittleEndian32(image, optional + 56, 0x100000);
  putLittleEndian32(image, optional + 60, layout.sizeOfHeaders);
  putLittleEndian16(image, optional + 68, kSubsystemWindowsGui);
  putLittleEndian32(image, optional + 92, 16);  // data directories, all empty

  for (std::size_t index = 0; index < layout.sections.size(); ++index) {
    const SectionSpec& section = layout.sections[index];
    std::size_t entry = kSectionTableOffset + index * kSectionHeaderSize;
    std::string name = ".sec" + std::to_string(index);
    image.replace(entry, name.size(), name);
    putLittleEndian32(image, entry + 8, section.virtualSize);
    putLittleEndian32(image, entry + 12, section.virtualAddress);
    putLittleEndian32(image, entry + 20, section.pointerToRawData);
    putLittleEndian32(image, entry + 36, kCodeSection);
  }
}

}  // namespace

void putLittleEndian16(std::string& bytes, std::size_t offset, std::uint16_t value) {
  if (offset + 2 > bytes.size()) throw std::out_of_range("outside the image");
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

void putLittleEndian32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > bytes.size()) throw std::out_of_range("outside the image");
  for (int index = 0; index < 4; ++index) {
    bytes[offset + index] = static_cast<char>((value >> (8 * index)) & 0xFF);
  }
}

std::string renderImage(const ImageLayout& layout) {
  std::size_t headersEnd = kSectionTableOffset + layout.sections.size() * kSectionHeaderSize;
  if (headersEnd > layout.sizeOfHeaders || layout.sizeOfHeaders > layout.fileLength) {
    throw std::logic_error("the headers do not fit");
  }
  std::string image(layout.fileLength, '\0');
  writeHeaders(image, layout);

  std::vector<Content> contents = layout.contents;
  std::sort(contents.begin(), contents.end(),
            [](const Content& a, const Content& b) { return a.fileOffset < b.fileOffset; });
  std::size_t taken = layout.sizeOfHeaders;
  for (const Content& content : contents) {
    std::size_t end = std::size_t{content.fileOffset} + content.bytes.size();
    if (content.fileOffset < taken || end > image.size()) {
      throw std::logic_error(
          "a content overlaps the headers or another content, or leaves the file");
    }
    image.replace(content.fileOffset, content.bytes.size(), content.bytes);
    taken = end;
  }
  return image;
}

}  // namespace specimens
