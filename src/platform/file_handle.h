// Buffered file handle for the UNF file: open existing or create-or-truncate,
// read, write, seek with 64-bit offsets, close.
//
// One buffer serves both directions: it holds either read-ahead or pending
// writes, never both. Seeking inside the read-ahead only moves the position;
// seeking anywhere else writes out pending data first. A seek of distance 0
// from the current position costs nothing.
//
// A failed write is remembered: every later write, flush and close of the
// same file answers false, so a file with a lost piece never passes for a
// complete one. close() also asks the system to commit the data and reports
// a failure there.
//
// Sharing: on Windows the file is opened shared with readers only. POSIX has
// no mandatory share modes, so there is nothing to enforce here; other
// processes may open the file as their permissions allow.
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
  bool openWith(const char* path, int flags);
  bool fillBuffer();
  bool writeAt(int64_t offset, const unsigned char* data, size_t n);
  int64_t readAt(int64_t offset, unsigned char* data, size_t n, bool whole);
  bool placeAt(int64_t offset);
  void noteFailure(int code);

  static constexpr size_t kBufferSize = 1 << 16;
  int fd_ = -1;
  int error_ = 0;
  bool writeFailed_ = false;          // sticky: a write-back was lost
  bool written_ = false;              // data written since the open
  int64_t osPos_ = 0;                 // the descriptor's offset, -1 unknown
  unsigned char* buffer_ = nullptr;
  size_t readPos_ = 0, readEnd_ = 0;  // read-ahead window in buffer_
  size_t writeLen_ = 0;               // pending write bytes in buffer_
  int64_t bufferStart_ = 0;           // file offset of buffer_[0]
};

}  // namespace vorlan::platform
