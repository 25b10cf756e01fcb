// The offline rescue's share of the benchmark: the same walk and header reads as bare-walk, made
// through the rooted tree as the rescue makes them, with Windows-style paths relative to the root
// (each file opened by its path, its folder found in the tree's cache), case-insensitive look-ups
// and no link followed. Its files per second against bare-walk's show what the tree costs.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/offline/rooted_tree.h"

namespace {

using platform::offline::EntryKind;
using platform::offline::FileIdentity;
using platform::offline::FolderListing;
using platform::offline::RootedTree;
using platform::offline::ScopedFd;
using platform::offline::TreeEntry;

long files = 0;
std::uint64_t bytes = 0;

bool readAt(int descriptor, void* buffer, std::size_t count, off_t offset) {
  ssize_t got = pread(descriptor, buffer, count, offset);
  if (got > 0) bytes += static_cast<std::uint64_t>(got);
  return got == static_cast<ssize_t>(count);
}

void examine(RootedTree& tree, const std::string& path) {
  FileIdentity identity;
  ScopedFd file = tree.openFile(path.c_str(), identity);
  if (!file) return;
  ++files;
  unsigned char offset[2], header[24], optional[96], sections[800];
  if (readAt(file.get(), offset, 2, 60)) {
    off_t pe = offset[0] | offset[1] << 8;
    if (readAt(file.get(), header, 24, pe) && std::memcmp(header, "PE\0\0", 4) == 0 &&
        readAt(file.get(), optional, 96, pe + 24)) {
      unsigned count = header[6] | header[7] << 8;
      if (count > 0 && count <= 20) readAt(file.get(), sections, count * 40, pe + 248);
    }
  }
}

void walk(RootedTree& tree, const std::string& relative) {
  FolderListing listing;
  if (!listing.open(tree, relative.c_str())) return;
  TreeEntry entry;
  while (listing.next(entry)) {
    std::string path = relative.empty() ? entry.name : relative + "\\" + entry.name;
    if (entry.kind == EntryKind::kFolder) {
      walk(tree, path);
    } else if (entry.kind == EntryKind::kRegularFile) {
      examine(tree, path);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int index = 1; index < argc; ++index) {
    RootedTree tree;
    if (!tree.open(argv[index])) {
      std::fprintf(stderr, "rooted-walk: cannot open %s\n", argv[index]);
      return 2;
    }
    walk(tree, "");
  }
  std::printf("files examined: %ld\nbytes read: %llu\n", files,
              static_cast<unsigned long long>(bytes));
  return 0;
}
