#include <windows.h>

#include <io.h>
#include <share.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/paths_win32.h"

namespace {

// The system's words for `error` ("Access is denied"), without the closing full stop and line
// end they come with; its number where the system has no text for it.
std::u16string ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string words(text, text + length);
  if (text != nullptr) LocalFree(text);
  while (!words.empty() && (words.back() == u'.' || words.back() == u' ' ||
                            words.back() == u'\r' || words.back() == u'\n')) {
    words.pop_back();
  }
  if (words.empty()) {
    const std::wstring number = L"error " + std::to_wstring(error);
    words.assign(number.begin(), number.end());
  }
  return words;
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
    if (!ok) NoteFailure(ErrorText(GetLastError()));
    if (ok && written != size) NoteFailure(u"a write was cut short");
    return ok && written == size;
  }

  bool Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    // The data reaches the disk before the file is given its name.
    const bool flushed = FlushFileBuffers(handle_) != FALSE;
    if (!flushed) NoteFailure(ErrorText(GetLastError()));
    const bool closed = CloseHandle(handle_) != FALSE;
    if (!closed) NoteFailure(ErrorText(GetLastError()));
    handle_ = INVALID_HANDLE_VALUE;
    return flushed && closed;
  }

 private:
  HANDLE handle_;
};

}  // namespace

const bool kKeepingWritersOutCanRefuse = true;

PathKind ExaminePath(const std::u16string& path, std::u16string* reason) {
  reason->clear();
  // Device names (CON, NUL, COM1), in any folder, are the devices' \\.\ paths.
  if (FullPath(path).rfind(u"\\\\.\\", 0) == 0) return PathKind::kOther;
  // No access asked, only the file's attributes: a file another program holds open for writing
  // still opens so. Backup semantics open folders too.
  const HANDLE handle = CreateFileW(FileCallPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return PathKind::kMissing;
    *reason = ErrorText(error);
    return PathKind::kUnreadable;
  }
  PathKind kind = PathKind::kOther;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)) {
    kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder
                                                                   : PathKind::kReadableFile;
  }
  CloseHandle(handle);
  if (kind != PathKind::kReadableFile) return kind;
  // Reading may still be refused (the file's permissions).
  const HANDLE reading = CreateFileW(FileCallPath(path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (reading == INVALID_HANDLE_VALUE) {
    *reason = ErrorText(GetLastError());
    return PathKind::kUnreadable;
  }
  CloseHandle(reading);
  return kind;
}

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
    (void)std::fclose(stream);  // opened for reading: nothing to lose
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
                                                        std::u16string* path,
                                                        std::u16string* reason) {
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
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      if (reason != nullptr) *reason = ErrorText(error);
      break;
    }
  }
  return nullptr;
}

bool PublishFile(const std::u16string& from, const std::u16string& to, std::u16string* reason) {
  if (reason != nullptr) reason->clear();
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken. Within one folder
  // it is a rename, done in one step.
  if (MoveFileExW(FileCallPath(from).c_str(), FileCallPath(to).c_str(),
                  MOVEFILE_WRITE_THROUGH) != FALSE) {
    return true;
  }
  const DWORD error = GetLastError();
  if (reason != nullptr && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
    *reason = ErrorText(error);
  }
  return false;
}

bool RemoveFile(const std::u16string& path) {
  return DeleteFileW(FileCallPath(path).c_str()) != FALSE;
}
