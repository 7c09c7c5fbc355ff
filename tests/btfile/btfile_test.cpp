// btfile run as a process on files in a temporary folder: what it writes
// comes back from dump and stat, long records travel in chunks, fill makes
// the records it promises, and every bad input ends in a message and a
// nonzero exit status.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

namespace vorlan::testing {
namespace {

ProcessResult btfile(const std::vector<std::string>& arguments, const std::string& input = "") {
  std::vector<std::string> argv{BTFILE_BIN};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ProcessOptions options;
  options.input = input;
  return runProcess(argv, options);
}

// Runs btfile and expects exit status 0.
std::string btfileOk(const std::vector<std::string>& arguments, const std::string& input = "") {
  ProcessResult r = btfile(arguments, input);
  EXPECT_EQ(r.status, 0) << arguments[0] << ": " << r.err;
  return r.out;
}

struct DumpLine {
  uint64_t position = 0, sysData = 0, updateSysData = 0;
  size_t length = 0;
  std::string hex;
};

std::vector<DumpLine> parseDump(const std::string& text) {
  std::vector<DumpLine> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    DumpLine d;
    std::string position, sys, update;
    fields >> position >> sys >> update >> d.length >> d.hex;
    EXPECT_EQ(position.size(), 16u) << line;
    EXPECT_EQ(sys.size(), 16u) << line;
    EXPECT_EQ(update.size(), 16u) << line;
    d.position = std::stoull(position, nullptr, 16);
    d.sysData = std::stoull(sys, nullptr, 16);
    d.updateSysData = std::stoull(update, nullptr, 16);
    lines.push_back(d);
  }
  return lines;
}

std::string hexOf(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(digits[c >> 4]);
    hex.push_back(digits[c & 15]);
  }
  return hex;
}

std::string patterned(size_t length, unsigned salt) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 131 + salt + i / 251) & 0xFF);
  return bytes;
}

TEST(BtfileTest, RecordsComeBackWholeWithPositionsAndSystemData) {
  TempDir dir;
  const std::string file = dir.file("orders.mkd");
  btfileOk({"create", file, "--record-length", "16", "--variable", "--system-data-v2", "--key", "1:4:integer"});
  // Lengths around the 64,129-byte piece: one piece, a piece and a byte, two
  // whole pieces (the chunk read after them answers 103), and 200,000.
  const std::vector<size_t> lengths = {16, 64129, 64130, 128258, 200000, 23};
  std::string input;
  std::vector<std::string> records;
  for (size_t i = 0; i < lengths.size(); ++i) {
    std::string r = patterned(lengths[i], static_cast<unsigned>(i));
    r[0] = static_cast<char>(lengths.size() - i);  // key 0 order: the reverse of insertion
    r[1] = r[2] = r[3] = 0;
    records.push_back(r);
    input += hexOf(r) + "\n";
  }
  EXPECT_EQ(btfileOk({"insert", file, "--hex"}, input), "6 records inserted\n");

  std::vector<DumpLine> physical = parseDump(btfileOk({"dump", file}));
  ASSERT_EQ(physical.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(lengths[i]);
    EXPECT_EQ(physical[i].length, lengths[i]);
    EXPECT_TRUE(physical[i].hex == hexOf(records[i]));
    EXPECT_NE(physical[i].sysData, 0u);
    EXPECT_EQ(physical[i].updateSysData, physical[i].sysData);  // not updated since the insert
    if (i > 0) {
      EXPECT_GT(physical[i].sysData, physical[i - 1].sysData);
      EXPECT_NE(physical[i].position, physical[i - 1].position);
    }
  }
  std::vector<DumpLine> byKey = parseDump(btfileOk({"dump", file, "--key", "0"}));
  ASSERT_EQ(byKey.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(byKey[i].position, physical[records.size() - 1 - i].position);
    EXPECT_TRUE(byKey[i].hex == physical[records.size() - 1 - i].hex);
  }
  EXPECT_NE(btfileOk({"stat", file}).find("Records: 6\n"), std::string::npos);
}

TEST(BtfileTest, TextRecordsArePaddedAndSystemDataFollowsTheFileFlag) {
  TempDir dir;
  struct Case {
    const char* option;  // nullptr: no system data
    bool sysData, updateValue;
  };
  for (const Case& c : {Case{nullptr, false, false}, Case{"--system-data", true, false},
                        Case{"--system-data-v2", true, true}}) {
    SCOPED_TRACE(c.option ? c.option : "none");
    const std::string file = dir.file(std::string("t") + (c.option ? c.option : "") + ".mkd");
    std::vector<std::string> create = {"create", file, "--record-length", "8", "--key", "1:8:string"};
    if (c.option) create.push_back(c.option);
    btfileOk(create);
    btfileOk({"insert", file}, "abc\n\nabcdefgh\n");  // the blank line is no record
    std::vector<DumpLine> lines = parseDump(btfileOk({"dump", file, "--key", "0"}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].hex, "6162630000000000");  // padded with zeros to the record length
    EXPECT_EQ(lines[1].hex, "6162636465666768");
    EXPECT_EQ(lines[0].sysData != 0, c.sysData);
    EXPECT_EQ(lines[0].updateSysData != 0, c.updateValue);
  }
}

TEST(BtfileTest, StatDescribesTheDefinition) {
  TempDir dir;
  const std::string file = dir.file("def.mkd");
  btfileOk({"create", file, "--record-length", "40", "--page-size", "1024", "--variable", "--system-data",
            "--file-version", "9.5",
            "--key", "1:4:integer:m+5:10:string:ir", "--key", "15:8:unsigned:d", "--key", "23:2:autoinc",
            "--key", "25:6:zstring", "--key", "31:4:lstring", "--key", "35:4:float:d", "--key", "1:8:timestamp:d"});
  EXPECT_EQ(btfileOk({"stat", file}),
            "File: " + file + "\n"
            "Record length: 40\n"
            "Page size: 1024\n"
            "File flags: 0x0201 (variable system-data)\n"
            "File version: 0x0095\n"
            "Records: 0\n"
            "Keys: 7\n"
            "Key 0: 2 segments, flags 0x0112 (modifiable segmented extended-type), unique values 0\n"
            "  Segment 1: position 1, length 4, type integer, flags 0x0112 (modifiable segmented extended-type)\n"
            "  Segment 2: position 5, length 10, type string, flags 0x0542 (modifiable descending extended-type "
            "case-insensitive)\n"
            "Key 1: 1 segment, flags 0x0101 (duplicates extended-type), unique values 0\n"
            "  Segment 1: position 15, length 8, type unsigned, flags 0x0101 (duplicates extended-type)\n"
            "Key 2: 1 segment, flags 0x0100 (extended-type), unique values 0\n"
            "  Segment 1: position 23, length 2, type autoinc, flags 0x0100 (extended-type)\n"
            "Key 3: 1 segment, flags 0x0100 (extended-type), unique values 0\n"
            "  Segment 1: position 25, length 6, type zstring, flags 0x0100 (extended-type)\n"
            "Key 4: 1 segment, flags 0x0100 (extended-type), unique values 0\n"
            "  Segment 1: position 31, length 4, type lstring, flags 0x0100 (extended-type)\n"
            "Key 5: 1 segment, flags 0x0101 (duplicates extended-type), unique values 0\n"
            "  Segment 1: position 35, length 4, type float, flags 0x0101 (duplicates extended-type)\n"
            "Key 6: 1 segment, flags 0x0101 (duplicates extended-type), unique values 0\n"
            "  Segment 1: position 1, length 8, type timestamp, flags 0x0101 (duplicates extended-type)\n");
}

// The key description reaches the engine with its type and flags: the
// records come back in the order of that type.
TEST(BtfileTest, KeyDescriptionsOrderRecordsByTheirType) {
  struct Case {
    const char* spec;
    std::vector<std::string> hexRecords;  // in insertion order
    std::vector<size_t> expectedOrder;    // indexes into hexRecords
  };
  const std::vector<Case> cases = {
      {"1:4:integer", {"05000000", "FFFFFFFF", "03000000"}, {1, 2, 0}},
      {"1:4:unsigned", {"05000000", "FFFFFFFF", "03000000"}, {2, 0, 1}},
      {"1:4:integer:r", {"05000000", "FFFFFFFF", "03000000"}, {0, 2, 1}},
      {"1:4:string", {"42424242", "61616161", "41414142"}, {2, 0, 1}},
      {"1:4:string:i", {"42424242", "61616161", "41414142"}, {1, 2, 0}},
      {"1:4:string:d", {"61616161", "41414141", "61616161"}, {1, 0, 2}},
      {"1:2:integer+3:2:string:r", {"01006161", "01006262", "00007A7A"}, {2, 1, 0}},
      {"1:4:float", {"0000803F", "000080BF", "00000000"}, {1, 2, 0}},
  };
  TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    const std::string file = dir.file("k" + std::to_string(n++) + ".mkd");
    btfileOk({"create", file, "--record-length", "4", "--key", c.spec});
    std::string input;
    for (const std::string& r : c.hexRecords) input += r + "\n";
    btfileOk({"insert", file, "--hex"}, input);
    std::vector<DumpLine> lines = parseDump(btfileOk({"dump", file, "--key", "0"}));
    ASSERT_EQ(lines.size(), c.expectedOrder.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].hex, c.hexRecords[c.expectedOrder[i]]) << i;
  }
}

TEST(BtfileTest, FillMakesDistinctKeysReproducibleFromTheSeed) {
  TempDir dir;
  std::vector<std::string> dumps;
  for (const char* name : {"a.mkd", "b.mkd", "c.mkd"}) {
    const std::string file = dir.file(name);
    btfileOk({"create", file, "--record-length", "40", "--variable", "--system-data", "--key", "1:4:integer",
              "--key", "5:3:string:i", "--key", "8:4:zstring", "--key", "12:2:integer", "--key", "14:1:string:d"});
    const std::string seed = std::string(name) == "c.mkd" ? "8" : "7";
    EXPECT_EQ(btfileOk({"fill", file, "--records", "600", "--length", "70", "--seed", seed}),
              "600 records inserted\n");
    EXPECT_NE(btfileOk({"stat", file}).find("Records: 600\n"), std::string::npos);
    std::string data;
    for (const DumpLine& d : parseDump(btfileOk({"dump", file, "--key", "1"}))) {
      EXPECT_EQ(d.length, 70u);
      data += d.hex + "\n";
    }
    dumps.push_back(data);
  }
  EXPECT_TRUE(dumps[0] == dumps[1]);  // same seed, same records
  EXPECT_FALSE(dumps[0] == dumps[2]);
}

TEST(BtfileTest, MiscDataBlockRoundTrip) {
  TempDir dir;
  const std::string file = dir.file("bind.mkd");
  btfileOk({"create", file, "--record-length", "8"});
  const std::string zeros(512, '0');
  EXPECT_EQ(btfileOk({"getbind", file}), zeros + "\n");
  btfileOk({"setbind", file, "bc020000" "5348495050494e47"});
  EXPECT_EQ(btfileOk({"getbind", file}), "BC0200005348495050494E47" + zeros.substr(24) + "\n");
  btfileOk({"clearbind", file});
  EXPECT_EQ(btfileOk({"getbind", file}), zeros + "\n");
}

TEST(BtfileTest, OwnerNameGuardsTheFile) {
  TempDir dir;
  const std::string file = dir.file("owned.mkd");
  btfileOk({"create", file, "--record-length", "8", "--owner", "secret", "--key", "1:8:string"});
  ProcessResult denied = btfile({"insert", file}, "abcdefgh\n");
  EXPECT_EQ(denied.status, 1);
  EXPECT_NE(denied.err.find("status 51"), std::string::npos) << denied.err;
  btfileOk({"insert", file, "--owner", "secret"}, "abcdefgh\n");
  EXPECT_EQ(parseDump(btfileOk({"dump", file, "--owner", "secret"})).size(), 1u);
}

TEST(BtfileTest, PdcTableHoldsObituariesAndLiveRecords) {
  TempDir dir;
  const std::string file = dir.file("pdc.mkd");
  const uint64_t now = 1700000000;
  btfileOk({"pdc", file, "--obituaries", "2", "--live", "1", "--age-days", "40", "--now", std::to_string(now)});
  btfileOk({"pdc", file, "--append", "--obituaries", "1", "--now", std::to_string(now)});
  std::vector<DumpLine> lines = parseDump(btfileOk({"dump", file, "--key", "0"}));
  ASSERT_EQ(lines.size(), 4u);
  auto little = [](const std::string& hex, size_t offset) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v * 256 + std::stoul(hex.substr(2 * (offset + i), 2), nullptr, 16);
    return v;
  };
  const uint64_t old = 621355968000000000ull + (now - 40 * 86400) * 10000000ull;
  const uint64_t fresh = 621355968000000000ull + now * 10000000ull;
  const char states[] = {'D', 'D', 'N', 'D'};
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i].length, 48u);
    EXPECT_EQ(little(lines[i].hex, 0), i + 1);  // record number
    EXPECT_EQ(std::stoul(lines[i].hex.substr(60, 2), nullptr, 16), static_cast<unsigned>(states[i]));
    EXPECT_EQ(little(lines[i].hex, 32), i < 3 ? old : fresh);
    EXPECT_NE(lines[i].sysData, 0u);
  }
}

TEST(BtfileTest, BadInputEndsWithAMessage) {
  TempDir dir;
  const std::string fixed = dir.file("fixed.mkd");
  btfileOk({"create", fixed, "--record-length", "4", "--key", "1:4:integer"});
  struct Case {
    std::vector<std::string> arguments;
    std::string input;
    std::string message;  // part of standard error
  };
  const std::vector<Case> cases = {
      {{}, "", "Usage:"},
      {{"frobnicate"}, "", "unknown subcommand frobnicate"},
      {{"dump", fixed, "--colour"}, "", "unknown option --colour"},
      {{"create", dir.file("n.mkd")}, "", "needs --record-length"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--key", "1:4:intger"}, "", "type must be"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--key", "0:4:integer"}, "", "position must be"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--key", "1:4"}, "", "is not POS:LEN:TYPE"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--key", "1:4:string:x"}, "", "flag 'x'"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--key", "6:4:string"}, "", "status 27"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--system-data", "--system-data-v2"}, "", "exclude"},
      {{"create", fixed, "--record-length", "8"}, "", "status 59"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--page-size", "1000"}, "", "status 24"},
      {{"create", dir.file("n.mkd"), "--record-length", "8", "--file-version", "16.0"}, "", "MAJOR.MINOR"},
      {{"stat", dir.file("missing.mkd")}, "", "missing.mkd: open failed with status 12 (file not found)"},
      {{"dump", dir.file("missing.mkd")}, "", "status 12"},
      {{"insert", fixed, "--hex"}, "01000000\n0200zz00\n", "line 2 is not hexadecimal"},
      {{"insert", fixed, "--hex"}, "0300000\n", "line 1 is not hexadecimal"},
      {{"insert", fixed}, "abcdefgh\n", "longer than the fixed record length 4"},
      {{"insert", fixed, "--hex"}, "05000000\n05000000\n", "Insert of record 2 failed with status 5"},
      {{"fill", fixed}, "", "needs --records"},
      {{"fill", fixed, "--records", "3", "--length", "9"}, "", "--length must be the fixed record length 4"},
      {{"setbind", fixed, std::string(514, '0')}, "", "at most 256 bytes"},
      {{"dump", fixed, "--key", "x"}, "", "--key must be"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.arguments) line += a + " ";
    SCOPED_TRACE(line);
    ProcessResult r = btfile(c.arguments, c.input);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  // The records before a bad line stay in the file.
  EXPECT_EQ(parseDump(btfileOk({"dump", fixed})).size(), 2u);
}

}  // namespace
}  // namespace vorlan::testing
