// The rules of the fault-injecting test engine: what they say and how they
// are read from their text. The syntax is described in test_engine.cpp and
// docs/test-engine.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorlan::testengine {

enum class EntryKind { Any, Standard, Wide };

struct BytePatch {
  uint32_t offset = 0;
  std::vector<uint8_t> bytes;
};

struct FaultRule {
  std::string text;  // the rule as written, for messages
  EntryKind entry = EntryKind::Any;
  uint32_t operation = 0;
  std::optional<int32_t> keyNumber;
  uint64_t nth = 0;   // only the nth matching call (1-based); 0: see from
  uint64_t from = 1;  // every matching call from this one on
  bool skip = false;
  std::optional<int32_t> status;
  std::optional<uint32_t> dataLength;
  std::vector<BytePatch> dataPatches;
  std::vector<BytePatch> keyPatches;

  uint64_t matched = 0;  // calls matched so far
  bool firing = false;   // applies to the call being handled
};

struct VersionEntry {
  uint16_t major = 0;
  uint16_t minor = 0;
  std::optional<char> letter;  // absent: the letter the engine answered
};

struct RuleSet {
  std::vector<VersionEntry> version;  // empty: Version answered as it is
  std::vector<FaultRule> faults;
  bool trace = false;
};

// Reads the rules; on a malformed rule returns false with `error` saying
// which rule and why.
bool parseRules(const std::string& text, RuleSet* out, std::string* error);

}  // namespace vorlan::testengine
