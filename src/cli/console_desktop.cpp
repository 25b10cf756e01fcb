#include "cli/console_desktop.h"

#include "common/console_output.h"

namespace cli {
namespace {

using console::Stream;

// The boxes a scan can show without a keyboard are the restart offers (Yes/No after the walk,
// OK/Cancel after the memory scan); the Escape prompt needs a key press and never comes here.
int answerFor(std::uint32_t style, bool agree) {
  switch (style & 0x0F) {
    case platform::kBoxYesNo:
      return agree ? platform::kAnswerYes : platform::kAnswerNo;
    case platform::kBoxOkCancel:
      return agree ? platform::kAnswerOk : platform::kAnswerCancel;
    default:
      return platform::kAnswerOk;
  }
}

const char* answerName(int answer) {
  switch (answer) {
    case platform::kAnswerYes:
      return "Yes";
    case platform::kAnswerNo:
      return "No";
    case platform::kAnswerCancel:
      return "Cancel";
    default:
      return "OK";
  }
}

// Prints the box's text on one line: its line breaks become " | ".
void printFlattened(const char* text) {
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\n') {
      if (c[1] == '\n') ++c;
      console::write(Stream::kError, " | ");
    } else if (*c != '\r') {
      console::write(Stream::kError, c, 1);
    }
  }
}

}  // namespace

bool ConsoleDesktop::peekMessage(platform::Message& message) {
  if (!Win32Desktop::peekMessage(message)) return false;
  bool steers =
      message.id == platform::kMessageQuit || message.id == platform::kMessageClose ||
      message.id == platform::kMessageDestroy ||
      (message.id >= platform::kMessageKeyFirst && message.id <= platform::kMessageKeyLast);
  return !steers;
}

int ConsoleDesktop::messageBox(platform::WindowHandle, const char* text, const char* caption,
                               std::uint32_t style) {
  int answer = answerFor(style, agreeToRestart_);
  console::print(Stream::kError, "message box [%s]: ", caption);
  printFlattened(text);
  console::print(Stream::kError, " -> %s\n", answerName(answer));
  return answer;
}

}  // namespace cli
