#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

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

// Reads are asked for where the file's last byte is out of the cache, never for a file read
// whole just before, an empty file, a FIFO or a missing name.
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
  DropFromCache(file);
  EXPECT_TRUE(ask("track.ogg"));
  ASSERT_EQ(300000u, ReadBytes(file).size());
  // Where the file system cannot tell what is in the cache (tmpfs), every file is asked for.
  char byte;
  iovec into{&byte, 1};
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const bool can_tell = ::preadv2(fd, &into, 1, 0, RWF_NOWAIT) == 1;
  (void)::close(fd);
  EXPECT_EQ(!can_tell, ask("track.ogg"));
}

}  // namespace
