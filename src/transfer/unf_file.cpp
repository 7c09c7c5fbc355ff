// The UNF file handle and the writer.
#include "transfer/unf_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/run_options.h"

namespace vorlan {

UnfFile unfFile;

namespace {

constexpr size_t kValueFieldSize = 18;   // "S" + 16 hex digits + ","
constexpr size_t kLengthFieldSize = 11;  // 10 decimal digits + ","
constexpr unsigned char kEntryEnd[2] = {0x0D, 0x0A};
// The readers take lengths as signed 32-bit values; an entry must stay
// within that to be read back.
constexpr uint32_t kEntryLengthLimit = 0x7FFFFFFFu;

char* putValueField(char* out, char tag, uint64_t value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  *out++ = tag;
  for (int shift = 60; shift >= 0; shift -= 4) *out++ = kHex[(value >> shift) & 0xF];
  *out++ = ',';
  return out;
}

char* putLengthField(char* out, uint32_t length) {
  for (int i = 9; i >= 0; --i) {
    out[i] = static_cast<char>('0' + length % 10);
    length /= 10;
  }
  out[10] = ',';
  return out + kLengthFieldSize;
}

void resetWriter(UnfFile& file) {
  file.entryOpen = false;
  file.lengthFieldOffset = 0;
  file.lengthSoFar = 0;
}

bool failWith(UnfFile& file, int code) {
  if (file.writeError == 0) file.writeError = code != 0 ? code : EIO;
  return false;
}

bool failFromHandle(UnfFile& file) { return failWith(file, file.handle.lastError()); }

bool writeBytes(UnfFile& file, const void* bytes, size_t n) {
  if (n == 0) return true;
  return file.handle.write(bytes, n) || failFromHandle(file);
}

bool endEntry(UnfFile& file) {
  bool ok = writeBytes(file, kEntryEnd, sizeof kEntryEnd);
  resetWriter(file);
  return ok;
}

bool beginEntry(UnfFile& file, const UnfPiece& piece) {
  char header[2 * kValueFieldSize + kLengthFieldSize];
  char* out = header;
  if (piece.sysData != 0) out = putValueField(out, 'S', piece.sysData);
  if (piece.updateSysData != 0) out = putValueField(out, 'U', piece.updateSysData);
  int64_t start = file.handle.tell();
  if (start < 0) return failFromHandle(file);
  file.lengthFieldOffset = start + (out - header);
  file.lengthSoFar = piece.length;
  file.entryOpen = true;
  out = putLengthField(out, piece.length);
  return writeBytes(file, header, static_cast<size_t>(out - header));
}

// Rewrites the length field of the open entry with the new total, in place,
// and comes back to the end of the file.
bool extendEntry(UnfFile& file, uint16_t length) {
  if (length == 0) return true;  // the field already holds the total
  if (file.lengthSoFar > kEntryLengthLimit - length) return failWith(file, EFBIG);
  int64_t end = file.handle.tell();
  if (end < 0) return failFromHandle(file);
  file.lengthSoFar += length;
  char field[kLengthFieldSize];
  putLengthField(field, file.lengthSoFar);
  if (file.handle.seek(file.lengthFieldOffset, platform::SeekOrigin::Begin) < 0) {
    return failFromHandle(file);
  }
  if (!writeBytes(file, field, sizeof field)) return false;
  if (file.handle.seek(end, platform::SeekOrigin::Begin) < 0) return failFromHandle(file);
  return true;
}

}  // namespace

int openUnfFile(UnfFile& file, const char* path, int create) {
  const char* shown = path != nullptr ? path : "";
  if (runOptions.verbosity >= 1) std::fprintf(stderr, "Opening UNF File <%s>\n", shown);
  bool opened = false;
  if (create == 0 || create == 1) {
    file.path = shown;
    resetWriter(file);
    file.knownSize = 0;
    file.writeError = 0;
    file.failureReported = false;
    opened = create == 1 ? file.handle.createTruncate(path) : file.handle.openExisting(path);
    if (opened && create == 0) {
      int64_t size = file.handle.seek(0, platform::SeekOrigin::End);
      if (size > 0) file.knownSize = size;
      opened = file.handle.seek(0, platform::SeekOrigin::Begin) == 0;
    }
  } else {
    opened = file.handle.isOpen();
  }
  if (!opened) {
    std::fprintf(stderr, "\nUnable to open UNF File <%s>.\n", shown);
    return 1;
  }
  return 0;
}

int openUnfFile(const char* path, int create) { return openUnfFile(unfFile, path, create); }

int closeUnfFile(UnfFile& file, int exportFlag) {
  if (runOptions.verbosity >= 1) std::fprintf(stderr, "Closing UNF File\n");
  if (!file.handle.isOpen()) return 0;
  bool ok = file.writeError == 0;
  if (exportFlag == 1) {
    ok = abandonUnfEntry(file);
    ok = writeBytes(file, &kUnfEndMarker, 1) && ok;
  }
  if (!file.handle.close()) ok = failFromHandle(file);
  resetWriter(file);
  if (ok) return 0;
  reportUnfWriteFailure(file);
  return 1;
}

bool writeUnfPiece(UnfFile& file, const UnfPiece& piece) {
  bool ok;
  if (piece.first || !file.entryOpen) {
    if (file.entryOpen && !endEntry(file)) return false;
    ok = beginEntry(file, piece);
  } else {
    ok = extendEntry(file, piece.length);
  }
  ok = ok && writeBytes(file, piece.bytes, piece.length);
  if (piece.last) ok = endEntry(file) && ok;
  return ok;
}

bool writeUnfPiece(UnfFile& file, const unsigned char* bytes, uint16_t length, bool first,
                   bool last, uint64_t sysData, uint64_t updateSysData) {
  UnfPiece piece;
  piece.bytes = bytes;
  piece.length = length;
  piece.first = first;
  piece.last = last;
  piece.sysData = sysData;
  piece.updateSysData = updateSysData;
  return writeUnfPiece(file, piece);
}

bool flushUnfFile(UnfFile& file) { return file.handle.flush() || failFromHandle(file); }

bool unfEntryOpen(const UnfFile& file) { return file.entryOpen; }

bool abandonUnfEntry(UnfFile& file) {
  if (!file.entryOpen) return true;
  return endEntry(file);
}

void reportUnfWriteFailure(UnfFile& file) {
  if (file.failureReported) return;
  file.failureReported = true;
  int code = file.writeError != 0 ? file.writeError : file.handle.lastError();
  std::fprintf(stderr, "\nError writing UNF File <%s>: %s.\n", file.path.c_str(),
               std::strerror(code != 0 ? code : EIO));
}

}  // namespace vorlan
