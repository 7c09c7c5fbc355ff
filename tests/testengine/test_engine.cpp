// libvorlantestengine.so: a Btrieve client library (BTRCALL, BTRVEX) that
// wraps the embedded record manager and changes chosen answers, so that
// process-level tests can drive Vorlan into its failure paths through
// VORLAN_ENGINE.
//
// The rules come from the environment variable VORLAN_TEST_ENGINE, read at
// the first call (vorlanTestEngineReload reads it again, for tests that load
// the library in their own process). Rules are separated by ';', the items
// of a rule by ','; blanks around them are ignored:
//
//   version=E[,E[,E]]   Answer Version (26) with these entries, E being
//                       MAJOR.MINOR with an optional platform letter
//                       (14.10, 13.29T, 0.0). The real call is made first;
//                       the answer is then rewritten: one 5-byte entry per E
//                       given (a missing letter keeps the engine's), and the
//                       data length becomes 5 x the number of entries.
//   trace               Print every call and its answer on standard error.
//   a fault rule        Items, op= required, at least one change:
//     op=N                the operation (exact, biases included)
//     entry=W             standard, wide or any (default any)
//     key=N               the key number (default any); on the standard entry
//                         compared as a signed byte, so key=128 is key=-128
//     nth=N               change only the Nth matching call (1-based)
//     from=N              change every matching call from the Nth on
//                         (default: every matching call)
//     skip                do not make the real call: the file is not touched,
//                         the answer is status 0 (or status=) and the data
//                         length as passed in (or length=)
//     status=N            answer this status
//     length=N            answer this data length
//     data=OFFSET:HEX     write these bytes into the data buffer at OFFSET
//     keybuf=OFFSET:HEX   write these bytes into the key buffer at OFFSET
//
// Every rule counts the calls that match it (entry, op, key) on its own, and
// every rule that matches a call applies, in the order written; a call is
// skipped when any rule that applies to it says skip. Patches stay inside
// the buffers: the data buffer's size is the data length passed in, the key
// buffer's the key length; bytes beyond are dropped with a warning.
// Numbers are decimal or 0x-hexadecimal.
//
// Example: the second Get Direct/Chunk fails with status 2, and the engine
// claims to be too old for DeleteExtended:
//   VORLAN_TEST_ENGINE='version=14.10,14.10,14.09;op=23,key=-2,nth=2,status=2'
//
// A malformed rule prints "vorlantestengine: ..." on standard error and
// aborts the process, so that no test runs without the faults it asked for.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "fault_rules.h"
#include "recordmanager/record_manager.h"

namespace vorlan::testengine {
namespace {

std::mutex& engineLock() {
  static std::mutex lock;
  return lock;
}

RuleSet& rules() {
  static RuleSet set;
  return set;
}

bool& loaded() {
  static bool value = false;
  return value;
}

void loadRules() {
  const char* text = std::getenv("VORLAN_TEST_ENGINE");
  RuleSet parsed;
  std::string error;
  if (text != nullptr && !parseRules(text, &parsed, &error)) {
    std::fprintf(stderr, "vorlantestengine: bad VORLAN_TEST_ENGINE: %s\n", error.c_str());
    std::fflush(stderr);
    std::abort();
  }
  rules() = std::move(parsed);
  loaded() = true;
}

struct Call {
  EntryKind entry;
  uint32_t operation;
  void* positionBlock;
  void* data;
  uint32_t* dataLength;
  void* key;
  uint32_t keyLength;
  int32_t keyNumber;
};

bool matches(const FaultRule& rule, const Call& call) {
  if (rule.entry != EntryKind::Any && rule.entry != call.entry) return false;
  if (rule.operation != call.operation) return false;
  if (rule.keyNumber) {
    if (call.entry == EntryKind::Standard) {
      if (static_cast<int8_t>(*rule.keyNumber) != static_cast<int8_t>(call.keyNumber)) return false;
    } else if (*rule.keyNumber != call.keyNumber) {
      return false;
    }
  }
  return true;
}

void applyPatches(const std::vector<BytePatch>& patches, void* buffer, uint32_t capacity,
                  const char* what, const FaultRule& rule) {
  for (const BytePatch& patch : patches) {
    uint32_t fits = 0;
    if (buffer != nullptr && patch.offset < capacity)
      fits = static_cast<uint32_t>(std::min<uint64_t>(patch.bytes.size(), capacity - patch.offset));
    if (fits > 0) std::memcpy(static_cast<uint8_t*>(buffer) + patch.offset, patch.bytes.data(), fits);
    if (fits < patch.bytes.size())
      std::fprintf(stderr, "vorlantestengine: rule \"%s\": %zu byte(s) beyond the %s buffer (%u bytes) dropped\n",
                   rule.text.c_str(), patch.bytes.size() - fits, what, capacity);
  }
}

void rewriteVersion(const std::vector<VersionEntry>& version, void* data, uint32_t capacity,
                    uint32_t* dataLength) {
  uint8_t answer[15] = {};
  if (data != nullptr) std::memcpy(answer, data, std::min<uint32_t>(capacity, 15));
  for (size_t i = 0; i < version.size(); ++i) {
    uint8_t* e = answer + 5 * i;
    e[0] = static_cast<uint8_t>(version[i].major);
    e[1] = static_cast<uint8_t>(version[i].major >> 8);
    e[2] = static_cast<uint8_t>(version[i].minor);
    e[3] = static_cast<uint8_t>(version[i].minor >> 8);
    if (version[i].letter) e[4] = static_cast<uint8_t>(*version[i].letter);
  }
  uint32_t length = static_cast<uint32_t>(5 * version.size());
  if (data != nullptr) std::memcpy(data, answer, std::min(capacity, length));
  if (dataLength != nullptr) *dataLength = std::min(capacity, length);
}

int32_t realCall(const Call& call) {
  if (call.entry == EntryKind::Standard)
    return rm::standardEntry(static_cast<uint16_t>(call.operation), call.positionBlock, call.data,
                             call.dataLength, call.key, static_cast<uint8_t>(call.keyLength),
                             static_cast<int8_t>(call.keyNumber));
  return rm::wideEntry(call.operation, call.positionBlock, call.data, call.dataLength, call.key,
                       call.keyLength, call.keyNumber);
}

int32_t handle(const Call& call) {
  std::lock_guard<std::mutex> guard(engineLock());
  if (!loaded()) loadRules();
  RuleSet& set = rules();
  const uint32_t capacity = call.dataLength != nullptr ? *call.dataLength : 0;

  // Which rules apply to this call.
  size_t count = 0;
  bool skip = false;
  for (FaultRule& rule : set.faults) {
    rule.firing = false;
    if (!matches(rule, call)) continue;
    ++rule.matched;
    rule.firing = rule.nth != 0 ? rule.matched == rule.nth : rule.matched >= rule.from;
    if (!rule.firing) continue;
    ++count;
    skip = skip || rule.skip;
  }

  int32_t status = skip ? 0 : realCall(call);
  if (call.operation == 26 && !set.version.empty())
    rewriteVersion(set.version, call.data, capacity, call.dataLength);
  for (const FaultRule& rule : set.faults) {
    if (!rule.firing) continue;
    if (rule.status) status = *rule.status;
    if (rule.dataLength && call.dataLength != nullptr) *call.dataLength = *rule.dataLength;
    applyPatches(rule.dataPatches, call.data, capacity, "data", rule);
    applyPatches(rule.keyPatches, call.key, call.keyLength, "key", rule);
  }
  if (set.trace)
    std::fprintf(stderr, "vorlantestengine: %s op=%u key=%d len=%u -> status=%d len=%u%s%s\n",
                 call.entry == EntryKind::Standard ? "standard" : "wide", call.operation,
                 static_cast<int>(call.keyNumber), capacity, static_cast<int>(status),
                 call.dataLength != nullptr ? *call.dataLength : 0, count ? " (changed)" : "",
                 skip ? " (skipped)" : "");
  return status;
}

}  // namespace
}  // namespace vorlan::testengine

#if defined(_WIN32)
#define VORLAN_TE_EXPORT __declspec(dllexport)
#else
#define VORLAN_TE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VORLAN_TE_EXPORT int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                                 uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                 int8_t keyNumber) {
  using namespace vorlan::testengine;
  return static_cast<int16_t>(handle(Call{EntryKind::Standard, operation, positionBlock, dataBuffer,
                                          dataLength, keyBuffer, keyLength, keyNumber}));
}

VORLAN_TE_EXPORT int32_t BTRVEX(uint32_t operation, void* positionBlock, void* dataBuffer,
                                uint32_t* dataLength, void* keyBuffer, uint32_t keyLength,
                                int32_t keyNumber) {
  using namespace vorlan::testengine;
  return handle(Call{EntryKind::Wide, operation, positionBlock, dataBuffer, dataLength, keyBuffer,
                     keyLength, keyNumber});
}

// Reads VORLAN_TEST_ENGINE again and starts every rule's count afresh (for
// tests that load the library into their own process).
VORLAN_TE_EXPORT void vorlanTestEngineReload(void) {
  using namespace vorlan::testengine;
  std::lock_guard<std::mutex> guard(engineLock());
  loadRules();
}

}  // extern "C"
