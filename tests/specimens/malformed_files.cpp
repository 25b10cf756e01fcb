// Files that are not PE images, or whose headers cannot be read whole. A record's patterns are
// left in those built from a specimen, so that only the headers can reject them.
#include <string>
#include <vector>

#include "specimens/pe_image_builder.h"
#include "specimens/specimens.h"

namespace specimens {
namespace {

std::string dosStub(std::size_t length) {
  std::string bytes(length, '\0');
  bytes.replace(0, 2, "MZ");
  return bytes;
}

const char kText[] =
    "[boot loader]\r\n"
    "timeout=30\r\n"
    "default=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
    "[operating systems]\r\n"
    "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP Professional\" "
    "/fastdetect\r\n";

}  // namespace

std::vector<Specimen> malformedFiles() {
  std::string carrier = build(2, Variant::Plain)->bytes;

  std::string pastTheEnd = carrier;
  putLittleEndian32(pastTheEnd, 60, 0xFFF0);
  std::string noSignature = carrier;
  noSignature.replace(kPeHeaderOffset, 2, "NE");

  return {
      {"empty.bin", "", 0},
      {"short-61.bin", dosStub(61), 0},
      {"short-62.bin", dosStub(62), 0},
      {"boot.txt", kText, 0},
      {"header-offset-past-end.exe", pastTheEnd, 0},
      {"no-pe-signature.exe", noSignature, 0},
      {"file-header-cut-short.exe", carrier.substr(0, kPeHeaderOffset + 4 + 10), 0},
      {"optional-header-cut-short.exe", carrier.substr(0, kPeHeaderOffset + 24 + 50), 0},
      {"section-table-cut-short.exe", carrier.substr(0, kSectionTableOffset + 50), 0},
  };
}

}  // namespace specimens
