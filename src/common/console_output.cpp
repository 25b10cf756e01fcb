#include "common/console_output.h"

#include <cstdarg>
#include <cstring>

#include "common/bounded_format.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#endif

namespace console {
namespace {

#ifdef _WIN32
void writeAll(HANDLE handle, const char* bytes, std::size_t length) {
  while (length > 0) {
    DWORD written = 0;
    DWORD piece = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
    if (!WriteFile(handle, bytes, piece, &written, nullptr) || written == 0) return;
    bytes += written;
    length -= written;
  }
}

// Lines end in CR LF on Windows, as the C runtime's text streams write them.
void writeBytes(Stream stream, const char* bytes, std::size_t length) {
  HANDLE handle = GetStdHandle(stream == Stream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  char translated[1024];
  std::size_t used = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (used + 2 > sizeof translated) {
      writeAll(handle, translated, used);
      used = 0;
    }
    if (bytes[i] == '\n') translated[used++] = '\r';
    translated[used++] = bytes[i];
  }
  writeAll(handle, translated, used);
}
#else
void writeBytes(Stream stream, const char* bytes, std::size_t length) {
  int descriptor = stream == Stream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
  while (length > 0) {
    ssize_t written = ::write(descriptor, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}
#endif

// What is waiting to be written to one stream. Standard output is written when its buffer fills
// or is flushed, so that a program printing a line per file makes few system calls; standard
// error is written at the end of every call.
struct PendingOutput {
  char bytes[4096];
  std::size_t used;
};

// Zero-filled before the program starts, with no code run for it.
PendingOutput pending[2];

PendingOutput& pendingFor(Stream stream) { return pending[stream == Stream::kOutput ? 0 : 1]; }

void add(Stream stream, const char* text, std::size_t length) {
  PendingOutput& out = pendingFor(stream);
  while (length > 0) {
    if (out.used == sizeof out.bytes) flush(stream);
    std::size_t room = sizeof out.bytes - out.used;
    std::size_t taken = length < room ? length : room;
    std::memcpy(out.bytes + out.used, text, taken);
    out.used += taken;
    text += taken;
    length -= taken;
  }
}

void finishCall(Stream stream) {
  if (stream == Stream::kError) flush(stream);
}

class StreamSink final : public text::FormatSink {
 public:
  explicit StreamSink(Stream stream) : stream_(stream) {}
  void put(const char* piece, std::size_t length) override { add(stream_, piece, length); }

 private:
  Stream stream_;
};

}  // namespace

void flush(Stream stream) {
  PendingOutput& out = pendingFor(stream);
  writeBytes(stream, out.bytes, out.used);
  out.used = 0;
}

void write(Stream stream, const char* text, std::size_t length) {
  add(stream, text, length);
  finishCall(stream);
}

void write(Stream stream, const char* text) { write(stream, text, std::strlen(text)); }

void print(Stream stream, const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  StreamSink sink(stream);
  text::formatTo(sink, pattern, arguments);
  va_end(arguments);
  finishCall(stream);
}

void fail(const char* message) {
  flush(Stream::kOutput);
  write(Stream::kError, message);
  write(Stream::kError, "\n");
#ifdef _WIN32
  ExitProcess(255);
#else
  std::abort();
#endif
}

}  // namespace console
