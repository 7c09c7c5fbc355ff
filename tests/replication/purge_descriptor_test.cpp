#include "replication/purge_descriptor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vorlan {
namespace {

// The descriptors byte for byte, written out by hand from the layout.
TEST(PurgeDescriptor, EachModeAndFormByteForByte) {
  const ReplicationTimestamp cutoff = 0x08DC392CB1A10F87ULL;
  const std::string stateTermAll = std::string("\x00\x01\x00\x1E\x00\x01\x00" "D", 8);
  const std::string stateTermAnd = std::string("\x00\x01\x00\x1E\x00\x01\x01" "D", 8);
  const std::string ageTerm = std::string("\x14\x08\x00\x20\x00\x03\x00", 7) +
                              std::string("\x87\x0F\xA1\xB1\x2C\x39\xDC\x08", 8);
  const std::string rejects = std::string("EG\xE8\xFD", 4);
  struct Case {
    const char* name;
    PurgeMode mode;
    bool deleteExtended;
    std::string bytes;
  } cases[] = {
      {"all, DeleteExtended", PurgeMode::All, true,
       std::string("\x14\x00", 2) + rejects + std::string("\x01\x00", 2) + stateTermAll +
           std::string("\x00\x19\x00\x00\x00\x00\x00\x00", 8)},
      {"all, Get Next Extended", PurgeMode::All, false,
       std::string("\x18\x00", 2) + rejects + std::string("\x01\x00", 2) + stateTermAll +
           std::string("\x01\x00\x01\x00\x30\x00\x00\x00", 8)},
      {"aged, DeleteExtended", PurgeMode::Aged, true,
       std::string("\x23\x00", 2) + rejects + std::string("\x02\x00", 2) + stateTermAnd +
           ageTerm + std::string("\x00\x19\x00\x00\x00\x00\x00\x00", 8)},
      {"aged, Get Next Extended", PurgeMode::Aged, false,
       std::string("\x27\x00", 2) + rejects + std::string("\x02\x00", 2) + stateTermAnd +
           ageTerm + std::string("\x01\x00\x01\x00\x30\x00\x00\x00", 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned char out[64];
    memset(out, 0xAA, sizeof out);
    uint16_t written = writePurgeDescriptor(out, c.mode, c.deleteExtended, cutoff);
    ASSERT_EQ(written, c.bytes.size());
    EXPECT_LE(written, kPurgeDescriptorMaxSize);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), written), c.bytes);
    EXPECT_EQ(out[written], 0xAA) << "nothing written beyond the descriptor";
    // DeleteExtended states four bytes less than it writes.
    uint16_t stated = static_cast<uint16_t>(out[0] | out[1] << 8);
    EXPECT_EQ(stated, c.deleteExtended ? written - 4 : written);
  }
}

}  // namespace
}  // namespace vorlan
