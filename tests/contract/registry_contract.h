// What the cleanup and the performance-data reader rely on from the registry part of the seam,
// asserted the same way against SimulatedWindows on Linux and against the Win32 implementation
// under Wine.
//
// An environment type supplies: root() (a predefined root) and base() (an empty key below it,
// no trailing backslash), registry() (the Registry under test), and setValue(relative subkey,
// name, type, bytes), which makes the key as needed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry.h"

template <typename Environment>
class RegistryContract : public ::testing::Test {
 protected:
  std::string key(const std::string& relative) { return env.base() + "\\" + relative; }

  // Opens `relative` below the base; kNoHandle when it cannot be opened with `access`.
  platform::Handle open(const std::string& relative, std::uint32_t access, long* result = nullptr) {
    platform::Handle opened = platform::kNoHandle;
    long code = env.registry().openKey(env.root(), key(relative).c_str(), access, opened);
    if (result != nullptr) *result = code;
    return opened;
  }

  Environment env;
};

TYPED_TEST_SUITE_P(RegistryContract);

TYPED_TEST_P(RegistryContract, AMissingKeyIsNotFoundAndLeavesTheHandleAlone) {
  platform::Handle untouched = 0x1234;
  long result = this->env.registry().openKey(this->env.root(), this->key("Absent\\Deeper").c_str(),
                                             platform::kKeyRead, untouched);
  EXPECT_EQ(result, platform::kErrorFileNotFound);
  EXPECT_EQ(untouched, 0x1234u);
}

TYPED_TEST_P(RegistryContract, ValuesAreSizedThenReadAndAShortBufferAsksForMore) {
  this->env.setValue("Run", "Sample", platform::kRegSz, std::string("msblast.exe") + '\0');
  platform::Registry& registry = this->env.registry();
  platform::ScopedKey run(this->open("run", platform::kKeyRead));  // keys in any letter case
  ASSERT_TRUE(run.valid());

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  ASSERT_EQ(registry.queryValue(run.get(), "SAMPLE", &type, nullptr, &size),
            platform::kErrorSuccess);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 12u);

  char small[4] = {};
  size = sizeof small;
  EXPECT_EQ(registry.queryValue(run.get(), "Sample", &type, small, &size),
            platform::kErrorMoreData);
  EXPECT_EQ(size, 12u);

  char whole[32] = {};
  size = sizeof whole;
  ASSERT_EQ(registry.queryValue(run.get(), "Sample", nullptr, whole, &size),
            platform::kErrorSuccess);
  EXPECT_EQ(size, 12u);
  EXPECT_STREQ(whole, "msblast.exe");

  EXPECT_EQ(registry.queryValue(run.get(), "Absent", nullptr, nullptr, &size),
            platform::kErrorFileNotFound);
}

TYPED_TEST_P(RegistryContract, TrailingBlanksArePartOfAValueName) {
  this->env.setValue("Run", "Name   ", platform::kRegSz, std::string("x") + '\0');
  platform::ScopedKey run(this->open("Run", platform::kKeyAllAccess));
  ASSERT_TRUE(run.valid());
  platform::Registry& registry = this->env.registry();
  std::uint32_t size = 0;
  EXPECT_EQ(registry.queryValue(run.get(), "Name", nullptr, nullptr, &size),
            platform::kErrorFileNotFound);
  EXPECT_EQ(registry.deleteValue(run.get(), "Name "), platform::kErrorFileNotFound);
  EXPECT_EQ(registry.queryValue(run.get(), "name   ", nullptr, nullptr, &size),
            platform::kErrorSuccess);
}

TYPED_TEST_P(RegistryContract, DeletingNeedsAKeyOpenedForWriting) {
  this->env.setValue("Run", "Doomed", platform::kRegDword, std::string(4, '\1'));
  platform::Registry& registry = this->env.registry();
  {
    platform::ScopedKey readOnly(this->open("Run", platform::kKeyRead));
    ASSERT_TRUE(readOnly.valid());
    EXPECT_EQ(registry.deleteValue(readOnly.get(), "Doomed"), platform::kErrorAccessDenied);
  }
  platform::ScopedKey writable(this->open("Run", platform::kKeyAllAccess));
  ASSERT_TRUE(writable.valid());
  EXPECT_EQ(registry.deleteValue(writable.get(), "doomed"), platform::kErrorSuccess);
  EXPECT_EQ(registry.deleteValue(writable.get(), "Doomed"), platform::kErrorFileNotFound);
  EXPECT_EQ(registry.closeKey(writable.release()), platform::kErrorSuccess);
}

TYPED_TEST_P(RegistryContract, ClosingAPredefinedRootIsAllowed) {
  EXPECT_EQ(this->env.registry().closeKey(this->env.root()), platform::kErrorSuccess);
  // The root still works afterwards.
  this->env.setValue("Run", "After", platform::kRegSz, std::string("y") + '\0');
  platform::ScopedKey run(this->open("Run", platform::kKeyRead));
  EXPECT_TRUE(run.valid());
}

REGISTER_TYPED_TEST_SUITE_P(RegistryContract, AMissingKeyIsNotFoundAndLeavesTheHandleAlone,
                            ValuesAreSizedThenReadAndAShortBufferAsksForMore,
                            TrailingBlanksArePartOfAValueName, DeletingNeedsAKeyOpenedForWriting,
                            ClosingAPredefinedRootIsAllowed);
