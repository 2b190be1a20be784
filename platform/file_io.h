#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

// Paths longer than Windows' classic limit (260 characters) are opened in their long form
// there, so a deep folder works like any other.

// Whether others may write to a file while it is open for reading.
enum class FileSharing {
  kWritersAllowed,
  // Windows only: while the stream is open nobody can write to, truncate, rename or delete the
  // file, and a file another program already holds open for writing cannot be opened. POSIX
  // has no such mode: there this is the same as kWritersAllowed.
  kWritersKeptOut,
};

// Whether kWritersKeptOut can refuse a file that kWritersAllowed opens: true on Windows (a file
// another program holds open for writing), false on POSIX, where the two modes are the same.
extern const bool kKeepingWritersOutCanRefuse;

// Opens an existing regular file for binary reading by its UTF-16 path. Returns nullptr when
// the path names nothing, names something other than a regular file (a folder, a FIFO, a
// device) or cannot be opened. Never blocks on a FIFO or device. A file under another
// program's write lease (Linux: a Samba or NFS server's) is opened once that program lets go,
// after at most the kernel's lease-break time. The caller owns the stream, which takes no lock
// of its own on POSIX: it must be used by one thread at a time.
std::FILE* OpenFileForReading(const std::u16string& path,
                              FileSharing sharing = FileSharing::kWritersAllowed);

// What a path names, for telling the user why it could not be measured.
enum class PathKind {
  kReadableFile,  // a regular file, or a link to one, that opens for reading
  kMissing,       // nothing has that name, or a folder on the way to it is missing
  kUnreadable,    // it cannot be looked at or opened: the system's reason says why
  kFolder,        // a folder, or a link to one
  kOther,         // a FIFO, device or socket (POSIX); a device name such as CON (Windows)
};

// Looks at `path` as OpenFileForReading sees it, opening nothing that could block. For
// kUnreadable, `*reason` holds the system's own words ("Permission denied"); it is emptied
// otherwise. A file another program holds open for writing counts as readable.
PathKind ExaminePath(const std::u16string& path, std::u16string* reason);

// Asks the system to start reading the first and the last `bytes` bytes of the regular file at
// `path` into its cache and returns without waiting for them, so that reading them soon after
// costs no wait (a folder read from a cold disk then overlaps its reads). Only a request:
// nothing happens for anything but a regular file, when it cannot be opened at once, or where
// the platform has no such request (Windows, where the first read of a file waits for it).
// Nor when the file's last byte is in the cache already (a file read whole since it was last
// read from the disk): its ends are taken to be there too. Returns true when it asked, false
// when it did nothing. Never blocks on a FIFO, a device or another program's lease.
bool ReadAheadFileEnds(const std::u16string& path, std::uint64_t bytes);

// A file created new for writing. Never replaces or follows anything already under its name.
class OutputFile {
 public:
  // Creates a new, empty temporary file in the folder `folder_prefix` (a folder path ending in
  // a separator, or empty for the current folder) and stores its path in `*path`. Its name
  // never looks like a finished output: a dot file ending in ".tmp" on POSIX, "~" ... ".tmp"
  // on Windows. Returns nullptr (and leaves `*path` empty) when none can be created, with the
  // system's reason in `*reason` when given ("Permission denied").
  // On POSIX its descriptor is never 0, 1 or 2, even when one of those was closed, so no
  // console text can reach it.
  static std::unique_ptr<OutputFile> CreateTemporary(const std::u16string& folder_prefix,
                                                     std::u16string* path,
                                                     std::u16string* reason = nullptr);

  virtual ~OutputFile() = default;  // implementations close the file if still open

  // Writes all `size` bytes with one call. False when the write failed or was short; nothing
  // is retried (on POSIX a short write is followed by one of the rest, only to learn the
  // system's reason for failure()).
  virtual bool Write(const void* data, std::size_t size) = 0;

  // Flushes the data to the disk and closes the file. False when either reported an error
  // (the data may not have reached the disk). Calling it again does nothing and returns true.
  virtual bool Close() = 0;

  // The system's reason for the first Write or Close that failed ("No space left on device"),
  // or empty.
  const std::u16string& failure() const { return failure_; }

 protected:
  // Keeps `reason` unless an earlier failure was kept.
  void NoteFailure(std::u16string reason) {
    if (failure_.empty()) failure_ = std::move(reason);
  }

 private:
  std::u16string failure_;
};

// Gives the closed file at `from` the name `to` in the same folder, never replacing what
// already has that name (a file, a folder, a link): the file appears under `to` complete or
// not at all. False when the name is taken or the rename failed; the file then keeps its old
// name. On POSIX file systems with neither a no-replace rename nor hard links, the name is
// first claimed by an empty file, which the whole file then replaces: a run killed between
// the two leaves that empty file. `*reason`, when given, gets the system's words for a failure
// other than a taken name, and is emptied otherwise.
bool PublishFile(const std::u16string& from, const std::u16string& to,
                 std::u16string* reason = nullptr);

// Deletes the file at `path`; false when it could not.
bool RemoveFile(const std::u16string& path);
