// The 256-byte MiscData block that the engine keeps with a data file and
// that binds it to its DX database. Integers are little-endian; only the
// first 52 bytes are interpreted, the rest is carried unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlan {

constexpr size_t kMiscDataBlockSize = 256;
constexpr int32_t kMiscDataLayout700 = 700;

struct MiscDataBlock {
  unsigned char bytes[kMiscDataBlockSize] = {};

  // 0: the file has no MiscData record; 700: the layout below; any other
  // value is an unknown layout.
  int32_t version() const;
  const unsigned char* dbName() const { return bytes + 4; }          // 20 bytes
  const unsigned char* tableIdentity() const { return bytes + 24; }  // 20 bytes
  uint16_t primaryKeys() const;
  uint16_t foreignKeys() const;
  uint32_t triggerFlags() const;
};

static_assert(sizeof(MiscDataBlock) == kMiscDataBlockSize);

// Prints the block on standard output.
void printMiscDataBlock(const MiscDataBlock& block);

}  // namespace vorlan
