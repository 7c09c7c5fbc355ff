// rm_ops: per-operation cost of the embedded record manager, called through
// its standard entry as any Btrieve program calls it, on a file made by
// `btfile create ... && btfile fill ...` (100-byte records, system data,
// key 0 the record number as a 4-byte integer). The same work through plain
// SQLite statements is `sqlite_baseline ops`; both print one line per kind
// of call: "NAME CALLS SECONDS".
//
//   rm_ops FILE
//
// Reads first (Get First/Next on key 0, Step First/Next, Get Direct at
// random positions, Get Equal on random key 0 values), then Insert and
// Insert with system data (op 52), whose figures include the final commit.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_records.h"
#include "recordmanager/record_manager.h"
#include "recordmanager/record_manager_control.h"

namespace vorlan::bench {
namespace {

enum : uint16_t {
  kOpOpen = 0,
  kOpClose = 1,
  kOpInsert = 2,
  kOpGetEqual = 5,
  kOpGetNext = 6,
  kOpGetFirst = 12,
  kOpGetPosition = 22,
  kOpGetDirect = 23,
  kOpStepNext = 24,
  kOpStepFirst = 33,
  kOpInsertWithSystemData = 52,
};

uint8_t positionBlock[128];
uint8_t dataBuffer[4096];
uint8_t keyBuffer[255];

int16_t call(uint16_t op, uint32_t* length, int8_t keyNumber) {
  return rm::standardEntry(op, positionBlock, dataBuffer, length, keyBuffer, sizeof keyBuffer, keyNumber);
}

void report(const char* name, uint64_t count, double seconds) {
  std::printf("%s %" PRIu64 " %.6f\n", name, count, seconds);
}

bool check(int16_t status, const char* what) {
  if (status == 0) return true;
  std::fprintf(stderr, "rm_ops: %s answered status %d\n", what, status);
  return false;
}

// Get First/Step First, then Next until the end of the file.
bool scan(const char* name, uint16_t first, uint16_t next, int8_t key, uint64_t* count) {
  uint64_t n = 0;
  const auto start = Clock::now();
  uint32_t length = sizeof dataBuffer;
  int16_t status = call(first, &length, key);
  while (status == 0) {
    ++n;
    length = sizeof dataBuffer;
    status = call(next, &length, key);
  }
  const double seconds = secondsSince(start);
  if (status != 9) return check(status, name);
  report(name, n, seconds);
  *count = n;
  return true;
}

}  // namespace
}  // namespace vorlan::bench

int main(int argc, char** argv) {
  using namespace vorlan::bench;
  if (argc != 2) {
    std::fputs("usage: rm_ops FILE\n", stderr);
    return 2;
  }
  const size_t nameLength = std::strlen(argv[1]);
  if (nameLength >= sizeof keyBuffer) {
    std::fputs("rm_ops: file name too long\n", stderr);
    return 2;
  }
  std::memcpy(keyBuffer, argv[1], nameLength + 1);
  uint32_t length = 0;
  if (!check(call(kOpOpen, &length, 0), "Open")) return 1;

  uint64_t records = 0, stepped = 0;
  if (!scan("get_next", kOpGetFirst, kOpGetNext, 0, &records)) return 1;
  if (!scan("step_next", kOpStepFirst, kOpStepNext, 0, &stepped)) return 1;

  // Every record's position, for Get Direct (not timed).
  std::vector<uint32_t> positions;
  positions.reserve(records);
  length = sizeof dataBuffer;
  for (int16_t status = call(kOpStepFirst, &length, 0); status == 0; status = call(kOpStepNext, &length, 0)) {
    length = sizeof dataBuffer;
    if (!check(call(kOpGetPosition, &length, 0), "Get Position")) return 1;
    uint32_t position;
    std::memcpy(&position, dataBuffer, 4);
    positions.push_back(position);
    length = sizeof dataBuffer;
  }
  if (positions.empty()) return 1;

  {
    Generator random{kLookupSeed};
    const auto start = Clock::now();
    for (uint64_t i = 0; i < kLookupOps; ++i) {
      const uint32_t position = positions[random.pick(positions.size()) - 1];
      std::memcpy(dataBuffer, &position, 4);
      length = sizeof dataBuffer;
      if (!check(call(kOpGetDirect, &length, 0), "Get Direct")) return 1;
    }
    report("get_direct", kLookupOps, secondsSince(start));
  }
  {
    Generator random{kLookupSeed};
    const auto start = Clock::now();
    for (uint64_t i = 0; i < kLookupOps; ++i) {
      const uint32_t number = static_cast<uint32_t>(random.pick(records));
      std::memset(keyBuffer, 0, 4);
      std::memcpy(keyBuffer, &number, 4);
      length = sizeof dataBuffer;
      if (!check(call(kOpGetEqual, &length, 0), "Get Equal")) return 1;
    }
    report("get_equal", kLookupOps, secondsSince(start));
  }

  Generator random{99};
  {
    const auto start = Clock::now();
    for (uint64_t i = 0; i < kInsertOps; ++i) {
      makeRecord(random, static_cast<uint32_t>(records + 1 + i), dataBuffer);
      length = kRecordLength;
      if (!check(call(kOpInsert, &length, 0), "Insert")) return 1;
    }
    vorlan::rm::flushEngine();
    report("insert", kInsertOps, secondsSince(start));
  }
  {
    const auto start = Clock::now();
    for (uint64_t i = 0; i < kInsertOps; ++i) {
      const uint64_t number = records + 1 + kInsertOps + i;
      const uint64_t sysData = kGivenSysDataBase + number;
      uint8_t* out = dataBuffer;
      std::memset(out, 0, 4 + kRecordLength + 44);
      out[0] = 1;
      makeRecord(random, static_cast<uint32_t>(number), out + 4);
      uint8_t* trailer = out + 4 + kRecordLength;
      for (int b = 0; b < 8; ++b) {
        trailer[12 + b] = static_cast<uint8_t>(sysData >> (8 * b));
        trailer[20 + b] = static_cast<uint8_t>(sysData >> (8 * b));
      }
      trailer[42] = 0x07;  // 0x00070000, little-endian
      length = 4 + kRecordLength + 44;
      if (!check(call(kOpInsertWithSystemData, &length, 0), "Insert with system data")) return 1;
    }
    vorlan::rm::flushEngine();
    report("insert_sys_data", kInsertOps, secondsSince(start));
  }
  length = 0;
  return check(call(kOpClose, &length, 0), "Close") ? 0 : 1;
}
