// The release of a Windows installation that is not running, from its own registry: the version
// and service pack that the SOFTWARE hive records under Microsoft\Windows NT\CurrentVersion, and
// the product suite of the control set that the SYSTEM hive's Select\Current names.
#pragma once

#include "platform/offline/installation.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace platform::offline {

// Fills `release` for an installation of `kind`, reading through `registry` (which serves the
// installation's hives). A 95/98/Me installation is told by its kind alone: its registry is not
// in hives, and only its family is known. False when the version cannot be read, or the
// service pack's value is there but cannot be read.
bool readInstallationRelease(Registry& registry, InstallationKind kind, ReleaseInfo& release);

}  // namespace platform::offline
