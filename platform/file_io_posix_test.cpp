#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

// Drops the file's pages from the cache (written out first, so that they can go).
void DropFromCache(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ::fdatasync(fd));
  ASSERT_EQ(0, ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED));
  (void)::close(fd);
}

// Whether the page of the file's last byte is in memory, asked without reading it: a read,
// even one that must not wait, starts the page's read-ahead.
bool LastPageResident(const std::string& name) {
  struct stat info;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool resident = false;
  const std::size_t size = ::fstat(fd, &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
  void* map = size > 0 ? ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
  if (map != MAP_FAILED) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> pages((size + page - 1) / page);
    resident = ::mincore(map, size, pages.data()) == 0 && (pages.back() & 1) != 0;
    (void)::munmap(map, size);
  }
  (void)::close(fd);
  return resident;
}

// Whether the file system says what is in the cache without reading (not tmpfs, where the
// programs ask for every file), tried on a file just read.
bool CanTellCached(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char byte;
  iovec into{&byte, 1};
  const bool can_tell = ::pread(fd, &byte, 1, 0) == 1 &&
                        ::preadv2(fd, &into, 1, 0, RWF_NOWAIT) == 1;
  (void)::close(fd);
  return can_tell;
}

// Reads are asked for where the file's last byte is out of the cache (or the system cannot
// tell), never for a file read whole just before, an empty file, a FIFO or a missing name.
TEST(ReadAheadFileEndsTest, AsksOnlyForFilesOutOfTheCache) {
  ScopedTempDir folder;
  const std::string file = folder.File("track.ogg");
  WriteBytes(file, std::string(300000, 'x'));
  WriteBytes(folder.File("empty.ogg"), "");
  ASSERT_EQ(0, ::mkfifo(folder.File("fifo").c_str(), 0600));
  const auto ask = [&](const char* name) {
    return ReadAheadFileEnds(Utf8ToUtf16(folder.File(name)), 65536);
  };
  EXPECT_FALSE(ask("empty.ogg"));
  EXPECT_FALSE(ask("fifo"));
  EXPECT_FALSE(ask("missing.ogg"));
  const bool can_tell = CanTellCached(file);
  DropFromCache(file);
  const bool out = !can_tell || !LastPageResident(file);  // before asking brings it back
  EXPECT_EQ(out, ask("track.ogg"));
  // Read whole, then asked at once. Under memory pressure the system may drop the pages in
  // between: then read again, a few times.
  bool cached = false, asked = false;
  for (int attempt = 0; attempt < 10 && asked == cached; ++attempt) {
    ASSERT_EQ(300000u, ReadBytes(file).size());
    cached = can_tell && LastPageResident(file);
    asked = ask("track.ogg");
  }
  EXPECT_NE(cached, asked);
}

// A file takes a free name whole, never a taken one; the reason is the system's words for any
// other failure, and is emptied otherwise, whatever it held before.
TEST(PublishFileTest, TakesOnlyAFreeNameAndSaysWhyNot) {
  ScopedTempDir folder;
  const auto path = [&](const char* name) { return Utf8ToUtf16(folder.File(name)); };
  WriteBytes(folder.File("a.tmp"), "whole");
  WriteBytes(folder.File("taken.cpp"), "kept");
  std::u16string reason = u"left from before";
  EXPECT_FALSE(PublishFile(path("a.tmp"), path("taken.cpp"), &reason));
  EXPECT_EQ(u"", reason);
  EXPECT_EQ("kept", ReadBytes(folder.File("taken.cpp")));
  reason = u"left from before";
  EXPECT_TRUE(PublishFile(path("a.tmp"), path("free.cpp"), &reason));
  EXPECT_EQ(u"", reason);
  EXPECT_EQ("whole", ReadBytes(folder.File("free.cpp")));
  EXPECT_FALSE(PublishFile(path("a.tmp"), path("other.cpp"), &reason));  // gone
  EXPECT_NE(u"", reason);
  EXPECT_FALSE(PublishFile(path("free.cpp"), path("free.cpp/x"), nullptr));
}

}  // namespace
