// Stopping and deleting services through the service control manager.
#pragma once

// Counts the active Win32 services whose binary path equals `imagePath` (ignoring case); with
// `stop` 1, stops them and counts those that reached the stopped state instead.
int stopServicesByImagePath(const char* imagePath, int stop);

// Deletes the service `name`, asking it to stop first when `stopFirst` is 1. Returns 1 when the
// deletion was accepted, 0 otherwise.
int removeService(const char* name, int stopFirst);
