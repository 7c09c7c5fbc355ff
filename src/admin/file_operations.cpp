// -RENAME and -DELETE: one Create call each on slot 1, selected by its key
// number; no file is opened first.
#include "admin/file_operations.h"

#include <cstring>

#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"

namespace vorlan {
namespace {

constexpr int16_t kRenameKey = -127;  // 0x81 reaches the engine
constexpr int16_t kDeleteKey = -128;  // 0x80
constexpr size_t kNameBufferSize = 256;

// A terminated copy in a buffer as long as the key length the engine is
// told, so that it never reads past the name's own memory. The shell takes
// at most 255 characters.
void copyName(char (&buffer)[kNameBufferSize], const char* name) {
  size_t length = strnlen(name, kNameBufferSize - 1);
  memcpy(buffer, name, length);
  memset(buffer + length, 0, kNameBufferSize - length);
}

int issueCreate(void* data, uint16_t dataLength, char* key, int16_t keyNumber) {
  FileSession& s = sessionTable[1];
  s.dataBuffer = data;
  s.dataLength = dataLength;
  s.keyNumber = keyNumber;
  s.keyBuffer = key;
  s.operation = kOpCreate;
  int status = callEngine(s);
  s.dataBuffer = nullptr;
  s.keyBuffer = nullptr;
  return status;
}

}  // namespace

int32_t renameFile(const char* fileName, const char* newFileName) {
  char current[kNameBufferSize], renamed[kNameBufferSize];
  copyName(current, fileName);
  copyName(renamed, newFileName);
  return issueCreate(current, static_cast<uint16_t>(strlen(current)), renamed, kRenameKey);
}

int32_t deleteFile(const char* fileName) {
  char name[kNameBufferSize];
  copyName(name, fileName);
  return issueCreate(fileStats, 0, name, kDeleteKey);
}

}  // namespace vorlan
