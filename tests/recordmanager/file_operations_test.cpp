// File-level operations: Open and Create statuses, Stat and Create from a
// Stat buffer (the clone), rename and delete through Create, owner names,
// the MiscData block and Version.
#include <gtest/gtest.h>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

using vorlan::testing::readFile;
using vorlan::testing::writeFile;

class FileOperationsTest : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override { engine_.reset(); }
  FileDefinition richFile() {
    KeyDefinition segmented;
    KeySegment a, b;
    a.position = 1, a.length = 4, a.type = kTypeString, a.flags = kKeySegmented | kKeyExtendedType | kKeyDuplicates;
    b.position = 9, b.length = 2, b.type = kTypeInteger, b.flags = kKeyExtendedType | kKeyDuplicates;
    segmented.segments = {a, b};
    FileDefinition d = definition(40, kFileVariableLength | kFileSystemDataWithUpdate,
                                  {key(5, 4, kTypeUnsigned), segmented,
                                   key(11, 10, kTypeString, kKeyCaseInsensitive | kKeyModifiable | kKeyDuplicates)});
    d.pageSize = 8192;
    d.versionByte = 0x95;
    return d;
  }
  Answer stat(uint8_t* block, uint32_t capacity = 4096) {
    return engine_.call(15, block, {}, capacity, {}, -1);
  }
  vorlan::testing::TempDir dir_;
  Engine engine_{GetParam()};
  uint8_t block_[128] = {};
};

TEST_P(FileOperationsTest, OpenAndCreateAnswerByWhatIsOnDisk) {
  const std::string path = dir_.file("DATA.MKD");
  const std::string foreign = dir_.file("NOTES.TXT");
  writeFile(foreign, "just some text, not a data file\n");
  const std::string empty = dir_.file("EMPTY.MKD");
  writeFile(empty, "");
  EXPECT_EQ(engine_.open(block_, dir_.file("MISSING.MKD")), 12);
  EXPECT_EQ(engine_.open(block_, foreign), 30);
  EXPECT_EQ(engine_.open(block_, empty), 30);
  EXPECT_EQ(readFile(foreign), "just some text, not a data file\n") << "a foreign file is left alone";
  EXPECT_EQ(engine_.open(block_, ""), 11);

  ASSERT_EQ(engine_.create(path, richFile(), -1), 0);
  EXPECT_EQ(engine_.create(path, richFile(), -1), 59);
  EXPECT_EQ(engine_.create(foreign, richFile(), 0), 30) << "only files of this engine are replaced";
  ASSERT_EQ(engine_.open(block_, path), 0);
  ASSERT_EQ(engine_.insert(block_, rec("AAAA", "", 40)), 0);
  EXPECT_EQ(engine_.create(path, richFile(), 0), 85) << "an open file is not replaced";
  ASSERT_EQ(engine_.close(block_), 0);
  ASSERT_EQ(engine_.create(path, richFile(), 0), 0);
  ASSERT_EQ(engine_.open(block_, path), 0);
  EXPECT_EQ(engine_.fetch(12, block_, 0).status, 9) << "replaced by an empty file";

  // Backslashes are directory separators.
  std::string dos = dir_.path() + "\\DOS.MKD";
  ASSERT_EQ(engine_.create(dos, richFile()), 0);
  uint8_t other[128] = {};
  EXPECT_EQ(engine_.open(other, dir_.file("DOS.MKD")), 0);

  // Bad definitions.
  FileDefinition noKeyRoom = definition(4, 0, {key(3, 4, kTypeString)});
  EXPECT_EQ(engine_.create(dir_.file("BAD1.MKD"), noKeyRoom), 27);
  FileDefinition badLength = definition(8, 0, {key(1, 3, kTypeInteger)});
  EXPECT_EQ(engine_.create(dir_.file("BAD2.MKD"), badLength), 29);
}

TEST_P(FileOperationsTest, StatGivesBackTheDefinitionAndCreateFromItClones) {
  const std::string path = dir_.file("SOURCE.MKD");
  ASSERT_EQ(engine_.create(path, richFile()), 0);
  ASSERT_EQ(engine_.open(block_, path), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(engine_.insert(block_, rec("AAAA" + std::to_string(i) + "xxx", "", 40)), 0);
  Answer source = stat(block_);
  ASSERT_EQ(source.status, 0);
  const bool wide = GetParam();
  ASSERT_EQ(source.data.size(), fileDefinitionSize(richFile(), wide));
  EXPECT_EQ(little(source.data.data(), 2), 40u);
  EXPECT_EQ(source.data[4], 3u);
  EXPECT_EQ(little(source.data.data() + (wide ? 16 : 10), 2), uint64_t(kFileVariableLength | kFileSystemDataWithUpdate));
  EXPECT_EQ(wide ? little(source.data.data() + 8, 8) : little(source.data.data() + 6, 4), 3u);
  EXPECT_EQ(wide ? little(source.data.data() + 18, 2) : source.data[5], 0x95u);

  // The clone: the Stat buffer with a new version and no records.
  Bytes clone = source.data;
  if (wide) {
    putLE(clone.data() + 8, 0, 8);
    putLE(clone.data() + 18, 0x60, 2);
  } else {
    clone[5] = 0x60;
    putLE(clone.data() + 6, 0, 4);
  }
  const std::string copy = dir_.file("CLONE.MKD");
  ASSERT_EQ(engine_.call(14, block_, clone, uint32_t(clone.size()), Engine::name(copy), 0).status, 0);
  uint8_t cloned[128] = {};
  ASSERT_EQ(engine_.open(cloned, copy), 0);
  Answer again = stat(cloned);
  ASSERT_EQ(again.status, 0);
  EXPECT_TRUE(again.data == clone) << "identical definition, version and empty";
  // Stat into a short buffer answers 22 with what fits.
  Answer cut = stat(cloned, 20);
  EXPECT_EQ(cut.status, 22);
  EXPECT_EQ(cut.data.size(), 20u);
  EXPECT_TRUE(std::equal(cut.data.begin(), cut.data.end(), clone.begin()));
}

TEST_P(FileOperationsTest, RenameAndDeleteThroughCreate) {
  const std::string path = dir_.file("OLD.MKD");
  const std::string renamed = dir_.file("NEW.MKD");
  ASSERT_EQ(engine_.create(path, richFile()), 0);
  ASSERT_EQ(engine_.open(block_, path), 0);
  ASSERT_EQ(engine_.insert(block_, rec("KEEP", "", 40)), 0);
  const Bytes from(path.begin(), path.end());  // without terminator
  EXPECT_EQ(engine_.call(14, block_, from, uint32_t(from.size()), Engine::name(renamed), -127).status, 85);
  ASSERT_EQ(engine_.close(block_), 0);
  uint8_t none[128] = {};
  ASSERT_EQ(engine_.call(14, none, from, uint32_t(from.size()), Engine::name(renamed), -127).status, 0);
  EXPECT_EQ(engine_.open(block_, path), 12);
  ASSERT_EQ(engine_.open(block_, renamed), 0);
  EXPECT_EQ(text(engine_.fetch(12, block_, 0).data, 0, 4), "KEEP") << "records move with the file";
  ASSERT_EQ(engine_.close(block_), 0);

  const std::string foreign = dir_.file("OTHER.TXT");
  writeFile(foreign, "text");
  const struct {
    std::string name;
    int status;
  } deletes[] = {{dir_.file("NONE.MKD"), 12}, {foreign, 30}, {renamed, 0}, {renamed, 12}};
  for (const auto& d : deletes)
    EXPECT_EQ(engine_.call(14, none, {}, 0, Engine::name(d.name), -128).status, d.status) << d.name;
  EXPECT_EQ(readFile(foreign), "text");
  EXPECT_FALSE(vorlan::testing::readFile(renamed + "-wal").size());
  // Renaming onto an existing file, or a foreign file, is refused.
  ASSERT_EQ(engine_.create(path, richFile()), 0);
  const Bytes foreignName(foreign.begin(), foreign.end());
  EXPECT_EQ(engine_.call(14, none, from, uint32_t(from.size()), Engine::name(foreign), -127).status, 59);
  EXPECT_EQ(engine_.call(14, none, foreignName, uint32_t(foreignName.size()), Engine::name(renamed), -127).status,
            30);
}

TEST_P(FileOperationsTest, OwnerNamesGuardTheFile) {
  const std::string path = dir_.file("OWNED.MKD");
  ASSERT_EQ(engine_.create(path, richFile()), 0);
  ASSERT_EQ(engine_.open(block_, path), 0);
  ASSERT_EQ(engine_.insert(block_, rec("AAAA", "", 40)), 0);
  Bytes owner = bytesOf("Secret1");
  EXPECT_EQ(engine_.call(29, block_, owner, 7, bytesOf("Other"), 1).status, 51) << "key buffer must repeat it";
  ASSERT_EQ(engine_.call(29, block_, owner, 7, Engine::name("Secret1"), 1).status, 0);
  ASSERT_EQ(engine_.close(block_), 0);

  const struct {
    const char* owner;
    int status;
    int insertStatus;  // read-only access without the name (mode 1)
  } opens[] = {{"Secret1", 0, 0}, {"Wrong", 51, 0}, {"", 0, 46}, {"secret1", 51, 0}};
  for (const auto& o : opens) {
    uint8_t b[128] = {};
    ASSERT_EQ(engine_.open(b, path, o.owner), o.status) << o.owner;
    if (o.status) continue;
    EXPECT_EQ(engine_.fetch(12, b, 0).status, 0);
    EXPECT_EQ(engine_.insert(b, rec("BBBB" + std::string(o.owner) + "____", "", 40)), o.insertStatus) << o.owner;
    ASSERT_EQ(engine_.close(b), 0);
  }
  ASSERT_EQ(engine_.open(block_, path, "Secret1"), 0);
  ASSERT_EQ(engine_.call(30, block_, {}, 0, {}, 0).status, 0);
  ASSERT_EQ(engine_.close(block_), 0);
  EXPECT_EQ(engine_.open(block_, path, ""), 0);
  EXPECT_EQ(engine_.insert(block_, rec("CCCCcccc", "", 40)), 0) << "cleared: full access";
}

TEST_P(FileOperationsTest, MiscDataBlockIsKeptInTheFile) {
  const std::string path = dir_.file("BOUND.MKD");
  ASSERT_EQ(engine_.create(path, richFile()), 0);
  ASSERT_EQ(engine_.open(block_, path), 0);
  Answer none = engine_.call(41, block_, {}, 256, {}, -128);
  ASSERT_EQ(none.status, 0);
  EXPECT_TRUE(none.data.empty() || none.data[0] == 0);
  Bytes blockData(256);
  for (int i = 0; i < 256; ++i) blockData[i] = uint8_t(255 - i);
  putLE(blockData.data(), 700, 4);
  ASSERT_EQ(engine_.call(41, block_, blockData, 256, {}, 0).status, 0);
  ASSERT_EQ(engine_.close(block_), 0);
  ASSERT_EQ(engine_.open(block_, path), 0);
  Answer back = engine_.call(41, block_, {}, 256, {}, -128);
  ASSERT_EQ(back.status, 0);
  EXPECT_TRUE(back.data == blockData);
  ASSERT_EQ(engine_.call(41, block_, {}, 0, {}, 0).status, 0);
  back = engine_.call(41, block_, {}, 256, {}, -128);
  ASSERT_EQ(back.status, 0);
  EXPECT_TRUE(back.data.empty());
}

TEST_P(FileOperationsTest, VersionAnswersThreeEntriesOfAtLeast1410) {
  Answer v = engine_.call(26, block_, {}, 15, {}, 0);
  ASSERT_EQ(v.status, 0);
  ASSERT_EQ(v.data.size(), 15u);
  for (int entry : {0, 2}) {
    const uint64_t major = little(v.data.data() + 5 * entry, 2), minor = little(v.data.data() + 5 * entry + 2, 2);
    EXPECT_TRUE(major > 14 || (major == 14 && minor >= 10)) << entry;
  }
  EXPECT_EQ(engine_.call(26, block_, {}, 10, {}, 0).data.size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Entries, FileOperationsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Standard"; });

}  // namespace
}  // namespace vorlan::rm::testing

namespace vorlan::rm::testing {
namespace {

TEST(PositionsTest, StayStableAcrossReopenAndAreNeverReused) {
  vorlan::testing::TempDir dir;
  Engine engine(true);
  const std::string path = dir.file("POS.MKD");
  ASSERT_EQ(engine.create(path, definition(8, 0, {key(1, 4, kTypeString)})), 0);
  uint8_t block[128] = {};
  ASSERT_EQ(engine.open(block, path), 0);
  std::vector<uint64_t> positions;
  for (const char* r : {"AAAA1111", "BBBB2222", "CCCC3333"}) {
    ASSERT_EQ(engine.insert(block, std::string(r)), 0);
    positions.push_back(engine.position(block));
  }
  ASSERT_EQ(engine.call(4, block, {}, 0, {}, 0).status, 0);  // the last one
  ASSERT_EQ(engine.close(block), 0);
  ASSERT_EQ(engine.reset(), 0);

  ASSERT_EQ(engine.open(block, path), 0);
  EXPECT_EQ(text(engine.direct(block, positions[0], 0).data), "AAAA1111");
  EXPECT_EQ(text(engine.direct(block, positions[1], 0).data), "BBBB2222");
  EXPECT_EQ(engine.direct(block, positions[2], 0).status, 43);
  ASSERT_EQ(engine.insert(block, std::string("DDDD4444")), 0);
  EXPECT_GT(engine.position(block), positions[2]) << "a deleted record's position is not given again";
  // Get Direct makes the record current on the key given.
  ASSERT_EQ(engine.direct(block, positions[0], 0).status, 0);
  EXPECT_EQ(text(engine.fetch(6, block, 0).data), "BBBB2222");
  engine.reset();
}

}  // namespace
}  // namespace vorlan::rm::testing
