// The engine operations the utility issues, by their Btrieve numbers.
#pragma once

#include <cstdint>

namespace vorlan {

constexpr uint16_t kOpOpen = 0;
constexpr uint16_t kOpClose = 1;
constexpr uint16_t kOpInsert = 2;
constexpr uint16_t kOpUpdate = 3;
constexpr uint16_t kOpDelete = 4;
constexpr uint16_t kOpGetEqual = 5;
constexpr uint16_t kOpGetNext = 6;
constexpr uint16_t kOpGetPrevious = 7;
constexpr uint16_t kOpGetFirst = 12;
constexpr uint16_t kOpGetLast = 13;
constexpr uint16_t kOpCreate = 14;  // also rename (key -127) and delete (key -128)
constexpr uint16_t kOpStat = 15;
constexpr uint16_t kOpGetPosition = 22;
constexpr uint16_t kOpGetDirect = 23;  // key -2: a chunk
constexpr uint16_t kOpStepNext = 24;
constexpr uint16_t kOpVersion = 26;
constexpr uint16_t kOpReset = 28;
constexpr uint16_t kOpStepFirst = 33;
constexpr uint16_t kOpStepLast = 34;
constexpr uint16_t kOpStepPrevious = 35;
constexpr uint16_t kOpGetNextExtended = 36;
constexpr uint16_t kOpMiscData = 41;
constexpr uint16_t kOpInsertWithSystemData = 52;
constexpr uint16_t kOpUpdateChunk = 53;
constexpr uint16_t kOpExtendedStats = 65;
constexpr uint16_t kOpDeleteExtended = 85;

}  // namespace vorlan
