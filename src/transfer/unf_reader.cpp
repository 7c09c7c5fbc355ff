// The two UNF readers: -LOAD's, for entries of any length, and -LOAD_OLD's,
// for entries that fit the record buffer.
//
// Fields are read byte by byte from the buffered file handle; the data of an
// entry in one read. Every failure is told apart from the clean end of the
// file: a malformed field, a file that ends inside an entry and a read error
// are reported here and answered with kUnfMalformed.
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/run_options.h"
#include "replication/timestamp.h"
#include "transfer/unf_file.h"

namespace vorlan {

namespace {

constexpr size_t kTokenArea = 20;      // a field's text and its comma
constexpr size_t kHalfDigits = 8;      // hex digits of one 32-bit half
constexpr size_t kShortRecordView = 24;  // bytes a duplicate report shows
constexpr size_t kSmallestEntryBuffer = 64;

enum class Token { Ok, EndOfFile, Malformed, ReadError };

struct Halves {
  unsigned high;
  unsigned low;
};

Halves halvesOf(int64_t offset) {
  uint64_t value = static_cast<uint64_t>(offset);
  return {static_cast<unsigned>(value >> 32), static_cast<unsigned>(value & 0xFFFFFFFFu)};
}

// What one entry's fields say.
struct EntryHead {
  int64_t start = 0;  // offset of the entry's first byte
  int32_t length = 0;
  uint64_t sysData = 0;
  uint64_t updateSysData = 0;
};

int reportReadFailure(UnfFile& file) {
  int code = file.handle.lastError();
  std::fprintf(stderr, "\nError reading UNF File <%s>: %s.\n", file.path.c_str(),
               code != 0 ? std::strerror(code) : "unknown error");
  return kUnfMalformed;
}

// The file gave no byte inside an entry: a read error, or the end of a file
// that was cut short.
int reportEndInsideFields(UnfFile& file, int64_t entryStart) {
  if (file.handle.failed()) return reportReadFailure(file);
  Halves at = halvesOf(entryStart);
  std::fprintf(stderr, "Truncated entry at offset %.8x %.8x: the file ends inside its fields.\r\n",
               at.high, at.low);
  return kUnfMalformed;
}

int reportTruncatedData(UnfFile& file, const EntryHead& head, int64_t present) {
  if (file.handle.failed()) return reportReadFailure(file);
  Halves at = halvesOf(head.start);
  std::fprintf(stderr, "Truncated entry at offset %.8x %.8x: %lld of %d data bytes present.\r\n",
               at.high, at.low, static_cast<long long>(present), head.length);
  return kUnfMalformed;
}

// Reads a field's text up to its comma into `area` (terminated, without the
// comma). `pending` is a byte already read that begins the text, or -1.
// Malformed: 20 bytes without a comma; `area` then holds those 20.
Token readToken(UnfFile& file, int pending, char (&area)[kTokenArea + 1], size_t& length) {
  size_t n = 0;
  for (;;) {
    int byte = pending;
    pending = -1;
    if (byte < 0) byte = file.handle.readByte();
    if (byte < 0) {
      area[n] = '\0';
      return file.handle.failed() ? Token::ReadError : Token::EndOfFile;
    }
    if (byte == ',') {
      area[n] = '\0';
      length = n;
      return Token::Ok;
    }
    area[n++] = static_cast<char>(byte);
    if (n == kTokenArea) {
      area[n] = '\0';
      return Token::Malformed;
    }
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Up to `count` hex digits, stopping at the first other character.
uint32_t hexHalf(const char* text, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    int digit = hexDigit(text[i]);
    if (digit < 0) break;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A signed decimal number: leading blanks, an optional sign, digits up to the
// first other character (none gives 0). False when the value lies outside the
// signed 32-bit range.
bool decimalValue(const char* text, int64_t& value) {
  while (isBlank(*text)) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    magnitude = magnitude * 10 + (*text - '0');
    if (magnitude > 0x80000000LL) return false;
  }
  value = negative ? -magnitude : magnitude;
  return value >= INT32_MIN && value <= INT32_MAX;
}

// The S or U field after its letter.
int readValueField(UnfFile& file, bool update, int64_t entryStart, uint64_t& value) {
  char area[kTokenArea + 1];
  size_t length = 0;
  switch (readToken(file, -1, area, length)) {
    case Token::Ok:
      break;
    case Token::EndOfFile:
    case Token::ReadError:
      return reportEndInsideFields(file, entryStart);
    case Token::Malformed: {
      Halves at = halvesOf(file.handle.tell());
      if (update) {
        std::fprintf(stderr, "Incorrect UpdateSysData data format <%s> at offset %.8x %.8x.\r\n",
                     area, at.high, at.low);
      } else {
        std::fprintf(stderr, "Incorrect SysData data format <%s> at offset %.8x %.8x.\r\n", area,
                     at.high, at.low);
      }
      return kUnfMalformed;
    }
  }
  uint32_t high = hexHalf(area, length < kHalfDigits ? length : kHalfDigits);
  uint32_t low = 0;
  if (length > kHalfDigits) {
    size_t rest = length - kHalfDigits;
    low = hexHalf(area + kHalfDigits, rest < kHalfDigits ? rest : kHalfDigits);
  }
  value = (static_cast<uint64_t>(high) << 32) | low;
  if (runOptions.verbosity >= 1) {
    if (update) {
      std::fprintf(stderr, "Read UpdateSysData <%s>", area);
    } else {
      std::fprintf(stderr, "Read System Data <%s>", area);
    }
    std::fprintf(stderr, " = %.8X%.8X\n", static_cast<unsigned>(high), static_cast<unsigned>(low));
    char text[kTimestampTextSize];
    std::fprintf(stderr, "[%s]\n", formatTimestamp(value, text, sizeof text));
  }
  return kUnfEntry;
}

// Reads an entry's fields, up to and including the comma of its length.
int readEntryHead(UnfFile& file, EntryHead& head) {
  head = EntryHead{};
  head.start = file.handle.tell();
  int byte = file.handle.readByte();
  if (byte < 0) return file.handle.failed() ? reportReadFailure(file) : kUnfEnd;
  if (byte == kUnfEndMarker) return kUnfEnd;
  if (byte == 'S') {
    int result = readValueField(file, false, head.start, head.sysData);
    if (result != kUnfEntry) return result;
    byte = file.handle.readByte();
    // An entry is never followed by the end marker before its length field.
    if (byte < 0 || byte == kUnfEndMarker) return reportEndInsideFields(file, head.start);
  }
  if (byte == 'U') {
    int result = readValueField(file, true, head.start, head.updateSysData);
    if (result != kUnfEntry) return result;
    byte = -1;
  }
  char area[kTokenArea + 1];
  size_t length = 0;
  int64_t value = 0;
  switch (readToken(file, byte, area, length)) {
    case Token::Ok:
      if (decimalValue(area, value) && value >= 0) break;
      [[fallthrough]];
    case Token::Malformed: {
      Halves at = halvesOf(file.handle.tell());
      std::fprintf(stderr, "Incorrect data format <%s> at offset %.8x %.8x!\r\n", area, at.high,
                   at.low);
      return kUnfMalformed;
    }
    case Token::EndOfFile:
    case Token::ReadError:
      return reportEndInsideFields(file, head.start);
  }
  head.length = static_cast<int32_t>(value);
  if (runOptions.verbosity >= 1) std::fprintf(stderr, "Read Length <%s> = %d\n", area, head.length);
  return kUnfEntry;
}

// Whether the file still holds `need` bytes after the current position; the
// file size is asked again only when the one known does not suffice.
bool bytesPresent(UnfFile& file, int64_t need, int64_t& present) {
  int64_t position = file.handle.tell();
  if (file.knownSize - position >= need) return true;
  int64_t size = file.handle.seek(0, platform::SeekOrigin::End);
  if (size >= 0) file.knownSize = size;
  if (file.handle.seek(position, platform::SeekOrigin::Begin) != position) {
    present = 0;
    return false;
  }
  present = file.knownSize > position ? file.knownSize - position : 0;
  return present >= need;
}

// The two bytes after the data (CR LF as written); not checked.
void passEntryEnd(UnfFile& file) {
  file.handle.readByte();
  file.handle.readByte();
}

void deliverHead(const EntryHead& head, int32_t& length, uint64_t& sysData,
                 uint64_t& updateSysData) {
  length = head.length;
  sysData = head.sysData;
  updateSysData = head.updateSysData;
}

}  // namespace

UnfEntryBuffer::~UnfEntryBuffer() { releaseUnfEntryBuffer(*this); }

void releaseUnfEntryBuffer(UnfEntryBuffer& buffer) {
  delete[] buffer.bytes;
  buffer.bytes = nullptr;
  buffer.capacity = 0;
}

int readUnfRecord(UnfFile& file, UnfEntryBuffer& buffer, int32_t& length, uint64_t& sysData,
                  uint64_t& updateSysData) {
  EntryHead head;
  int result = readEntryHead(file, head);
  if (result != kUnfEntry) return result;
  int64_t present = 0;
  if (!bytesPresent(file, head.length, present)) return reportTruncatedData(file, head, present);
  size_t dataLength = static_cast<size_t>(head.length);
  size_t need = dataLength + 1 > kShortRecordView ? dataLength + 1 : kShortRecordView;
  if (buffer.capacity < need) {
    size_t capacity = need > kSmallestEntryBuffer ? need : kSmallestEntryBuffer;
    releaseUnfEntryBuffer(buffer);
    buffer.bytes = new (std::nothrow) unsigned char[capacity];
    if (buffer.bytes == nullptr) {
      std::fprintf(stderr, "\nNot enough memory for an entry of %d bytes in UNF File <%s>.\n",
                   head.length, file.path.c_str());
      return kUnfMalformed;
    }
    buffer.capacity = capacity;
  }
  size_t got = file.handle.read(buffer.bytes, dataLength);
  if (got < dataLength) return reportTruncatedData(file, head, static_cast<int64_t>(got));
  std::memset(buffer.bytes + dataLength, 0, need - dataLength);
  passEntryEnd(file);
  deliverHead(head, length, sysData, updateSysData);
  return kUnfEntry;
}

int readUnfRecordOld(UnfFile& file, unsigned char* recordBuffer, int32_t& length,
                     uint64_t& sysData, uint64_t& updateSysData) {
  EntryHead head;
  int result = readEntryHead(file, head);
  if (result != kUnfEntry) return result;
  if (head.length > kUnfOldRecordLimit) {
    int64_t present = 0;
    if (!bytesPresent(file, head.length, present)) return reportTruncatedData(file, head, present);
    std::fprintf(stderr, "Skipping Oversized Record of %ld Bytes...\n",
                 static_cast<long>(head.length));
    if (file.handle.seek(head.length, platform::SeekOrigin::Current) < 0) {
      return reportReadFailure(file);
    }
    passEntryEnd(file);
    return kUnfSkipped;
  }
  size_t dataLength = static_cast<size_t>(head.length);
  size_t got = file.handle.read(recordBuffer, dataLength);
  if (got < dataLength) return reportTruncatedData(file, head, static_cast<int64_t>(got));
  passEntryEnd(file);
  deliverHead(head, length, sysData, updateSysData);
  return kUnfEntry;
}

}  // namespace vorlan
