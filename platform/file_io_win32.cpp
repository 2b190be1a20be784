#include <windows.h>

#include <io.h>
#include <share.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/file_io.h"
#include "platform/paths_win32.h"

namespace {

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
    // The data reaches the disk before the file is given its name.
    const bool flushed = FlushFileBuffers(handle_) != FALSE;
    const bool closed = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return flushed && closed;
  }

 private:
  HANDLE handle_;
};

}  // namespace

const bool kKeepingWritersOutCanRefuse = true;

std::FILE* OpenFileForReading(const std::u16string& path, FileSharing sharing) {
  std::FILE* stream = nullptr;
  const std::wstring name = FileCallPath(path);
  if (sharing == FileSharing::kWritersKeptOut) {
    // Shares reading only: no writing, and no deleting or renaming either.
    stream = _wfsopen(name.c_str(), L"rb", _SH_DENYWR);
  } else if (_wfopen_s(&stream, name.c_str(), L"rb") != 0) {
    stream = nullptr;
  }
  if (stream == nullptr) return nullptr;
  // Device names (CON, NUL, COM1, a pipe) open like files but can block or never end: only
  // files on disk are measured. A folder already fails to open.
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(stream);
    return nullptr;
  }
  return stream;
}

// Windows has no request to read a range ahead without waiting for it: a helper thread reading
// the ends, or a mapping with PrefetchVirtualMemory, would be the candidates. Nothing is done.
bool ReadAheadFileEnds(const std::u16string& /*path*/, std::uint64_t /*bytes*/) {
  return false;
}

std::unique_ptr<OutputFile> OutputFile::CreateTemporary(const std::u16string& folder_prefix,
                                                        std::u16string* path) {
  path->clear();
  const std::u16string prefix = folder_prefix + u"~partial-";
  const std::wstring process = std::to_wstring(GetCurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring suffix = process + L"-" + std::to_wstring(attempt) + L".tmp";
    const std::u16string name = prefix + std::u16string(suffix.begin(), suffix.end());
    // CREATE_NEW fails when anything already has the name, so nothing is ever replaced.
    const HANDLE handle = CreateFileW(FileCallPath(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      *path = name;
      return std::make_unique<Win32OutputFile>(handle);
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return nullptr;
}

bool PublishFile(const std::u16string& from, const std::u16string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken. Within one folder
  // it is a rename, done in one step.
  return MoveFileExW(FileCallPath(from).c_str(), FileCallPath(to).c_str(),
                     MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFile(const std::u16string& path) {
  return DeleteFileW(FileCallPath(path).c_str()) != FALSE;
}
