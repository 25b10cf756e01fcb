// The runnable specimen: a harmless program whose entry point carries one known build's
// patterns (see specimen_entry.S), so that the memory scan has a worm process to find. It does
// nothing but wait until it is ended.
#include <windows.h>

int main() {
  for (;;) Sleep(1000);
}
