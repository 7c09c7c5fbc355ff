// Buffered file handle for the UNF file: open existing or create-or-truncate,
// read, write, seek with 64-bit offsets, close. Opened shared with readers only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlan::platform {

enum class SeekOrigin { Begin, Current, End };

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Opens an existing file for reading and writing. False on failure
  // (lastError() tells why).
  bool openExisting(const char* path);
  // Creates the file, or truncates an existing one, for reading and writing.
  bool createTruncate(const char* path);
  bool isOpen() const { return fd_ >= 0; }

  // Reads up to n bytes; returns the count read (0 at end of file or on
  // error; failed() tells which).
  size_t read(void* buffer, size_t n);
  // Reads one byte, -1 at end of file or on error. No system call per byte.
  int readByte() {
    if (readPos_ < readEnd_) return buffer_[readPos_++];
    return refillAndReadByte();
  }
  // Writes all n bytes or fails.
  bool write(const void* buffer, size_t n);
  // Moves the file position; returns the new absolute position, -1 on error.
  int64_t seek(int64_t offset, SeekOrigin origin);
  int64_t tell() const;
  // Writes out buffered data.
  bool flush();
  // Flushes and closes; false when a write-back failed. Safe to call twice.
  bool close();

  bool failed() const { return error_ != 0; }
  int lastError() const { return error_; }  // errno-style code, 0 for none

 private:
  int refillAndReadByte();
  bool flushWrites();
  void dropReadAhead();

  static constexpr size_t kBufferSize = 1 << 16;
  int fd_ = -1;
  int error_ = 0;
  unsigned char* buffer_ = nullptr;
  size_t readPos_ = 0, readEnd_ = 0;  // read-ahead window in buffer_
  size_t writeLen_ = 0;               // pending write bytes in buffer_
  int64_t bufferStart_ = 0;           // file offset of buffer_[0]
};

}  // namespace vorlan::platform
