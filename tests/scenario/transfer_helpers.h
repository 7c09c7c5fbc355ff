// Helpers for the transfer scenario tests: files of a chosen system-data
// mode, UNF files built and taken apart byte by byte, and runs through the
// fault-injecting engine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "scenario/files.h"

namespace vorlan::testing {

// Vorlan's engine replaced by the fault-injecting one with these rules.
inline ProcessOptions testEngine(const std::string& rules) {
  return withEnvironment({{"VORLAN_ENGINE", TESTENGINE_LIB}, {"VORLAN_TEST_ENGINE", rules}});
}

// A variable-length file with key 0 on the first 4 bytes (unsigned, unique)
// and the given system-data mode (0, 1 or 2); `keys` replaces key 0, and
// the record length must cover them.
inline void createFile(const std::string& file, int mode,
                       const std::vector<std::string>& keys = {"1:4:unsigned"},
                       int recordLength = 4) {
  std::vector<std::string> arguments{"create", file, "--record-length",
                                     std::to_string(recordLength), "--variable"};
  for (const std::string& key : keys) arguments.insert(arguments.end(), {"--key", key});
  if (mode != 0) arguments.push_back(systemDataOption(mode));
  mustBtfile(arguments);
}

// The bytes of hexRecord(number, length).
inline std::string recordBytes(uint32_t number, size_t length) {
  std::string hex = hexRecord(number, length);
  std::string bytes;
  bytes.reserve(length);
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

inline std::string hexOf(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// One line of `btfile dump`, split into its fields.
struct DumpRecord {
  std::string position, sysData, updateSysData;
  size_t length = 0;
  std::string hex;
};

inline std::vector<DumpRecord> dumpOf(const std::string& file) {
  ProcessResult r = btfile({"dump", file});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<DumpRecord> records;
  size_t start = 0;
  for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = r.out.substr(start, end - start);
    std::vector<std::string> fields;
    for (size_t from = 0;;) {
      size_t blank = line.find(' ', from);
      fields.push_back(line.substr(from, blank - from));
      if (blank == std::string::npos) break;
      from = blank + 1;
    }
    if (fields.size() < 4) continue;
    if (fields.size() == 4) fields.push_back("");  // a record of 0 bytes
    records.push_back({fields[0], fields[1], fields[2], std::stoul(fields[3]), fields[4]});
  }
  return records;
}

// A UNF entry as the writer makes it: S and U fields only for values that
// are not 0 (given as 16 hexadecimal digits, "" or all zeros for none).
inline std::string unfEntry(const std::string& sysData, const std::string& updateSysData,
                            const std::string& bytes) {
  auto present = [](const std::string& v) { return !v.empty() && v != "0000000000000000"; };
  std::string entry;
  if (present(sysData)) entry += "S" + sysData + ",";
  if (present(updateSysData)) entry += "U" + updateSysData + ",";
  char length[16];
  snprintf(length, sizeof length, "%010zu,", bytes.size());
  return entry + length + bytes + "\r\n";
}

// An entry read back from a UNF file; values "" when the field is absent.
struct UnfEntry {
  std::string sysData, updateSysData, data;
};

// Takes a UNF file apart in the writer's exact layout; fails the test on
// anything else. `endMarker`: the file ends with 0x1A.
inline std::vector<UnfEntry> unfEntries(const std::string& unf, bool endMarker = true) {
  std::vector<UnfEntry> entries;
  size_t at = 0;
  auto value = [&](char tag, std::string& out) {
    if (at < unf.size() && unf[at] == tag) {
      EXPECT_LT(at + 17, unf.size());
      EXPECT_EQ(unf[at + 17], ',') << "at offset " << at;
      out = unf.substr(at + 1, 16);
      at += 18;
    }
  };
  while (at < unf.size() && !(endMarker && at + 1 == unf.size())) {
    UnfEntry entry;
    value('S', entry.sysData);
    value('U', entry.updateSysData);
    if (at + 11 > unf.size() || unf[at + 10] != ',') {
      ADD_FAILURE() << "no length field at offset " << at;
      return entries;
    }
    size_t length = std::stoul(unf.substr(at, 10));
    at += 11;
    if (at + length + 2 > unf.size() || unf.compare(at + length, 2, "\r\n") != 0) {
      ADD_FAILURE() << "entry data or its CR LF missing at offset " << at;
      return entries;
    }
    entry.data = unf.substr(at, length);
    at += length + 2;
    entries.push_back(entry);
  }
  if (endMarker) {
    EXPECT_FALSE(unf.empty());
    if (!unf.empty()) {
      EXPECT_EQ(unf.back(), '\x1A') << "the end marker is missing";
    }
  }
  return entries;
}

// The dump line of a record as recordsOf() shows it.
inline std::string recordLine(const std::string& sysData, const std::string& updateSysData,
                              const std::string& bytes) {
  return sysData + " " + updateSysData + " " + std::to_string(bytes.size()) + " " + hexOf(bytes);
}

// The bytes line of a duplicate report: 24 items "%.2X ", zeros after a
// shorter record.
inline std::string first24(const std::string& record) {
  std::string shown;
  for (size_t i = 0; i < 24; ++i) {
    char item[4];
    snprintf(item, sizeof item, "%.2X ", i < record.size() ? static_cast<unsigned char>(record[i]) : 0u);
    shown += item;
  }
  return shown + "\n";
}

}  // namespace vorlan::testing
