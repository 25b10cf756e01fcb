// Whether the worm can come back once it is removed. The family enters through the flaw in the
// RPC/DCOM service that security bulletin MS03-026 fixed (KB823980; MS03-039, KB824146, fixed
// it again), so a machine cleaned but not fixed is infected again soon after it is online. The
// verdict is told from the system's release, the file version of rpcrt4.dll in its system
// folder, which decides, and, where that file cannot tell, the keys that the fix, or a later
// update that includes it, leaves in the registry.
#pragma once

#include <cstdint>

#include "engine/version_resource.h"
#include "platform/processes.h"
#include "platform/types.h"

enum class Reinfection : std::uint8_t {
  kUnknown,      // it cannot be told whether the fix is in place
  kFixed,        // the fix is in place
  kMissing,      // the fix is not in place: the worm can return
  kNotAffected,  // the system never had the flaw: the 95/98/Me family, NT 6.0 and later
};

// What a verdict was decided from.
enum class ReinfectionBasis : std::uint8_t {
  kNothing,        // nothing could tell
  kSystemVersion,  // the version alone: a system that never had the flaw
  kFileVersion,    // the file version of rpcrt4.dll against the release's first fixed one
  kServicePack,    // a service pack that includes the fix
  kHotfixKey,      // a key that the fix or a later update including it leaves
};

// The verdict and everything it was decided from, as a report would name it.
struct ReinfectionVerdict {
  Reinfection verdict = Reinfection::kUnknown;
  ReinfectionBasis basis = ReinfectionBasis::kNothing;

  bool releaseKnown = false;
  platform::ReleaseInfo release;
  int servicePack = -1;  // the number in the service pack's name; 0 for none, -1 untold

  // The first fixed version of rpcrt4.dll for the release, when the bulletins name one. Where
  // the release is not known exactly (its service pack or edition untold), this is the highest
  // of the candidates: a file at or above it is fixed whichever the release is.
  bool hasFirstFixed = false;
  FileVersion firstFixed;

  char rpcRuntimePath[platform::kMaxPath] = {};  // the file looked at; empty when none
  bool fileVersionRead = false;
  FileVersion fileVersion;

  char hotfixKey[platform::kMaxPath] = {};  // below HKEY_LOCAL_MACHINE, when one was found
};

// Judges this machine (or, offline, the installation) through the platform seam.
ReinfectionVerdict judgeReinfection();

// The number in a service pack's name: "Service Pack 2" gives 2, "" (none installed) 0, and a
// name of another form -1.
int servicePackNumber(const char* name);

// "fixed", "missing", "unknown", "notAffected"; and the basis as "nothing", "systemVersion",
// "fileVersion", "servicePack", "hotfixKey".
const char* reinfectionName(Reinfection verdict);
const char* reinfectionBasisName(ReinfectionBasis basis);
