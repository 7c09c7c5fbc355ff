// -SHOWBIND, -UNBIND and -COPYBIND: reading, removing and copying the
// MiscData block through operation 41.
#include "admin/binding.h"

#include <cstdio>
#include <cstring>

#include "admin/misc_data_block.h"
#include "engine/file_session.h"
#include "engine/operations.h"

namespace vorlan {
namespace {

constexpr int16_t kMiscDataRead = 128;  // the engine receives 0x80
constexpr int16_t kMiscDataWrite = 0;   // writes with a length, removes without

void prepareMiscData(FileSession& s, void* block, uint16_t length, void* key, int16_t keyNumber) {
  s.dataBuffer = block;
  s.dataLength = length;
  s.keyBuffer = key;
  s.keyNumber = keyNumber;
  s.operation = kOpMiscData;
}

enum class ReadFailureText { SourceFile, File };

// Reads slot 1's block into `block` (zeroed first) and prints it. On a
// failure prints the read-failure line with the status and returns it.
int readAndPrint(MiscDataBlock& block, ReadFailureText text) {
  unsigned char key[256] = {};
  block = MiscDataBlock{};
  FileSession& s = sessionTable[1];
  prepareMiscData(s, block.bytes, kMiscDataBlockSize, key, kMiscDataRead);
  int status = callEngine(s);
  s.keyBuffer = nullptr;
  if (status != 0) {
    if (text == ReadFailureText::SourceFile)
      fprintf(stderr, "Unable to read MiscData block from the source file, Status = %d.\n", status);
    else
      fprintf(stderr, "Unable to read MiscData block, Status = %d.\n", status);
    return status;
  }
  printMiscDataBlock(block);
  return 0;
}

// One write (length 256) or removal (length 0) on the slot.
int writeBlock(int slot, MiscDataBlock& block, uint16_t length) {
  unsigned char key[256] = {};
  FileSession& s = sessionTable[slot];
  prepareMiscData(s, block.bytes, length, key, kMiscDataWrite);
  int status = callEngine(s);
  s.dataBuffer = nullptr;
  s.keyBuffer = nullptr;
  return status;
}

}  // namespace

int32_t showBinding() {
  MiscDataBlock block;
  return readAndPrint(block, ReadFailureText::SourceFile);
}

int32_t removeBinding() {
  MiscDataBlock block;
  int status = readAndPrint(block, ReadFailureText::File);
  if (status != 0) return status;
  // Removed whatever the block held, an empty or unknown one included.
  block = MiscDataBlock{};
  return writeBlock(1, block, 0);
}

int32_t copyBinding() {
  MiscDataBlock block;
  int status = readAndPrint(block, ReadFailureText::SourceFile);
  if (status != 0) return status;
  // The whole block as read, whatever its version.
  return writeBlock(2, block, kMiscDataBlockSize);
}

}  // namespace vorlan
