#include "runtime/command_line.h"

namespace runtime {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Writes characters into the storage, refusing to overrun it.
class Output {
 public:
  Output(char* storage, std::size_t size) : at_(storage), end_(storage + size) {}
  bool put(char c) {
    if (at_ == end_) return false;
    *at_++ = c;
    return true;
  }
  char* position() const { return at_; }

 private:
  char* at_;
  char* end_;
};

// The program's name: quotes group and are removed, and nothing is escaped.
const char* skipProgramName(const char* at, Output* output, bool& fits) {
  bool quoted = false;
  for (; *at != '\0' && (quoted || !isBlank(*at)); ++at) {
    if (*at == '"') {
      quoted = !quoted;
    } else if (output != nullptr && !output->put(*at)) {
      fits = false;
    }
  }
  return at;
}

// One argument after the name, from `at` to the blank that ends it.
const char* splitArgument(const char* at, Output& output, bool& fits) {
  bool quoted = false;
  while (*at != '\0' && (quoted || !isBlank(*at))) {
    std::size_t backslashes = 0;
    while (*at == '\\') {
      ++backslashes;
      ++at;
    }
    if (*at == '"') {
      for (std::size_t i = 0; i < backslashes / 2; ++i) fits = output.put('\\') && fits;
      if (backslashes % 2 == 1) {
        fits = output.put('"') && fits;
      } else if (quoted && at[1] == '"') {
        fits = output.put('"') && fits;
        ++at;
      } else {
        quoted = !quoted;
      }
      ++at;
    } else {
      for (std::size_t i = 0; i < backslashes; ++i) fits = output.put('\\') && fits;
      if (*at != '\0' && (quoted || !isBlank(*at))) fits = output.put(*at++) && fits;
    }
  }
  return at;
}

}  // namespace

int splitCommandLine(const char* line, char* storage, std::size_t storageSize, char** arguments,
                     int argumentCapacity) {
  if (argumentCapacity < 1) return -1;
  Output output(storage, storageSize);
  bool fits = true;
  int count = 0;
  const char* at = line;
  while (fits) {
    if (count > 0) {
      while (isBlank(*at)) ++at;
      if (*at == '\0') break;
    }
    if (count + 1 >= argumentCapacity) return -1;
    arguments[count++] = output.position();
    at = count == 1 ? skipProgramName(at, &output, fits) : splitArgument(at, output, fits);
    fits = output.put('\0') && fits;
    if (count == 1 && *at == '\0') break;
  }
  if (!fits) return -1;
  arguments[count] = nullptr;
  return count;
}

const char* commandTail(const char* line) {
  bool unused = true;
  const char* at = skipProgramName(line, nullptr, unused);
  while (isBlank(*at)) ++at;
  return at;
}

}  // namespace runtime
