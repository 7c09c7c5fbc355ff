// The fault-injecting test engine loaded into this process: its rules change
// the answers they name and no others, and a malformed rule stops the
// process with a message instead of running without its faults.
#include <gtest/gtest.h>

#include <cstdlib>

#include "btfile/client_library.h"
#include "support/process.h"

namespace vorlan::testing {
namespace {

using Reload = void (*)();

class TestEngineTest : public ::testing::Test {
 protected:
  static ClientLibrary& library() {
    static ClientLibrary lib(TESTENGINE_LIB);
    return lib;
  }
  // Sets the rules and makes the library read them again.
  static void useRules(const char* rules) {
    if (rules) setenv("VORLAN_TEST_ENGINE", rules, 1);
    else unsetenv("VORLAN_TEST_ENGINE");
    reinterpret_cast<Reload>(library().symbol("vorlanTestEngineReload"))();
  }
  void SetUp() override {
    ASSERT_NE(library().btrcall, nullptr) << dlerror();
    ASSERT_NE(library().symbol("vorlanTestEngineReload"), nullptr);
    useRules(nullptr);
  }
  void TearDown() override { useRules(nullptr); }

  struct Version {
    int status;
    uint32_t length;
    uint8_t bytes[15];
  };
  Version version(bool wide) {
    Version v{};
    uint8_t block[128] = {};
    uint8_t key[256] = {};
    v.length = sizeof v.bytes;
    v.status = wide ? library().btrvex(26, block, v.bytes, &v.length, key, 255, 0)
                    : library().btrcall(26, block, v.bytes, &v.length, key, 255, 0);
    return v;
  }
  static int entry(const Version& v, int i, int part) {  // part 0 major, 1 minor, 2 letter
    const uint8_t* e = v.bytes + 5 * i;
    return part == 0 ? e[0] | e[1] << 8 : part == 1 ? e[2] | e[3] << 8 : e[4];
  }
};

TEST_F(TestEngineTest, VersionRuleRewritesTheAnswer) {
  Version real = version(false);
  ASSERT_EQ(real.status, 0);
  ASSERT_EQ(real.length, 15u);

  useRules("version=13.29,0.0,14.09T");
  for (bool wide : {false, true}) {
    Version v = version(wide);
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.length, 15u);
    EXPECT_EQ(entry(v, 0, 0), 13);
    EXPECT_EQ(entry(v, 0, 1), 29);
    EXPECT_EQ(entry(v, 0, 2), entry(real, 0, 2));  // letter kept
    EXPECT_EQ(entry(v, 1, 0), 0);
    EXPECT_EQ(entry(v, 2, 0), 14);
    EXPECT_EQ(entry(v, 2, 1), 9);
    EXPECT_EQ(entry(v, 2, 2), 'T');
  }
  // Fewer entries, a shorter answer; a fault rule on Version applies after.
  useRules("version=14.10,14.10; op=26,nth=2,status=20");
  Version two = version(false);
  EXPECT_EQ(two.status, 0);
  EXPECT_EQ(two.length, 10u);
  EXPECT_EQ(entry(two, 1, 1), 10);
  EXPECT_EQ(version(false).status, 20);
  EXPECT_EQ(version(false).status, 0);
}

TEST_F(TestEngineTest, FaultRulesChangeOnlyTheCallsTheyMatch) {
  TempDir dir;
  const std::string path = dir.file("faults.mkd");
  LibraryFile file(library());
  ASSERT_EQ(file.create(path, 8), 0);
  ASSERT_EQ(file.open(path), 0);
  for (int32_t value : {1, 2, 3}) ASSERT_EQ(file.insert(value, 8), 0);
  uint8_t record[64] = {};
  uint32_t length = sizeof record;
  ASSERT_EQ(file.call(12, record, &length, 0), 0);
  uint8_t position[4] = {};
  uint32_t positionLength = 4;
  ASSERT_EQ(file.call(22, position, &positionLength, 0), 0);

  // Get Direct by position: the second matching call fails with status 2,
  // through either entry; the key filter keeps other key numbers out.
  useRules("op=23,key=0,nth=2,status=2");
  auto getDirect = [&](bool wide, int keyNumber) {
    uint8_t buffer[64] = {};
    std::memcpy(buffer, position, 4);
    uint32_t len = sizeof buffer;
    return wide ? file.wide(23, buffer, &len, keyNumber) : file.call(23, buffer, &len, keyNumber);
  };
  EXPECT_EQ(getDirect(false, 0), 0);
  EXPECT_EQ(getDirect(false, 1), 6);  // not matched: the engine's own answer (no key 1)
  EXPECT_EQ(getDirect(false, 0), 2);
  EXPECT_EQ(getDirect(false, 0), 0);

  // from=N and entry=: every wide call from the second on.
  useRules("entry=wide,op=23,from=2,status=84");
  EXPECT_EQ(getDirect(true, 0), 0);
  EXPECT_EQ(getDirect(false, 0), 0);
  EXPECT_EQ(getDirect(true, 0), 84);
  EXPECT_EQ(getDirect(true, 0), 84);

  // Length and bytes of the answer, bounded by the buffers.
  useRules("op=12,length=5,data=1:ABCD,keybuf=0:EE");
  length = sizeof record;
  ASSERT_EQ(file.call(12, record, &length, 0), 0);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(record[0], 1);
  EXPECT_EQ(record[1], 0xAB);
  EXPECT_EQ(record[2], 0xCD);
  EXPECT_EQ(file.key[0], 0xEE);
  useRules("op=12,data=6:01020304");
  record[6] = record[7] = record[8] = 0x77;
  length = 8;
  ASSERT_EQ(file.call(12, record, &length, 0), 0);
  EXPECT_EQ(record[7], 0x02);
  EXPECT_EQ(record[8], 0x77);  // past the 8 bytes offered: not written

  // A skipped Insert answers its status without reaching the file.
  useRules("op=2,skip,status=0;op=2,nth=2,status=5,skip");
  EXPECT_EQ(file.insert(4, 8), 0);
  EXPECT_EQ(file.insert(5, 8), 5);
  useRules(nullptr);
  uint8_t stat[1024] = {};
  uint32_t statLength = sizeof stat;
  ASSERT_EQ(file.wide(15, stat, &statLength, -1), 0);
  EXPECT_EQ(stat[8], 3);  // still the three records
  EXPECT_EQ(file.close(), 0);
}

TEST_F(TestEngineTest, MalformedRulesAbortWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* rules[] = {
      "op=23,status",          // a setting without its value
      "op=x,status=2",         // not a number
      "key=1,status=2",        // no operation
      "op=23",                 // changes nothing
      "op=23,nth=1,from=2,skip",
      "op=23,data=1:ABC",      // odd number of digits
      "op=23,colour=red,skip",
      "version=13",            // no minor version
      "version=1.0,2.0,3.0,4.0",
      "entry=both,op=2,skip",
  };
  for (const char* rule : rules) {
    SCOPED_TRACE(rule);
    EXPECT_DEATH(useRules(rule), "vorlantestengine: bad VORLAN_TEST_ENGINE: rule 1 ");
  }
}

// Vorlan loading the test engine through VORLAN_ENGINE: the Version rule
// decides which entry and which delete the run will use, and a malformed
// rule stops the run before any work.
TEST(TestEngineProcessTest, VorlanSeesTheRewrittenVersion) {
  TempDir dir;
  const std::string file = dir.file("v.mkd");
  ProcessResult made = runProcess({BTFILE_BIN, "create", file, "--record-length", "8", "--system-data"});
  ASSERT_EQ(made.status, 0) << made.err;
  struct Case {
    const char* rules;
    const char* probeLine;
  };
  const Case cases[] = {
      {"version=13.30,0.0,14.10", "BtrvEx IS available, DeleteExtended IS available!\n"},
      {"version=13.29,0.0,14.09", "BtrvEx IS NOT available, DeleteExtended IS NOT available!\n"},
      {"version=14.0,14.10", "BtrvEx IS available, DeleteExtended IS NOT available!\n"},  // 10 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    ProcessResult r = runVorlanProcess({"-SAVE", file, dir.file("v.unf"), "0", "/D"},
                                       withEnvironment({{"VORLAN_ENGINE", TESTENGINE_LIB},
                                                        {"VORLAN_TEST_ENGINE", c.rules}}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(c.probeLine), std::string::npos) << r.err;
  }
  ProcessResult bad = runVorlanProcess({"-SAVE", file, dir.file("v.unf"), "0"},
                                       withEnvironment({{"VORLAN_ENGINE", TESTENGINE_LIB},
                                                        {"VORLAN_TEST_ENGINE", "op=15,stauts=2"}}));
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("vorlantestengine: bad VORLAN_TEST_ENGINE: rule 1 \"op=15,stauts=2\": unknown setting"),
            std::string::npos)
      << bad.err;
  EXPECT_EQ(bad.out, "");
}

}  // namespace
}  // namespace vorlan::testing
