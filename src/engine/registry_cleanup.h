// Removing the start-up registry values and the services that the worm's variants install.
#pragma once

// Runs the whole cleanup after an identification of `virusName`; writes one ScanLog line when
// anything was removed. Always returns 1.
int cleanWormRegistry(const char* virusName);
