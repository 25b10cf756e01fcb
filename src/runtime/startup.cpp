#include "runtime/startup.h"

#include <windows.h>

extern "C" {

// Laid out by the linker: a -1, the constructors of every object file, then a 0.
using Function = void (*)();
extern Function __CTOR_LIST__[];

}  // extern "C"

namespace {

constexpr int kMostExitFunctions = 64;
Function exitFunctions[kMostExitFunctions];
int exitFunctionCount = 0;
bool constructed = false;

}  // namespace

namespace runtime {

void construct() {
  if (constructed) return;
  constructed = true;
  // Walked from the end, as the linker's list is meant to be: last linked, first run.
  int count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (int i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

void finish(int status) {
  while (exitFunctionCount > 0) exitFunctions[--exitFunctionCount]();
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace runtime

extern "C" {

// The compiler calls this at the start of main().
void __main() { runtime::construct(); }

int atexit(Function function) {
  if (exitFunctionCount == kMostExitFunctions) return -1;
  exitFunctions[exitFunctionCount++] = function;
  return 0;
}

}  // extern "C"
