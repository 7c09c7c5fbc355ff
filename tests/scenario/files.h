// Embedded files for the scenario tests, made and read with btfile.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/process.h"

namespace vorlan::testing {

inline ProcessResult btfile(std::vector<std::string> arguments, const std::string& input = "") {
  arguments.insert(arguments.begin(), BTFILE_BIN);
  ProcessOptions options;
  options.input = input;
  return runProcess(arguments, options);
}

// Runs btfile and fails the test when it does not succeed.
inline void mustBtfile(const std::vector<std::string>& arguments, const std::string& input = "") {
  ProcessResult r = btfile(arguments, input);
  ASSERT_EQ(r.status, 0) << r.err;
}

// The records of a file as `btfile dump` shows them, without their
// positions: system data, update value, length, bytes.
inline std::vector<std::string> recordsOf(const std::string& file, const std::string& key = "") {
  std::vector<std::string> arguments{"dump", file};
  if (!key.empty()) arguments.insert(arguments.end(), {"--key", key});
  ProcessResult r = btfile(arguments);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> records;
  size_t start = 0;
  for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = r.out.substr(start, end - start);
    size_t blank = line.find(' ');
    if (blank != std::string::npos) records.push_back(line.substr(blank + 1));
  }
  return records;
}

inline std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// A record of `length` bytes in hexadecimal: a 4-byte number first (the
// key), then a pattern that differs from record to record.
inline std::string hexRecord(uint32_t number, size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(length * 2 + 1);
  for (size_t i = 0; i < length; ++i) {
    unsigned byte = i < 4 ? (number >> (8 * i)) & 0xFF : (i * 7 + number * 13) & 0xFF;
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex + "\n";
}

// The btfile option of a system-data mode: 0 none, 1 system data, 2 with
// the update value.
inline std::string systemDataOption(int mode) {
  return mode == 2 ? "--system-data-v2" : mode == 1 ? "--system-data" : "";
}

}  // namespace vorlan::testing
