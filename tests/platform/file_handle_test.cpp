#include "platform/file_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace vorlan::platform {
namespace {

using testing::TempFolder;

std::vector<unsigned char> slurp(const std::string& path) {
  std::vector<unsigned char> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
  }
  return bytes;
}

std::vector<unsigned char> patternBytes(size_t n) {
  std::vector<unsigned char> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
  return v;
}

// Writes in pieces of many sizes (byte, small, larger than the buffer) and
// reads back with byte reads, short block reads, block reads larger than the
// buffer and one-byte step-backs, as the UNF readers do.
TEST(FileHandle, RoundTripWithMixedPieceSizes) {
  TempFolder tmp;
  ASSERT_TRUE(tmp.ok());
  const std::string path = tmp.file("round.unf");
  const std::vector<unsigned char> data = patternBytes(300000);
  const size_t pieces[] = {1, 17, 65535, 1, 70000, 3, 65536, 20, 99999};

  FileHandle out;
  ASSERT_TRUE(out.createTruncate(path.c_str()));
  size_t at = 0;
  for (size_t i = 0; at < data.size(); ++i) {
    size_t n = std::min(pieces[i % std::size(pieces)], data.size() - at);
    ASSERT_TRUE(out.write(data.data() + at, n));
    at += n;
    ASSERT_EQ(out.tell(), static_cast<int64_t>(at));
  }
  ASSERT_TRUE(out.close());
  ASSERT_EQ(slurp(path), data);

  FileHandle in;
  ASSERT_TRUE(in.openExisting(path.c_str()));
  std::vector<unsigned char> back;
  std::vector<unsigned char> block(100000);
  const size_t reads[] = {0, 5, 1, 100000, 0, 65536, 2, 40000};
  for (size_t i = 0; back.size() < data.size(); ++i) {
    size_t n = reads[i % std::size(reads)];
    if (n == 0) {
      int c = in.readByte();
      ASSERT_GE(c, 0);
      // Step back over the byte and read it again.
      ASSERT_EQ(in.seek(-1, SeekOrigin::Current), static_cast<int64_t>(back.size()));
      ASSERT_EQ(in.readByte(), c);
      back.push_back(static_cast<unsigned char>(c));
    } else {
      size_t got = in.read(block.data(), n);
      back.insert(back.end(), block.begin(), block.begin() + got);
      if (got < n) break;
    }
    ASSERT_EQ(in.tell(), static_cast<int64_t>(back.size()));
  }
  EXPECT_EQ(back, data);
  EXPECT_EQ(in.readByte(), -1);
  EXPECT_EQ(in.read(block.data(), 10), 0u);
  EXPECT_FALSE(in.failed());
  EXPECT_EQ(in.seek(0, SeekOrigin::End), static_cast<int64_t>(data.size()));
  EXPECT_EQ(in.seek(-1, SeekOrigin::Begin), -1);
  EXPECT_EQ(in.lastError(), EINVAL);
  EXPECT_TRUE(in.close());
  EXPECT_TRUE(in.close());  // twice is harmless
}

// The export of a long record: the 11-character length field is rewritten in
// place after each further piece, then writing goes on at the end.
TEST(FileHandle, LengthFieldRewriteThenAppend) {
  TempFolder tmp;
  ASSERT_TRUE(tmp.ok());
  const std::string path = tmp.file("long.unf");
  const std::vector<unsigned char> first = patternBytes(64129);
  const std::string tail = "0123456789";

  FileHandle f;
  ASSERT_TRUE(f.createTruncate(path.c_str()));
  ASSERT_TRUE(f.write("S08DC2A1B3C4D5E6F,", 18));
  const int64_t field = f.seek(0, SeekOrigin::Current);
  ASSERT_EQ(field, 18);
  ASSERT_TRUE(f.write("0000064129,", 11));
  ASSERT_TRUE(f.write(first.data(), first.size()));
  ASSERT_EQ(f.seek(field, SeekOrigin::Begin), field);
  ASSERT_TRUE(f.write("0000064139,", 11));
  ASSERT_EQ(f.seek(0, SeekOrigin::End), 18 + 11 + 64129);
  ASSERT_TRUE(f.write(tail.data(), tail.size()));
  ASSERT_TRUE(f.write("\r\n\x1A", 3));
  ASSERT_TRUE(f.close());

  std::string expectedText = "S08DC2A1B3C4D5E6F,0000064139,";
  std::vector<unsigned char> expected(expectedText.begin(), expectedText.end());
  expected.insert(expected.end(), first.begin(), first.end());
  expected.insert(expected.end(), tail.begin(), tail.end());
  expected.insert(expected.end(), {'\r', '\n', 0x1A});
  EXPECT_EQ(slurp(path), expected);

  // Writing after reading lands at the read position, not behind the
  // read-ahead, and reading goes on after what was written.
  ASSERT_TRUE(f.openExisting(path.c_str()));
  char head[5];
  ASSERT_EQ(f.read(head, 5), 5u);
  ASSERT_TRUE(f.write("XY", 2));
  EXPECT_EQ(f.tell(), 7);
  EXPECT_EQ(f.readByte(), expected[7]);
  ASSERT_TRUE(f.close());
  expected[5] = 'X';
  expected[6] = 'Y';
  EXPECT_EQ(slurp(path), expected);

  // Creating again truncates.
  ASSERT_TRUE(f.createTruncate(path.c_str()));
  EXPECT_EQ(f.seek(0, SeekOrigin::End), 0);
  EXPECT_TRUE(f.close());
  EXPECT_TRUE(slurp(path).empty());
}

TEST(FileHandle, OffsetsBeyondFourGiB) {
  TempFolder tmp;
  ASSERT_TRUE(tmp.ok());
  const std::string path = tmp.file("sparse.unf");
  const int64_t far = (int64_t{5} << 30) + 3;  // past 4 GiB and 32-bit wrap

  FileHandle f;
  ASSERT_TRUE(f.createTruncate(path.c_str()));
  ASSERT_TRUE(f.write("head", 4));
  ASSERT_EQ(f.seek(far, SeekOrigin::Begin), far);
  ASSERT_TRUE(f.write("xyz", 3));
  EXPECT_EQ(f.tell(), far + 3);
  EXPECT_EQ(f.seek(0, SeekOrigin::End), far + 3);
  ASSERT_TRUE(f.close());

  ASSERT_TRUE(f.openExisting(path.c_str()));
  EXPECT_EQ(f.seek(0, SeekOrigin::End), far + 3);
  EXPECT_EQ(f.seek(-3, SeekOrigin::End), far);
  char got[4] = {};
  EXPECT_EQ(f.read(got, 3), 3u);
  EXPECT_STREQ(got, "xyz");
  EXPECT_EQ(f.seek(int64_t{1} << 32, SeekOrigin::Begin), int64_t{1} << 32);
  EXPECT_EQ(f.readByte(), 0);
  EXPECT_EQ(f.seek(0, SeekOrigin::Begin), 0);
  EXPECT_EQ(f.readByte(), 'h');
  EXPECT_TRUE(f.close());
}

// A full disk must never pass for a written file: the failure shows at the
// write that reaches the disk, stays for every later write, and at close.
TEST(FileHandle, FullDiskIsReported) {
  struct Case {
    const char* what;
    size_t firstWrite;
    bool flushBeforeClose;
  };
  const Case cases[] = {
      {"small write, failure at flush", 100, true},
      {"small write, failure at close", 100, false},
      {"write larger than the buffer", 200000, false},
  };
  const std::vector<unsigned char> data = patternBytes(200000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileHandle f;
    ASSERT_TRUE(f.openExisting("/dev/full"));
    bool wrote = f.write(data.data(), c.firstWrite);
    if (c.firstWrite < 65536) {
      EXPECT_TRUE(wrote);  // still in the buffer
      if (c.flushBeforeClose) {
        EXPECT_FALSE(f.flush());
        EXPECT_EQ(f.lastError(), ENOSPC);
        EXPECT_FALSE(f.write("x", 1));
        EXPECT_FALSE(f.flush());
      }
    } else {
      EXPECT_FALSE(wrote);
      EXPECT_EQ(f.lastError(), ENOSPC);
      EXPECT_FALSE(f.write("x", 1));
    }
    EXPECT_FALSE(f.close());
    EXPECT_EQ(f.lastError(), ENOSPC);
    EXPECT_TRUE(f.failed());
  }
}

TEST(FileHandle, MissingFileAndClosedHandle) {
  TempFolder tmp;
  ASSERT_TRUE(tmp.ok());
  FileHandle f;
  EXPECT_FALSE(f.openExisting(tmp.file("absent.unf").c_str()));
  EXPECT_EQ(f.lastError(), ENOENT);
  EXPECT_FALSE(f.isOpen());
  EXPECT_FALSE(f.createTruncate(tmp.file("no/such/folder.unf").c_str()));
  EXPECT_EQ(f.lastError(), ENOENT);
  EXPECT_FALSE(f.openExisting(tmp.path().c_str()));  // a folder
  EXPECT_EQ(f.lastError(), EISDIR);

  char byte;
  EXPECT_EQ(f.read(&byte, 1), 0u);
  EXPECT_EQ(f.readByte(), -1);
  EXPECT_FALSE(f.write("x", 1));
  EXPECT_EQ(f.seek(0, SeekOrigin::Begin), -1);
  EXPECT_FALSE(f.flush());
  EXPECT_EQ(f.lastError(), EBADF);
}

}  // namespace
}  // namespace vorlan::platform
