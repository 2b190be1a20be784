#include <windows.h>

#include <io.h>

#include <cstdint>
#include <limits>

#include "platform/file_io.h"

namespace {

const wchar_t* WidePath(const std::u16string& path) {
  // wchar_t and char16_t are both UTF-16 code units on Windows.
  return reinterpret_cast<const wchar_t*>(path.c_str());
}

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(HANDLE handle) : handle_(handle) {}
  ~Win32OutputFile() override { Close(); }

  bool Write(const void* data, std::size_t size) override {
    if (handle_ == INVALID_HANDLE_VALUE || size > std::numeric_limits<DWORD>::max()) {
      return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr);
    return ok && written == size;
  }

  bool Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const bool ok = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::FILE* OpenFileForReading(const std::u16string& path) {
  std::FILE* stream = nullptr;
  if (_wfopen_s(&stream, WidePath(path), L"rb") != 0 || stream == nullptr) return nullptr;
  // Device names (CON, NUL, COM1, a pipe) open like files but can block or never end: only
  // files on disk are measured. A folder already fails to open.
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(stream);
    return nullptr;
  }
  return stream;
}

std::unique_ptr<OutputFile> OutputFile::CreateNew(const std::u16string& path) {
  // CREATE_NEW fails when anything already has the name, so nothing is ever replaced.
  const HANDLE handle = CreateFileW(WidePath(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32OutputFile>(handle);
}

bool RemoveFile(const std::u16string& path) { return DeleteFileW(WidePath(path)) != FALSE; }
