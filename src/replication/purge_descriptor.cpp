#include "replication/purge_descriptor.h"

#include "engine/byte_order.h"
#include "replication/pdc_record.h"

namespace vorlan {
namespace {

constexpr uint16_t kMaximumRejects = 65000;
constexpr uint16_t kDeleteExtendedBatch = 6400;
constexpr uint16_t kExtractedLength = 48;

constexpr unsigned char kTypeString = 0, kTypeTimestamp = 20;
constexpr unsigned char kCompareEqual = 1, kCompareLess = 3;
constexpr unsigned char kLastTerm = 0, kAnd = 1;

// Appends to a descriptor under construction.
struct Writer {
  unsigned char* at;
  void byte(unsigned char v) { *at++ = v; }
  void le16(uint16_t v) {
    writeLe16(at, v);
    at += 2;
  }
  void le64(uint64_t v) {
    writeLe64(at, v);
    at += 8;
  }
};

}  // namespace

uint16_t writePurgeDescriptor(unsigned char* out, PurgeMode mode, bool deleteExtended,
                              ReplicationTimestamp cutoff) {
  const bool aged = mode == PurgeMode::Aged;
  // Header 8, the state term 8, the age term 15, the extractor 4, and for
  // Get Next Extended its one field pair 4.
  const uint16_t stated = static_cast<uint16_t>(8 + 8 + (aged ? 15 : 0) + 4 + (deleteExtended ? 0 : 4));
  Writer w{out};
  w.le16(stated);
  w.byte('E');
  w.byte('G');
  w.le16(kMaximumRejects);
  w.le16(aged ? 2 : 1);

  w.byte(kTypeString);
  w.le16(1);
  w.le16(kRecordStateOffset);
  w.byte(kCompareEqual);
  w.byte(aged ? kAnd : kLastTerm);
  w.byte(kObituaryState);

  if (aged) {
    w.byte(kTypeTimestamp);
    w.le16(8);
    w.le16(kLastUpdatedOffset);
    w.byte(kCompareLess);
    w.byte(kLastTerm);
    w.le64(cutoff);
  }

  w.le16(deleteExtended ? kDeleteExtendedBatch : 1);
  w.le16(deleteExtended ? 0 : 1);
  w.le16(deleteExtended ? 0 : kExtractedLength);
  w.le16(0);
  return static_cast<uint16_t>(w.at - out);
}

}  // namespace vorlan
