#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_io.h"
#include "platform/utf.h"

namespace {

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { Close(); }

  bool Write(const void* data, std::size_t size) override {
    if (fd_ < 0) return false;
    ssize_t written;
    do {
      written = ::write(fd_, data, size);
    } while (written < 0 && errno == EINTR);
    return written >= 0 && static_cast<std::size_t>(written) == size;
  }

  bool Close() override {
    if (fd_ < 0) return true;
    // Linux releases the descriptor even when close reports an error, so never retry it.
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

}  // namespace

std::FILE* OpenFileForReading(const std::u16string& path) {
  const std::string name = Utf16ToUtf8(path);
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one forever.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* stream = ::fdopen(fd, "rb");
  if (stream == nullptr) ::close(fd);
  return stream;
}

std::unique_ptr<OutputFile> OutputFile::CreateNew(const std::u16string& path) {
  const std::string name = Utf16ToUtf8(path);
  // O_EXCL also refuses a symbolic link planted under the name, even a dangling one.
  const int fd =
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixOutputFile>(fd);
}

bool RemoveFile(const std::u16string& path) {
  return ::unlink(Utf16ToUtf8(path).c_str()) == 0;
}
