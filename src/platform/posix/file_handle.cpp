// The buffered file handle on POSIX.
#define _FILE_OFFSET_BITS 64

#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

namespace vorlan::platform {

FileHandle::~FileHandle() {
  close();
  delete[] buffer_;
}

void FileHandle::noteFailure(int code) {
  error_ = code != 0 ? code : EIO;
}

bool FileHandle::openWith(const char* path, int flags) {
  if (isOpen()) close();
  error_ = 0;
  writeFailed_ = false;
  written_ = false;
  readPos_ = readEnd_ = writeLen_ = 0;
  bufferStart_ = 0;
  osPos_ = 0;
  if (path == nullptr || *path == '\0') {
    error_ = ENOENT;
    return false;
  }
  if (buffer_ == nullptr) {
    buffer_ = new (std::nothrow) unsigned char[kBufferSize];
    if (buffer_ == nullptr) {
      error_ = ENOMEM;
      return false;
    }
  }
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    noteFailure(errno);
    return false;
  }
  // Only a hint; a file system without it reads the same.
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  return true;
}

bool FileHandle::openExisting(const char* path) { return openWith(path, O_RDWR); }

bool FileHandle::createTruncate(const char* path) {
  return openWith(path, O_RDWR | O_CREAT | O_TRUNC);
}

// Moves the descriptor's offset, only when it is not already there.
bool FileHandle::placeAt(int64_t offset) {
  if (osPos_ == offset) return true;
  if (lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    noteFailure(errno);
    osPos_ = -1;
    return false;
  }
  osPos_ = offset;
  return true;
}

bool FileHandle::writeAt(int64_t offset, const unsigned char* data, size_t n) {
  if (!placeAt(offset)) {
    writeFailed_ = true;
    return false;
  }
  written_ = true;
  while (n > 0) {
    ssize_t done = ::write(fd_, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      noteFailure(done < 0 ? errno : ENOSPC);
      writeFailed_ = true;
      osPos_ = -1;
      return false;
    }
    data += done;
    n -= static_cast<size_t>(done);
    osPos_ += done;
  }
  return true;
}

// Reads at offset: one system call, or (whole) until n bytes or end of file.
// Returns the count, -1 on error.
int64_t FileHandle::readAt(int64_t offset, unsigned char* data, size_t n,
                           bool whole) {
  if (!placeAt(offset)) return -1;
  int64_t total = 0;
  while (n > 0) {
    ssize_t got = ::read(fd_, data, n);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      noteFailure(errno);
      osPos_ = -1;
      return total > 0 ? total : -1;
    }
    if (got == 0) break;
    osPos_ += got;
    total += got;
    data += got;
    n -= static_cast<size_t>(got);
    if (!whole) break;
  }
  return total;
}

void FileHandle::dropReadAhead() {
  bufferStart_ += static_cast<int64_t>(readPos_);
  readPos_ = readEnd_ = 0;
}

bool FileHandle::flushWrites() {
  if (writeLen_ == 0) return !writeFailed_;
  size_t n = writeLen_;
  writeLen_ = 0;
  // After a lost write nothing more goes to the file: a later piece landing
  // behind a gap would only hide the damage.
  bool ok = !writeFailed_ && writeAt(bufferStart_, buffer_, n);
  bufferStart_ += static_cast<int64_t>(n);
  return ok;
}

bool FileHandle::fillBuffer() {
  dropReadAhead();
  int64_t got = readAt(bufferStart_, buffer_, kBufferSize, false);
  if (got <= 0) return false;
  readEnd_ = static_cast<size_t>(got);
  return true;
}

int FileHandle::refillAndReadByte() {
  if (!isOpen()) return -1;
  if (writeLen_ > 0 && !flushWrites()) return -1;
  if (readPos_ < readEnd_) return buffer_[readPos_++];
  if (!fillBuffer()) return -1;
  return buffer_[readPos_++];
}

size_t FileHandle::read(void* buffer, size_t n) {
  if (!isOpen()) {
    error_ = EBADF;
    return 0;
  }
  if (n == 0) return 0;
  if (writeLen_ > 0 && !flushWrites()) return 0;
  unsigned char* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < n) {
    size_t available = readEnd_ - readPos_;
    if (available > 0) {
      size_t take = available < n - done ? available : n - done;
      std::memcpy(out + done, buffer_ + readPos_, take);
      readPos_ += take;
      done += take;
      continue;
    }
    size_t left = n - done;
    if (left >= kBufferSize) {
      // Large reads go straight into the caller's buffer.
      dropReadAhead();
      int64_t got = readAt(bufferStart_, out + done, left, true);
      if (got <= 0) break;
      bufferStart_ += got;
      done += static_cast<size_t>(got);
      if (static_cast<size_t>(got) < left) break;  // end of file
    } else if (!fillBuffer()) {
      break;
    }
  }
  return done;
}

bool FileHandle::write(const void* buffer, size_t n) {
  if (!isOpen()) {
    error_ = EBADF;
    return false;
  }
  if (writeFailed_) return false;
  if (n == 0) return true;
  dropReadAhead();
  const unsigned char* in = static_cast<const unsigned char*>(buffer);
  if (n <= kBufferSize - writeLen_) {
    std::memcpy(buffer_ + writeLen_, in, n);
    writeLen_ += n;
    return writeLen_ < kBufferSize || flushWrites();
  }
  if (!flushWrites()) return false;
  if (n >= kBufferSize) {
    bool ok = writeAt(bufferStart_, in, n);
    bufferStart_ += static_cast<int64_t>(n);
    return ok;
  }
  std::memcpy(buffer_, in, n);
  writeLen_ = n;
  return true;
}

int64_t FileHandle::tell() const {
  if (!isOpen()) return -1;
  return bufferStart_ + static_cast<int64_t>(writeLen_ + readPos_);
}

int64_t FileHandle::seek(int64_t offset, SeekOrigin origin) {
  if (!isOpen()) {
    error_ = EBADF;
    return -1;
  }
  int64_t base = 0;
  switch (origin) {
    case SeekOrigin::Begin:
      base = 0;
      break;
    case SeekOrigin::Current:
      base = tell();
      break;
    case SeekOrigin::End: {
      struct stat st;
      if (fstat(fd_, &st) != 0) {
        noteFailure(errno);
        return -1;
      }
      base = st.st_size;
      // Pending writes may reach past what the system knows of the file.
      int64_t pendingEnd = bufferStart_ + static_cast<int64_t>(writeLen_);
      if (writeLen_ > 0 && pendingEnd > base) base = pendingEnd;
      break;
    }
  }
  if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) ||
      base + offset < 0) {
    error_ = EINVAL;
    return -1;
  }
  int64_t target = base + offset;
  if (target == tell()) return target;
  if (writeLen_ > 0) {
    if (!flushWrites()) return -1;
  } else if (target >= bufferStart_ &&
             target <= bufferStart_ + static_cast<int64_t>(readEnd_)) {
    readPos_ = static_cast<size_t>(target - bufferStart_);
    return target;
  }
  readPos_ = readEnd_ = 0;
  bufferStart_ = target;
  return target;
}

bool FileHandle::flush() {
  if (!isOpen()) {
    error_ = EBADF;
    return false;
  }
  return flushWrites();
}

bool FileHandle::close() {
  if (!isOpen()) return !writeFailed_;
  flushWrites();
  if (written_ && !writeFailed_) {
    // Write-back errors of the page cache surface here and nowhere else.
    int r;
    do {
      r = fdatasync(fd_);
    } while (r != 0 && errno == EINTR);
    if (r != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) {
      noteFailure(errno);
      writeFailed_ = true;
    }
  }
  if (::close(fd_) != 0 && errno != EINTR) {
    noteFailure(errno);
    writeFailed_ = true;
  }
  fd_ = -1;
  readPos_ = readEnd_ = writeLen_ = 0;
  bufferStart_ = 0;
  osPos_ = 0;
  return !writeFailed_;
}

}  // namespace vorlan::platform
