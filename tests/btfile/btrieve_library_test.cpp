// libvorlanbtrv.so loaded as a program written for the Btrieve call
// interface loads a client library: its BTRCALL and BTRVEX reach the
// embedded record manager, and files made through it are the files btfile
// makes.
#include <gtest/gtest.h>

#include "btfile/client_library.h"
#include "support/process.h"

namespace vorlan::testing {
namespace {

TEST(BtrieveLibraryTest, EntriesReachTheEmbeddedEngine) {
  ClientLibrary lib(EMBEDDED_LIB);
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  ASSERT_NE(lib.btrcall, nullptr);
  ASSERT_NE(lib.btrvex, nullptr);
  TempDir dir;
  const std::string path = dir.file("lib.mkd");
  LibraryFile file(lib);
  ASSERT_EQ(file.create(path, 12), 0);
  ASSERT_EQ(file.open(path), 0);
  for (int32_t value : {30, 10, 20}) ASSERT_EQ(file.insert(value, 12), 0);

  // Key order through the standard entry.
  uint8_t record[64] = {};
  std::vector<int32_t> order;
  for (int op = 12;; op = 6) {  // Get First, then Get Next
    uint32_t length = sizeof record;
    int status = file.call(static_cast<uint16_t>(op), record, &length, 0);
    if (status == 9) break;
    ASSERT_EQ(status, 0);
    ASSERT_EQ(length, 12u);
    int32_t value;
    std::memcpy(&value, record, 4);
    order.push_back(value);
  }
  EXPECT_EQ(order, (std::vector<int32_t>{10, 20, 30}));

  // The 64-bit record count through the wide entry, and an 8-byte position.
  uint8_t stat[4096] = {};
  uint32_t statLength = sizeof stat;
  ASSERT_EQ(file.wide(15, stat, &statLength, -1), 0);
  uint64_t count = 0;
  std::memcpy(&count, stat + 8, 8);
  EXPECT_EQ(count, 3u);
  uint32_t length = sizeof record;
  ASSERT_EQ(file.call(12, record, &length, 0), 0);
  uint8_t position[8] = {};
  uint32_t positionLength = 8;
  ASSERT_EQ(file.wide(22, position, &positionLength, 0), 0);
  EXPECT_EQ(positionLength, 8u);
  EXPECT_EQ(file.close(), 0);

  // The same file as btfile sees it.
  std::vector<std::string> argv{BTFILE_BIN, "stat", path};
  ProcessResult stat2 = runProcess(argv);
  EXPECT_EQ(stat2.status, 0) << stat2.err;
  EXPECT_NE(stat2.out.find("Records: 3\n"), std::string::npos) << stat2.out;
}

TEST(BtrieveLibraryTest, MissingFileAndClosedBlockAnswerTheirStatuses) {
  ClientLibrary lib(EMBEDDED_LIB);
  ASSERT_NE(lib.btrcall, nullptr);
  TempDir dir;
  LibraryFile file(lib);
  EXPECT_EQ(file.open(dir.file("none.mkd")), 12);
  uint8_t record[16];
  uint32_t length = sizeof record;
  EXPECT_EQ(file.call(12, record, &length, 0), 3);  // never opened
}

}  // namespace
}  // namespace vorlan::testing
