// The checks the walker offers every file to, in order. A check returns nonzero when it dealt
// with the file, so that no later check is consulted for it.
#pragma once

using WormCheckFunction = int (*)(const char* virusFamilyName, const char* path);

struct WormCheck {
  const char* name;
  WormCheckFunction check;
};

// Ended by an entry whose name is null.
extern const WormCheck WormCheckTable[];
