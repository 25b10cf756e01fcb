// vandrel-holder FILE...: opens each file without delete sharing and keeps it open until it is
// ended, standing in for a program that has a worm file in use. Prints "holding" once ready.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    HANDLE file = CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "vandrel-holder: cannot open %s (error %lu)\n", argv[i], GetLastError());
      return 1;
    }
    // The handle stays open for the life of the process on purpose.
  }
  std::printf("holding\n");
  std::fflush(stdout);
  for (;;) Sleep(1000);
}
