// Reading a file's version from its version resource: 32-bit and 64-bit images as linkers lay
// them out, and every way a hostile or broken file can spoil the road there, which must give
// "cannot tell", read nothing out of bounds, and leave no handle open.
#include "engine/version_resource.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "sim_fixture.h"
#include "specimens/pe_image_builder.h"
#include "specimens/version_image.h"

namespace {

using specimens::ImageWidth;
using specimens::putLittleEndian16;
using specimens::putLittleEndian32;
using specimens::VersionImage;

const char kPath[] = R"(C:\WINDOWS\system32\rpcrt4.dll)";

class VersionResourceTest : public SimTest {
 protected:
  // The version read from `bytes` as the file at kPath; false when none could be read.
  bool read(const std::string& bytes, FileVersion& version) {
    sim.files.addFile(kPath, bytes);
    platform::ScopedFile file(platform::files().openForReading(kPath));
    EXPECT_TRUE(file.valid());
    return readFileVersion(file.get(), version);
  }
};

TEST_F(VersionResourceTest, ReadsTheFixedFileVersionOf32And64BitImages) {
  struct Case {
    ImageWidth width;
    std::uint16_t parts[4];
  };
  for (const Case& c :
       {Case{ImageWidth::k32, {5, 0, 2195, 6753}}, Case{ImageWidth::k64, {5, 1, 2600, 2180}},
        Case{ImageWidth::k32, {65535, 65535, 65535, 65535}}}) {
    VersionImage image =
        specimens::versionImage(c.parts[0], c.parts[1], c.parts[2], c.parts[3], c.width);
    std::uint64_t readBefore = sim.files.bytesRead();
    FileVersion version;
    ASSERT_TRUE(read(image.bytes, version));
    FileVersion expected = fileVersion(c.parts[0], c.parts[1], c.parts[2], c.parts[3]);
    EXPECT_EQ(version.high, expected.high);
    EXPECT_EQ(version.low, expected.low);
    // The headers, the way through the resource directory and the version's fixed part only.
    EXPECT_LT(sim.files.bytesRead() - readBefore, 800u);
  }
}

TEST(FileVersion, ComparesPartByPartAndPrintsAsFourNumbers) {
  const FileVersion threshold = fileVersion(5, 0, 2195, 6753);
  EXPECT_TRUE(atLeast(fileVersion(5, 0, 2195, 6753), threshold));
  EXPECT_TRUE(atLeast(fileVersion(5, 0, 2196, 0), threshold));
  EXPECT_TRUE(atLeast(fileVersion(5, 1, 0, 0), threshold));
  EXPECT_FALSE(atLeast(fileVersion(5, 0, 2195, 6752), threshold));
  EXPECT_FALSE(atLeast(fileVersion(5, 0, 2194, 9999), threshold));
  EXPECT_FALSE(atLeast(fileVersion(4, 65535, 65535, 65535), threshold));

  char text[24];
  EXPECT_TRUE(formatFileVersion(fileVersion(4, 0, 1381, 33474), text, sizeof text));
  EXPECT_STREQ(text, "4.0.1381.33474");
  EXPECT_FALSE(formatFileVersion(fileVersion(4, 0, 1381, 33474), text, 8));
}

// One way to spoil the image: a name for the failure message, and the change.
struct Spoiling {
  const char* what;
  std::function<void(VersionImage&)> spoil;
};

void put16(VersionImage& image, std::uint32_t at, std::uint16_t value) {
  putLittleEndian16(image.bytes, at, value);
}
void put32(VersionImage& image, std::uint32_t at, std::uint32_t value) {
  putLittleEndian32(image.bytes, at, value);
}

const Spoiling kSpoilings[] = {
    {"no PE signature", [](VersionImage& i) { i.bytes.replace(0x80, 2, "NE"); }},
    {"an optional header of another kind",
     [](VersionImage& i) { put16(i, i.optionalHeader, 0x107); }},
    {"an optional header too short for the resources' directory",
     [](VersionImage& i) { put16(i, i.fileHeader + 16, 96); }},
    {"two data directories only", [](VersionImage& i) { put32(i, i.directoryCount, 2); }},
    {"no resource directory", [](VersionImage& i) { put32(i, i.resourceDataDirectory, 0); }},
    {"a resource directory smaller than its header",
     [](VersionImage& i) { put32(i, i.resourceDataDirectory + 4, 8); }},
    {"a resource directory that wraps past 4 GiB",
     [](VersionImage& i) {
       put32(i, i.resourceDataDirectory, 0xFFFFFF00);
       put32(i, i.resourceDataDirectory + 4, 0x200);
     }},
    {"no sections", [](VersionImage& i) { put16(i, i.fileHeader + 2, 0); }},
    {"more sections than a loader takes", [](VersionImage& i) { put16(i, i.fileHeader + 2, 97); }},
    {"a section table past the end of the file",
     [](VersionImage& i) { put16(i, i.fileHeader + 16, 0xFFF0); }},
    {"the resource section's data past the end of the file",
     [](VersionImage& i) { put32(i, i.resourceSectionHeader + 20, 0x10000); }},
    {"the resource section's data wrapping past 4 GiB",
     [](VersionImage& i) { put32(i, i.resourceSectionHeader + 20, 0xFFFFFF00); }},
    {"the resource directory outside every section",
     [](VersionImage& i) { put32(i, i.resourceDataDirectory, 0x8000); }},
    {"no version type among the root's entries",
     [](VersionImage& i) { put32(i, i.versionTypeEntry, 17); }},
    {"the version type leading to data, not a directory",
     [](VersionImage& i) { put32(i, i.versionTypeEntry + 4, 0x28); }},
    {"a directory of names past the resource directory's end",
     [](VersionImage& i) { put32(i, i.versionTypeEntry + 4, 0x80000000 | 0x7FFFFFF0); }},
    {"more root entries than the directory holds",
     [](VersionImage& i) {
       put16(i, i.rootDirectory + 12, 0);
       put16(i, i.rootDirectory + 14, 0xFFFF);
       put32(i, i.versionTypeEntry, 17);
     }},
    {"named entries that push the numbered ones past the directory",
     [](VersionImage& i) { put16(i, i.rootDirectory + 12, 0xFFFF); }},
    {"an empty directory of names", [](VersionImage& i) { put16(i, i.nameDirectory + 14, 0); }},
    {"a directory of names that leads back to itself",
     [](VersionImage& i) { put32(i, i.nameDirectory + 16 + 4, 0x80000000 | 0x28); }},
    {"a language that leads to a directory, not data",
     [](VersionImage& i) { put32(i, i.languageEntry + 4, 0x80000000 | 0x40); }},
    {"a data entry past the resource directory's end",
     [](VersionImage& i) { put32(i, i.languageEntry + 4, 0xD8); }},
    {"data outside every section", [](VersionImage& i) { put32(i, i.dataEntry, 0x9000); }},
    {"data that run past their section's end",
     [](VersionImage& i) { put32(i, i.dataEntry, 0x2000 + 0x200 - 40); }},
    {"data smaller than the version's fixed part",
     [](VersionImage& i) { put32(i, i.dataEntry + 4, 91); }},
    {"a version structure shorter than its fixed part",
     [](VersionImage& i) { put16(i, i.versionInfo, 60); }},
    {"a version structure longer than its data",
     [](VersionImage& i) { put16(i, i.versionInfo, 93); }},
    {"a value shorter than the fixed part",
     [](VersionImage& i) { put16(i, i.versionInfo + 2, 0); }},
    {"another key", [](VersionImage& i) { put16(i, i.versionInfo + 6, 'X'); }},
    {"a fixed part without its signature", [](VersionImage& i) { put32(i, i.fixedFileInfo, 0); }},
    {"a file cut in the middle of its resources",
     [](VersionImage& i) { i.bytes.resize(i.versionInfo + 20); }},
};

TEST_F(VersionResourceTest, ASpoiledImageGivesNoVersion) {
  for (const Spoiling& spoiling : kSpoilings) {
    for (ImageWidth width : {ImageWidth::k32, ImageWidth::k64}) {
      VersionImage image = specimens::versionImage(5, 0, 2195, 6753, width);
      spoiling.spoil(image);
      FileVersion version = fileVersion(1, 2, 3, 4);
      EXPECT_FALSE(read(image.bytes, version)) << spoiling.what;
      EXPECT_EQ(version.high, fileVersion(1, 2, 3, 4).high) << spoiling.what << ": touched";
      EXPECT_EQ(sim.openHandleCount(), 0u) << spoiling.what;
    }
  }
}

TEST_F(VersionResourceTest, FilesThatAreNoImagesGiveNoVersion) {
  FileVersion version;
  for (const std::string& bytes : {std::string(), std::string("MZ"), std::string(4096, 'M')}) {
    EXPECT_FALSE(read(bytes, version)) << bytes.size() << " bytes";
  }
}

}  // namespace
