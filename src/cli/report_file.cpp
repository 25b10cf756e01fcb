#include "cli/report_file.h"

#include "common/bounded_text.h"
#include "common/json_writer.h"
#include "platform/types.h"

namespace cli {
namespace {

// Deletes the new file again when the report did not take the target's name.
class NewFile {
 public:
  explicit NewFile(const char* path) : path_(path) {}
  ~NewFile() {
    if (!kept_) DeleteFileA(path_);
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  void keep() { kept_ = true; }

 private:
  const char* path_;
  bool kept_ = false;
};

bool writeWhole(HANDLE file, const char* text, std::size_t length) {
  while (length > 0) {
    DWORD chunk = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(file, text, chunk, &written, nullptr) || written == 0) return false;
    text += written;
    length -= written;
  }
  return true;
}

bool fail(DWORD& error, const char*& stage, const char* what) {
  error = GetLastError();
  stage = what;
  return false;
}

}  // namespace

std::size_t codePageToUtf8(const char* text, char* buffer, std::size_t capacity) {
  WCHAR wide[1024];
  int count = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, sizeof wide / sizeof wide[0]);
  if (count <= 1) return 0;
  // The count includes the terminator, which is not converted.
  return json::utf16ToUtf8(reinterpret_cast<const std::uint16_t*>(wide),
                           static_cast<std::size_t>(count - 1), buffer, capacity);
}

bool writeReportFile(const char* target, const char* text, std::size_t length, DWORD& error,
                     const char*& stage) {
  char newPath[platform::kMaxPath];
  if (!text::format(newPath, sizeof newPath, "%s.%lu.new", target, GetCurrentProcessId())) {
    error = ERROR_FILENAME_EXCED_RANGE;
    stage = "the name is too long";
    return false;
  }
  HANDLE file =
      CreateFileA(newPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(error, stage, "cannot create a new file beside it");
  NewFile created(newPath);
  bool written = writeWhole(file, text, length) && FlushFileBuffers(file);
  DWORD writeError = GetLastError();
  if (!CloseHandle(file) && written) return fail(error, stage, "cannot be written");
  if (!written) {
    SetLastError(writeError);
    return fail(error, stage, "cannot be written");
  }

  if (!MoveFileExA(newPath, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
      return fail(error, stage, "cannot take the report's name");
    }
    // Windows 95, 98 and Me: no move replaces a file.
    if (!DeleteFileA(target) && GetLastError() != ERROR_FILE_NOT_FOUND) {
      return fail(error, stage, "the old report cannot be replaced");
    }
    if (!MoveFileA(newPath, target)) return fail(error, stage, "cannot take the report's name");
  }
  created.keep();
  return true;
}

}  // namespace cli
