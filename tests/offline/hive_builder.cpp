#include "offline/hive_builder.h"

#include <gtest/gtest.h>

#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "offline/empty_hive.h"
#include "platform/offline/hive_keys.h"

namespace offline_test {
namespace {

std::vector<std::string> split(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size() && !path.empty()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

hive_node_h findKey(hive_h* hive, const std::string& path) {
  hive_node_h node = hivex_root(hive);
  for (const std::string& part : split(path)) {
    if (node == 0) return 0;
    node = hivex_node_get_child(hive, node, part.c_str());
  }
  return node;
}

hive_node_h ensureKey(hive_h* hive, const std::string& path) {
  hive_node_h node = hivex_root(hive);
  for (const std::string& part : split(path)) {
    hive_node_h child = hivex_node_get_child(hive, node, part.c_str());
    if (child == 0) child = hivex_node_add_child(hive, node, part.c_str());
    EXPECT_NE(child, 0u) << "cannot add " << part << " of " << path;
    node = child;
  }
  return node;
}

void setValue(hive_h* hive, const std::string& path, const std::string& name, std::uint32_t type,
              const std::string& bytes) {
  hive_node_h key = ensureKey(hive, path);
  std::string nameCopy = name;
  std::string data = bytes;
  hive_set_value value = {&nameCopy[0], hive_t_REG_NONE, data.size(), &data[0]};
  platform::offline::setType(value, type);
  EXPECT_EQ(hivex_node_set_value(hive, key, &value, 0), 0) << path << " " << name;
}

std::string utf16(const std::string& text) {
  std::string wide;
  for (char c : text) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

void setString(hive_h* hive, const std::string& path, const std::string& name,
               const std::string& text, std::uint32_t type) {
  setValue(hive, path, name, type, utf16(text) + std::string(2, '\0'));
}

void setDword(hive_h* hive, const std::string& path, const std::string& name, std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  setValue(hive, path, name, 4, bytes);
}

void addStringAgain(hive_h* hive, const std::string& path, const std::string& name,
                    const std::string& text) {
  hive_node_h key = ensureKey(hive, path);
  // hivex can only set a key's whole list: the values there are read and set again with the
  // new one after them.
  struct Copy {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
  };
  std::vector<Copy> copies;
  std::unique_ptr<hive_value_h, decltype(&std::free)> values(hivex_node_values(hive, key),
                                                             &std::free);
  ASSERT_TRUE(values) << path;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    std::unique_ptr<char, decltype(&std::free)> stored(hivex_value_key(hive, *value), &std::free);
    Copy copy;
    std::size_t length = 0;
    std::unique_ptr<char, decltype(&std::free)> data(
        hivex_value_value(hive, *value, platform::offline::typeSlot(copy.type), &length),
        &std::free);
    ASSERT_TRUE(stored && data) << path;
    copy.name = stored.get();
    copy.data.assign(data.get(), length);
    copies.push_back(copy);
  }
  copies.push_back({name, 1, utf16(text) + std::string(2, '\0')});
  std::vector<hive_set_value> list;
  for (Copy& copy : copies) {
    hive_set_value entry = {&copy.name[0], hive_t_REG_NONE, copy.data.size(), &copy.data[0]};
    platform::offline::setType(entry, copy.type);
    list.push_back(entry);
  }
  EXPECT_EQ(hivex_node_set_values(hive, key, list.size(), list.data(), 0), 0) << path;
}

bool hasKey(hive_h* hive, const std::string& path) { return findKey(hive, path) != 0; }

std::string valueBytes(hive_h* hive, const std::string& path, const std::string& name) {
  hive_node_h key = findKey(hive, path);
  if (key == 0) return "";
  hive_value_h value = hivex_node_get_value(hive, key, name.c_str());
  if (value == 0) return "";
  std::uint32_t type = 0;
  std::size_t length = 0;
  std::unique_ptr<char, decltype(&std::free)> data(
      hivex_value_value(hive, value, platform::offline::typeSlot(type), &length), &std::free);
  return data ? std::string(data.get(), length) : "";
}

bool hasValue(hive_h* hive, const std::string& path, const std::string& name) {
  hive_node_h key = findKey(hive, path);
  if (key == 0) return false;
  // hivex's own look-up ignores case; the tests need names that differ only in trailing blanks
  // told apart, which it does.
  return hivex_node_get_value(hive, key, name.c_str()) != 0;
}

int copiesOf(hive_h* hive, const std::string& path, const std::string& name) {
  hive_node_h key = findKey(hive, path);
  if (key == 0) return 0;
  std::unique_ptr<hive_value_h, decltype(&std::free)> values(hivex_node_values(hive, key),
                                                             &std::free);
  int copies = 0;
  for (const hive_value_h* value = values ? values.get() : nullptr; value && *value != 0; ++value) {
    std::unique_ptr<char, decltype(&std::free)> stored(hivex_value_key(hive, *value), &std::free);
    if (stored && strcasecmp(stored.get(), name.c_str()) == 0) ++copies;
  }
  return copies;
}

void writeHive(const std::string& hostPath, const std::function<void(hive_h*)>& fill) {
  std::ofstream(hostPath, std::ios::binary | std::ios::trunc) << emptyHive();
  hive_h* hive = hivex_open(hostPath.c_str(), HIVEX_OPEN_WRITE);
  ASSERT_NE(hive, nullptr) << "hivex cannot open the empty hive " << hostPath;
  if (fill) fill(hive);
  EXPECT_EQ(hivex_commit(hive, nullptr, 0), 0) << hostPath;
  hivex_close(hive);
}

bool readHive(const std::string& hostPath, const std::function<void(hive_h*)>& look) {
  hive_h* hive = hivex_open(hostPath.c_str(), 0);
  if (hive == nullptr) return false;
  look(hive);
  hivex_close(hive);
  return true;
}

namespace {

// Hands `look` the hive `bytes`, read from a memory file.
void lookAtBytes(const std::string& bytes, const std::function<void(hive_h*)>& look) {
  platform::offline::ScopedFd copy(memfd_create("crafted-hive", MFD_CLOEXEC));
  ASSERT_TRUE(copy);
  ASSERT_EQ(write(copy.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(readHive("/proc/self/fd/" + std::to_string(copy.get()), look));
}

}  // namespace

hive_node_h keyOffset(const std::string& hive, const std::string& path) {
  hive_node_h node = 0;
  lookAtBytes(hive, [&](hive_h* h) { node = findKey(h, path); });
  EXPECT_NE(node, 0u) << path;
  return node;
}

hive_value_h valueOffset(const std::string& hive, const std::string& path,
                         const std::string& name) {
  hive_value_h value = 0;
  lookAtBytes(hive, [&](hive_h* h) {
    hive_node_h key = findKey(h, path);
    if (key != 0) value = hivex_node_get_value(h, key, name.c_str());
  });
  EXPECT_NE(value, 0u) << path << " " << name;
  return value;
}

std::uint32_t field32(const std::string& hive, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(hive.at(at + i));
  return value;
}

void setField32(std::string& hive, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) hive.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void setField16(std::string& hive, std::size_t at, std::uint16_t value) {
  for (int i = 0; i < 2; ++i) hive.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool lookAtOpenHive(platform::offline::HiveFile& open, const std::function<void(hive_h*)>& look) {
  platform::offline::ScopedFd copy = open.copyOfEdited();
  if (!copy) return false;
  return readHive("/proc/self/fd/" + std::to_string(copy.get()), look);
}

void editOpenHive(const std::string& root, platform::offline::HiveFile& open,
                  const std::function<void(hive_h*)>& edit) {
  std::string host = root;
  for (char c : open.path()) host += c == '\\' ? '/' : c;
  host.insert(root.size(), "/");
  hive_h* hive = hivex_open(host.c_str(), HIVEX_OPEN_WRITE);
  ASSERT_NE(hive, nullptr) << host;
  edit(hive);
  EXPECT_EQ(hivex_commit(hive, nullptr, 0), 0) << host;
  hivex_close(hive);
  open.discardChanges();
}

}  // namespace offline_test
