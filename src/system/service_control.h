// Stopping and deleting services through the service control manager. Both operations are
// silent: their callers report.
#pragma once

// A service that is still stop-pending after this many status polls, one second apart, is given
// up as not stopped: the scan must not hang on a service that never finishes stopping.
constexpr int kMaxStopPolls = 30;
constexpr unsigned kStopPollIntervalMs = 1000;

#include "platform/file_system.h"

// Counts the active Win32 services whose binary path equals `imagePath` (ignoring case; a path
// stored with quotes or arguments does not match) and, when `image` is given, leads to the file of
// that identity (a folder another user swapped since may lead elsewhere); with `stop` 1, asks them
// to stop and counts those that reached the stopped state instead.
int stopServicesByImagePath(const char* imagePath, int stop,
                            const platform::FileIdentity* image = nullptr);

// Deletes the service `name`, asking it to stop first when `stopFirst` is 1. Returns 1 when the
// deletion was accepted (a service still running goes once it stops), 0 otherwise.
int removeService(const char* name, int stopFirst);

// True when the service `name` exists and its stored binary path equals `imagePath` (ignoring
// case) and, when `image` is given, leads to the file of that identity: a service named after a
// worm's image is the worm's only when it runs that image.
bool serviceRunsImage(const char* name, const char* imagePath,
                      const platform::FileIdentity* image = nullptr);
