// Helpers for the replication scenario tests: PDC tables of chosen records,
// their fields read back from `btfile dump`, the present moment as a
// replication timestamp, and the Version answers that pick the purge's
// engine form and entry.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "scenario/transfer_helpers.h"

namespace vorlan::testing {

constexpr uint64_t kUnixEpochTimestamp = 621355968000000000ULL;
constexpr uint64_t kUnitsPerSecond = 10000000ULL;
constexpr uint64_t kUnitsPerDay = 86400ULL * kUnitsPerSecond;

inline int64_t unixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

inline uint64_t timestampNow() { return kUnixEpochTimestamp + uint64_t(unixNow()) * kUnitsPerSecond; }

struct PdcRow {
  uint64_t number;   // key 0
  uint64_t tracked;  // key 1: the tracked record's system data value
  char state;        // RecordState
  uint64_t lastUpdated;
};

inline std::string littleHex(uint64_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
  return hexOf(bytes);
}

inline std::string pdcRecordHex(const PdcRow& row) {
  return littleHex(row.number, 8) + littleHex(row.tracked, 8) + std::string(28, '0') +
         hexOf(std::string(1, row.state)) + "00" + littleHex(row.lastUpdated, 8) +
         std::string(16, '0');
}

// A PDC table as replication keeps it: 48-byte records with system data,
// key 0 the record number, key 1 the tracked value, key 2 LastUpdated
// (timestamp, duplicates, modifiable: replication rewrites it).
inline void createPdcTable(const std::string& file, const std::vector<PdcRow>& rows) {
  mustBtfile({"create", file, "--record-length", "48", "--system-data", "--key", "1:8:unsigned",
              "--key", "9:8:unsigned", "--key", "33:8:timestamp:dm"});
  std::string input;
  for (const PdcRow& row : rows) input += pdcRecordHex(row) + "\n";
  if (!input.empty()) mustBtfile({"insert", file, "--hex"}, input);
}

inline uint64_t hexLittleValue(const std::string& hex, size_t byteOffset, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i)
    value = value << 8 | std::stoul(hex.substr(2 * (byteOffset + size_t(i)), 2), nullptr, 16);
  return value;
}

// The PDC fields of a dumped record.
inline uint64_t numberOf(const DumpRecord& r) { return hexLittleValue(r.hex, 0, 8); }
inline char stateOf(const DumpRecord& r) { return static_cast<char>(hexLittleValue(r.hex, 30, 1)); }
inline uint64_t lastUpdatedOf(const DumpRecord& r) { return hexLittleValue(r.hex, 32, 8); }

// The record numbers and states of a PDC table in physical order, e.g.
// "1D 2N ".
inline std::string pdcContents(const std::string& file) {
  std::string shown;
  for (const DumpRecord& r : dumpOf(file)) shown += std::to_string(numberOf(r)) + stateOf(r) + " ";
  return shown;
}

// The four ways the purge can run: the test engine's Version answer picks
// the entry (first entry 13.30 or later: wide) and DeleteExtended (third
// entry 14.10 or later).
struct EngineForm {
  const char* name;
  const char* rules;
  bool wide;
  bool deleteExtended;
};
inline const std::vector<EngineForm>& engineForms() {
  static const std::vector<EngineForm> forms = {
      {"wide entry, DeleteExtended", "version=14.10,0.0,14.10", true, true},
      {"wide entry, Get Next Extended", "version=14.10,0.0,13.0", true, false},
      {"standard entry, DeleteExtended", "version=13.29,0.0,14.10", false, true},
      {"standard entry, Get Next Extended", "version=13.29,0.0,14.09", false, false},
  };
  return forms;
}

// Standard error without the spinner's turns (a character and a backspace)
// and the percentages (three digits, '%' and four backspaces).
inline std::string withoutProgress(const std::string& err) {
  std::string kept;
  for (size_t i = 0; i < err.size(); ++i) {
    if (i + 1 < err.size() && err[i + 1] == '\b' && std::string("-\\|/").find(err[i]) != std::string::npos) {
      ++i;
      continue;
    }
    if (err[i] == '\b') continue;
    if (i + 3 < err.size() && isdigit(static_cast<unsigned char>(err[i])) && err.compare(i + 3, 1, "%") == 0 &&
        isdigit(static_cast<unsigned char>(err[i + 1])) && isdigit(static_cast<unsigned char>(err[i + 2]))) {
      i += 3;
      continue;
    }
    kept += err[i];
  }
  return kept;
}

}  // namespace vorlan::testing
