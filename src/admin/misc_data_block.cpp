#include "admin/misc_data_block.h"

#include <cstdio>
#include <cstring>

#include "engine/byte_order.h"

namespace vorlan {
namespace {

constexpr size_t kDbNameSize = 20;
constexpr size_t kTableIdentitySize = 20;

struct TriggerLine {
  uint32_t bit;
  const char* line;
};

constexpr TriggerLine kTriggerLines[] = {
    {0x1, "                 Security Constraint Enabled\n"},
    {0x2, "                 INSERT Trigger Enabled\n"},
    {0x4, "                 UPDATE Trigger Enabled\n"},
    {0x8, "                 DELETE Trigger Enabled\n"},
};

// The characters of a field up to its first zero byte, at most `size`.
void copyText(char* text, const unsigned char* field, size_t size) {
  memcpy(text, field, size);
  text[size] = '\0';
}

}  // namespace

int32_t MiscDataBlock::version() const { return static_cast<int32_t>(readLe32(bytes)); }
uint16_t MiscDataBlock::primaryKeys() const { return readLe16(bytes + 44); }
uint16_t MiscDataBlock::foreignKeys() const { return readLe16(bytes + 46); }
uint32_t MiscDataBlock::triggerFlags() const { return readLe32(bytes + 48); }

void printMiscDataBlock(const MiscDataBlock& block) {
  int32_t version = block.version();
  if (version == 0) {
    fputs("\nNo MiscData Record Currently In File.\n", stdout);
    return;
  }
  if (version != kMiscDataLayout700) {
    printf("\nUnknown MiscData Version (%d).\n", version);
    return;
  }
  fputs("\nMiscData Record Currently In File:\n", stdout);
  printf("  Version      : %d\n", version);

  char text[kTableIdentitySize + 1];
  copyText(text, block.dbName(), kDbNameSize);
  printf("  DBName       : %s\n", text);

  // A first byte of 0x01 to 0x7F starts a table name; 0x00 or a byte with
  // the high bit set only marks the table ID that follows it.
  const unsigned char* identity = block.tableIdentity();
  if (static_cast<signed char>(identity[0]) > 0) {
    copyText(text, identity, kTableIdentitySize);
    printf("  Table Name   : %s\n", text);
  } else {
    copyText(text, identity + 1, kTableIdentitySize - 1);
    printf("  Table ID     : %s\n", text);
  }

  printf("  Primary Keys : %.8X\n", static_cast<unsigned>(block.primaryKeys()));
  printf("  Foreign Keys : %.8X\n", static_cast<unsigned>(block.foreignKeys()));
  uint32_t flags = block.triggerFlags();
  printf("  Trigger Flags: %.8X\n", static_cast<unsigned>(flags));
  for (const TriggerLine& t : kTriggerLines)
    if (flags & t.bit) fputs(t.line, stdout);
}

}  // namespace vorlan
