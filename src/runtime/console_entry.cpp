// The entry point of the console programs: main() with the command line split as the system's C
// runtime splits it.
#include <windows.h>

#include "runtime/command_line.h"
#include "runtime/startup.h"

extern "C" int main(int argc, char** argv);

namespace {

// The longest command line the system passes, and the most arguments it can hold.
constexpr int kLongestCommandLine = 32768;
constexpr int kMostArguments = kLongestCommandLine / 2 + 1;

char argumentText[kLongestCommandLine + 2];
char* argumentList[kMostArguments + 1];

}  // namespace

extern "C" [[noreturn]] void mainCRTStartup() {
  int count = runtime::splitCommandLine(GetCommandLineA(), argumentText, sizeof argumentText,
                                        argumentList, kMostArguments + 1);
  if (count < 0) {
    static const char kTooLong[] = "The command line is too long.\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kTooLong, sizeof kTooLong - 1, &written, nullptr);
    ExitProcess(3);
  }
  runtime::construct();
  runtime::finish(main(count, argumentList));
}
