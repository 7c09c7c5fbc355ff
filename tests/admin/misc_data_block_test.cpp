#include "admin/misc_data_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/byte_order.h"
#include "support/capture.h"

namespace vorlan {
namespace {

struct BlockFields {
  int32_t version = 700;
  std::string dbName;         // up to 20 bytes
  std::string tableIdentity;  // up to 20 bytes
  uint16_t primaryKeys = 0;
  uint16_t foreignKeys = 0;
  uint32_t triggerFlags = 0;
};

MiscDataBlock blockOf(const BlockFields& f) {
  MiscDataBlock block;
  writeLe32(block.bytes, static_cast<uint32_t>(f.version));
  memcpy(block.bytes + 4, f.dbName.data(), f.dbName.size());
  memcpy(block.bytes + 24, f.tableIdentity.data(), f.tableIdentity.size());
  writeLe16(block.bytes + 44, f.primaryKeys);
  writeLe16(block.bytes + 46, f.foreignKeys);
  writeLe32(block.bytes + 48, f.triggerFlags);
  // The uninterpreted tail never shows.
  memset(block.bytes + 52, 'Z', kMiscDataBlockSize - 52);
  return block;
}

std::string printed(const MiscDataBlock& block) {
  testing::OutputCapture capture;
  printMiscDataBlock(block);
  EXPECT_EQ(capture.err(), "");
  return capture.out();
}

const std::string kHeader = "\nMiscData Record Currently In File:\n  Version      : 700\n";
const std::string kSecurity = "                 Security Constraint Enabled\n";
const std::string kInsert = "                 INSERT Trigger Enabled\n";
const std::string kUpdate = "                 UPDATE Trigger Enabled\n";
const std::string kDelete = "                 DELETE Trigger Enabled\n";

std::string keysAndFlags(const char* primary, const char* foreign, const char* flags) {
  return std::string("  Primary Keys : ") + primary + "\n  Foreign Keys : " + foreign +
         "\n  Trigger Flags: " + flags + "\n";
}

TEST(MiscDataBlock, PrintsEachLayoutAsTheTableShows) {
  struct Case {
    const char* what;
    BlockFields fields;
    std::string expected;
  } cases[] = {
      // version, dbName, tableIdentity, primaryKeys, foreignKeys, triggerFlags
      {"no block", {0, "IGNORED", "T", 1, 1, 1}, "\nNo MiscData Record Currently In File.\n"},
      {"version 600", {600, "IGNORED", "T", 1, 1, 1}, "\nUnknown MiscData Version (600).\n"},
      {"negative version", {-5, "", "", 0, 0, 0}, "\nUnknown MiscData Version (-5).\n"},
      {"table name", {700, "SHIPPING", "Orders", 1, 2, 0x2},
       kHeader + "  DBName       : SHIPPING\n  Table Name   : Orders\n" +
           keysAndFlags("00000001", "00000002", "00000002") + kInsert},
      {"table name of 20 characters and a full database name",
       {700, "ABCDEFGHIJKLMNOPQRST", "T2345678901234567890", 0, 0, 0},
       kHeader + "  DBName       : ABCDEFGHIJKLMNOPQRST\n  Table Name   : T2345678901234567890\n" +
           keysAndFlags("00000000", "00000000", "00000000")},
      {"table ID after a zero marker", {700, "DB", std::string("\0" "ID-4711", 8), 0xFFFF, 0, 0},
       kHeader + "  DBName       : DB\n  Table ID     : ID-4711\n" +
           keysAndFlags("0000FFFF", "00000000", "00000000")},
      {"table ID after a high-bit marker, 19 characters",
       {700, "DB", "\x80" "1234567890123456789", 0, 0xABCD, 0},
       kHeader + "  DBName       : DB\n  Table ID     : 1234567890123456789\n" +
           keysAndFlags("00000000", "0000ABCD", "00000000")},
      {"empty table identity", {700, "", "", 0, 0, 0},
       kHeader + "  DBName       : \n  Table ID     : \n" +
           keysAndFlags("00000000", "00000000", "00000000")},
      {"all four flags", {700, "DB", "T", 0, 0, 0xF},
       kHeader + "  DBName       : DB\n  Table Name   : T\n" +
           keysAndFlags("00000000", "00000000", "0000000F") + kSecurity + kInsert + kUpdate +
           kDelete},
      {"higher bits print no line", {700, "DB", "T", 0, 0, 0xFFFFFFF5u},
       kHeader + "  DBName       : DB\n  Table Name   : T\n" +
           keysAndFlags("00000000", "00000000", "FFFFFFF5") + kSecurity + kUpdate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(printed(blockOf(c.fields)), c.expected);
  }
}

}  // namespace
}  // namespace vorlan
