// The fields of a PDC table record that the replication commands read and
// write. The rest of the record belongs to the replication product.
#pragma once

#include <cstdint>

namespace vorlan {

constexpr uint32_t kRecordStateOffset = 30;
constexpr uint32_t kLastUpdatedOffset = 32;  // 8 bytes, least significant first
// A record shorter than this does not hold both fields.
constexpr uint32_t kPdcFieldsEnd = kLastUpdatedOffset + 8;

constexpr unsigned char kObituaryState = 'D';
constexpr unsigned char kRestampState = 'N';

// Key 1: the system data value of the tracked record; key 2: purge order.
constexpr int16_t kPdcTrackedKey = 1;
constexpr int16_t kPdcPurgeKey = 2;

}  // namespace vorlan
