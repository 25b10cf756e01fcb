// What of the scan's scope was not examined. A removal tool must never let "nothing found" stand
// for "nothing looked at": every object the walk meets and cannot examine is counted here and,
// where a program watches, named with the reason.
#pragma once

// Called for each object not examined; the console programs print it, the windowed program keeps
// its own lines and sets none.
using NotExaminedObserver = void (*)(const char* object, const char* reason);
void watchNotExamined(NotExaminedObserver observer);

// Counts `object` as not examined. One that another program holds open without sharing (the
// registry's own files on a running system) is counted apart: it is named, but alone it does not
// say that the scan missed something it could have examined.
void noteNotExamined(const char* object, const char* reason, bool heldByAnotherProgram = false);
