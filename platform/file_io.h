#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

// Opens an existing regular file for binary reading by its UTF-16 path. Returns nullptr when
// the path names nothing, names something other than a regular file (a folder, a FIFO, a
// device) or cannot be opened. Never blocks. The caller owns the stream.
std::FILE* OpenFileForReading(const std::u16string& path);

// A file created new for writing. Never replaces or follows anything already under its name.
class OutputFile {
 public:
  // Creates `path` exclusively: returns nullptr when the name already exists (as a file, a
  // folder or a link) or cannot be created.
  static std::unique_ptr<OutputFile> CreateNew(const std::u16string& path);

  virtual ~OutputFile() = default;  // implementations close the file if still open

  // Writes all `size` bytes with one call. False when the write failed or was short; nothing
  // is retried.
  virtual bool Write(const void* data, std::size_t size) = 0;

  // Closes the file. False when closing reported an error (the data may not have reached the
  // disk). Calling it again does nothing and returns true.
  virtual bool Close() = 0;
};

// Deletes the file at `path`; false when it could not.
bool RemoveFile(const std::u16string& path);
