// Paths as an installation's own settings give them (ProfileList's ProfileImagePath, a user's
// Environment\TEMP), turned into paths below the root: the variables they use expanded from what
// the installation says, and only what lies on its system drive (C:) taken. Each look-up of a
// part of the installation refuses a name that has a twin differing only in letter case.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/offline/rooted_tree.h"

namespace platform::offline {

// The longest path Windows handles (in bytes here: a path longer than that in UTF-8 is refused
// too, which errs on the side of naming it).
constexpr std::size_t kLongestWindowsPath = 32767;

// Environment variables by name; names compare ignoring case, as Windows compares them.
using Variables = std::vector<std::pair<std::string, std::string>>;

// Expands every %NAME% in `text` once, as Windows expands a REG_EXPAND_SZ (a value is not
// expanded again). A '%' with no second one after it stays as it is. False when a variable is
// not in `variables` or the result would be longer than kLongestWindowsPath; `why` says which.
bool expandVariables(const std::string& text, const Variables& variables, std::string& expanded,
                     std::string& why);

// The path below the root that an absolute path on C: names ("Users\alice" for
// "C:\Users\alice\"; '/' separates as '\' does, and doubled separators count once). False, `why`
// saying how, for a path on any other drive, a network path, a device or "\\?\" path, a relative
// one, or one with a component Windows would not take as spelt: ".", "..", a ':' (a stream), a
// trailing dot or blank (which Windows drops), or control characters.
bool relativeToSystemDrive(const std::string& windowsPath, std::string& relative, std::string& why);

// Follows `relative` down from `base` (a folder spelt as on disk and taken as it is, "" for the
// root), each component found with findWithoutTwin() and each but the last a real folder; the
// last must be of kind `wanted`. `onDisk` receives the whole path (base included) as spelt on
// disk. False with `error` saying why and `where` the part of the path (base included, then as
// spelt in `relative` up to the component that failed) it concerns.
bool resolveWithoutTwins(RootedTree& tree, const std::string& base, const std::string& relative,
                         EntryKind wanted, std::string& onDisk, TreeError& error,
                         std::string& where);

// `text` as a message quotes it: whole when it is short, else its first `most` bytes and "...",
// so that a hostile value of 32 KiB does not become a line of 32 KiB.
std::string shortened(const std::string& text, std::size_t most = 300);

// The device and inode of the folder `relative` (spelt as on disk), so that one folder reached
// by two paths is taken once. False when it cannot be opened.
bool folderIdentity(RootedTree& tree, const std::string& relative, FileIdentity& identity);

}  // namespace platform::offline
