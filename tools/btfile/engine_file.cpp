// Engine calls, opening, closing and Stat of one file, and the messages.
#include <cstdio>
#include <cstring>

#include "btfile.h"
#include "recordmanager/record_manager.h"

namespace vorlan::btfile {
namespace {

const char* statusMeaning(int32_t status) {
  switch (status) {
    case 0: return "success";
    case 1: return "invalid operation";
    case 2: return "I/O error";
    case 3: return "file not open";
    case 4: return "key value not found";
    case 5: return "duplicate key value";
    case 6: return "invalid key number";
    case 7: return "different key number";
    case 8: return "invalid positioning";
    case 9: return "end of file";
    case 11: return "invalid file name";
    case 12: return "file not found";
    case 18: return "disk full";
    case 20: return "record manager inactive";
    case 22: return "data buffer too short";
    case 24: return "bad page size";
    case 25: return "create I/O error";
    case 26: return "bad number of keys";
    case 27: return "bad key position";
    case 28: return "bad record length";
    case 29: return "bad key length";
    case 30: return "not a Btrieve file";
    case 43: return "invalid record address";
    case 46: return "access denied";
    case 51: return "invalid owner name";
    case 59: return "file already exists";
    case 62: return "incorrect descriptor";
    case 80: return "conflict";
    case 84: return "record or page locked";
    case 85: return "file locked";
    case 88: return "incompatible open mode";
    case 103: return "chunk offset too big";
    case 146: return "duplicate system key";
    default: return "engine error";
  }
}

}  // namespace

int32_t callStandard(uint32_t operation, EngineFile& file, void* data, uint32_t* length, void* key,
                     int32_t keyNumber) {
  return rm::standardEntry(static_cast<uint16_t>(operation), file.positionBlock, data, length, key, 255,
                           static_cast<int8_t>(keyNumber));
}

int32_t callWide(uint32_t operation, EngineFile& file, void* data, uint32_t* length, void* key,
                 int32_t keyNumber) {
  return rm::wideEntry(operation, file.positionBlock, data, length, key, 255, keyNumber);
}

void reportStatus(const std::string& path, const char* what, int32_t status) {
  std::fprintf(stderr, "btfile: %s: %s failed with status %d (%s)\n", path.c_str(), what,
               static_cast<int>(status), statusMeaning(status));
}

void reportError(const std::string& message) { std::fprintf(stderr, "btfile: %s\n", message.c_str()); }

bool openFile(EngineFile& file, const std::string& path, const std::string& owner) {
  file.path = path;
  std::memset(file.positionBlock, 0, sizeof file.positionBlock);
  if (path.empty() || path.size() > 254) {
    reportError(path.empty() ? "empty file name" : path + ": file name longer than 254 characters");
    return false;
  }
  uint8_t key[256] = {};
  std::memcpy(key, path.data(), path.size());
  char ownerText[256] = {};
  if (owner.size() > 255) {
    reportError(path + ": owner name longer than 255 characters");
    return false;
  }
  std::memcpy(ownerText, owner.data(), owner.size());
  uint32_t length = static_cast<uint32_t>(owner.size());
  int32_t status = callStandard(kOpOpen, file, ownerText, &length, key, 0);
  if (status != 0) {
    reportStatus(path, "open", status);
    return false;
  }
  file.open = true;
  return true;
}

void closeFile(EngineFile& file) {
  if (!file.open) return;
  uint8_t key[256] = {};
  uint32_t length = 0;
  callStandard(kOpClose, file, nullptr, &length, key, 0);
  file.open = false;
}

bool statFile(EngineFile& file, FileStatus* out) {
  static uint8_t buffer[kStatBufferSize];
  uint8_t key[256] = {};
  uint32_t length = kStatBufferSize;
  int32_t status = callWide(kOpStat, file, buffer, &length, key, -1);
  if (status != 0) {
    reportStatus(file.path, "Stat", status);
    return false;
  }
  if (length > kStatBufferSize) length = kStatBufferSize;
  int parsed = rm::parseFileDefinition(buffer, length, true, &out->definition);
  if (parsed != 0) {
    reportStatus(file.path, "reading the Stat answer", parsed);
    return false;
  }
  out->records = 0;
  for (int i = 0; i < 8; ++i) out->records |= static_cast<uint64_t>(buffer[8 + i]) << (8 * i);
  out->version = static_cast<uint16_t>(buffer[18] | (buffer[19] << 8));
  out->uniqueValues.clear();
  uint32_t offset = rm::kWideHeaderSize;
  for (const rm::KeyDefinition& key : out->definition.keys) {
    uint32_t unique = 0;
    if (offset + rm::kSegmentBlockSize <= length)
      unique = static_cast<uint32_t>(buffer[offset + 6]) | (static_cast<uint32_t>(buffer[offset + 7]) << 8) |
               (static_cast<uint32_t>(buffer[offset + 8]) << 16) |
               (static_cast<uint32_t>(buffer[offset + 9]) << 24);
    out->uniqueValues.push_back(unique);
    offset += rm::kSegmentBlockSize * static_cast<uint32_t>(key.segments.size());
  }
  return true;
}

void appendHex(std::string& out, const uint8_t* bytes, size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  size_t at = out.size();
  out.resize(at + 2 * length);
  char* p = out.data() + at;
  for (size_t i = 0; i < length; ++i) {
    *p++ = digits[bytes[i] >> 4];
    *p++ = digits[bytes[i] & 15];
  }
}

namespace {
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool parseHex(const char* text, size_t length, std::vector<uint8_t>& out) {
  out.clear();
  int high = -1;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      if (high >= 0) return false;  // a digit pair split by a blank
      continue;
    }
    int v = hexValue(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return high < 0;
}

}  // namespace vorlan::btfile
