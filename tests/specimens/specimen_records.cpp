#include "specimens/specimen_records.h"

#include <stdexcept>

namespace specimens {
namespace {

const RecordFacts kRecords[kRecordCount] = {
    {"W32/Blaster.Worm", SizeRule::Exact, 6176, -105, -4019,
     "0C 4F 2C 3B 73 1E 34 10 07 A4 10 8A E4 72 20 50 C0 06 AF 21",
     "0B 05 6C 68 04 27 B1 37 E6 36 F9 30 69 67 10 B7 DB C6 63 5B"},
    {"W32/Blaster.Worm", SizeRule::Any, 11296, 34, 3210,
     "57 89 65 E8 50 D9 3C 24 66 81 0C 24 00 03 D9 2C 24 83 C4 04",
     "01 C2 83 E9 02 83 F9 01 7F EE 09 C9 74 05 0F B6 03 01 C2 89"},
    {"W32/Blaster.C.Worm", SizeRule::Exact, 5360, -3870, -981,
     "1D 90 9A 84 10 30 38 25 87 91 7D 50 FD 3C B0 8B D0 7B BE 02",
     "E8 5A 96 80 AE 3C 6E 1F 80 D5 24 C5 D3 40 64 B4 28 D7 EC B4"},
    {"W32/Blaster.Worm", SizeRule::Exact, 19798, -1456, -13881,
     "B9 9A 16 17 FE ED 0B 76 41 73 14 27 4B C5 4E 45 4C 33 32 2E",
     "D1 15 56 FB E1 5B 33 23 5B EF 8C 60 39 0D 90 08 4B B6 30 A9"},
    {"W32/Blaster.Worm", SizeRule::Exact, 32045, 11472, 14288,
     "28 2D 88 15 F7 A4 7E A6 3C 14 06 C2 2C DA 8A 6E 66 5E 85 0B",
     "12 E8 93 03 8E 67 F3 DC BE 14 80 49 FA 0A 5C FB 0A B8 9C F8"},
    {"W32/Blaster.D.Worm", SizeRule::Exact, 10240, -7990, -109,
     "0A FE 91 0C 60 13 0B 33 D2 33 C9 8A 6C EE FF DB DE 17 8A F3",
     "5B 06 74 B6 17 80 31 0C CB E0 0D EC 10 07 06 36 BA 01 21 CB"},
    {"W32/Blaster.E.Worm", SizeRule::Exact, 11776, -20187, -17883,
     "21 48 5A 5A 02 76 98 E2 C3 3B 41 26 9A 31 21 8A 4D B2 27 62",
     "80 C0 01 81 03 04 06 0C 0C 28 18 70 31 00 62 40 C5 81 8E 04"},
    {"W32/Blaster.B.Worm", SizeRule::Near, 12800, -3942, -9040,
     "9F 04 DE 83 28 8C 0C 07 6F 25 75 37 35 CD E6 CB DD 34 46 05",
     "DF F6 37 FE 75 0B 46 83 C7 04 46 08 7C DF EB 34 8B 54 88 FC"},
    {"W32/Blaster.F.Worm", SizeRule::Near, 13824, -1531, -9372,
     "37 34 39 CD F0 10 D8 73 30 2F 38 5D 59 0C ED 5B F8 34 62 65",
     "E1 07 6E B1 1F 34 30 85 92 0A 7C 24 60 EC 1E 2C B3 31 EB 74"},
    {"W32/Blaster.C.Worm", SizeRule::Near, 12800, -10626, -110,
     "6A 02 29 5C 08 0A B2 B1 58 64 04 8B 0F 03 1A 72 E1 5B E4 01",
     "0F 04 1E 07 17 B0 7D CB 80 38 2D 0C 10 74 97 BD 81 07 06 00"},
};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::invalid_argument("not a hex digit");
}

}  // namespace

const RecordFacts& record(int recordNumber) {
  if (recordNumber < 1 || recordNumber > kRecordCount) throw std::out_of_range("no such record");
  return kRecords[recordNumber - 1];
}

std::string patternBytes(const char* hex) {
  std::string bytes;
  for (std::size_t i = 0; hex[i] != '\0';) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes += static_cast<char>(hexDigit(hex[i]) << 4 | hexDigit(hex[i + 1]));
    i += 2;
  }
  if (bytes.size() != kPatternLength) throw std::invalid_argument("a pattern has 20 bytes");
  return bytes;
}

}  // namespace specimens
