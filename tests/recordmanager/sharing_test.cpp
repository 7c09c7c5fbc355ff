// Files shared between processes: exclusive opens keep others out and are
// kept out, acknowledged writes survive exit and SIGTERM, two writers at
// once both succeed, and a writer killed with SIGKILL leaves a sound file.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "recordmanager/engine_fixture.h"
#include "recordmanager/os_services.h"
#include "recordmanager/record_manager_control.h"

namespace vorlan::rm::testing {
namespace {

constexpr uint16_t kLength = 64;

FileDefinition sharedFile() {
  return definition(kLength, kFileSystemData, {key(1, 8, kTypeUnsigned), key(9, 4, kTypeString, kKeyDuplicates)});
}

// A record whose every byte follows from its id, so a torn one shows.
Bytes idRecord(uint64_t id) {
  Bytes r(kLength);
  putLE(r.data(), id, 8);
  for (int i = 8; i < kLength; ++i) r[i] = uint8_t((id * 31 + i) & 0xFF);
  return r;
}

bool isWhole(const Bytes& r) { return r.size() == kLength && r == idRecord(little(r.data(), 8)); }

// Runs `body` in a child process; its return value is the exit status
// (`body` may also end the process itself).
pid_t spawn(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int exitStatus(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

uint64_t recordCount(Engine& engine, uint8_t* block) {
  Answer s = engine.call(15, block, {}, 4096, {}, -1);
  EXPECT_EQ(s.status, 0);
  return little(s.data.data() + 6, 4);
}

class SharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("SHARED.MKD");
    ASSERT_EQ(engine_.create(path_, sharedFile()), 0);
  }
  void TearDown() override { engine_.reset(); }
  vorlan::testing::TempDir dir_;
  Engine engine_;
  std::string path_;
  uint8_t block_[128] = {};
};

TEST_F(SharingTest, ExclusiveOpensKeepOthersOutAndAreKeptOut) {
  // Status of an open by another process in the given mode.
  auto otherOpens = [this](int mode) {
    return exitStatus(spawn([this, mode] {
      Engine e;
      uint8_t b[128] = {};
      const int s = e.open(b, path_, "", mode);
      e.reset();
      return s;
    }));
  };
  const struct {
    int ourMode;
    int theirMode;
    int status;
  } cases[] = {{-4, 0, 85}, {-4, -4, 85}, {0, -4, 88}, {0, 0, 0}, {-2, 0, 0}};
  for (const auto& c : cases) {
    ASSERT_EQ(engine_.open(block_, path_, "", c.ourMode), 0);
    EXPECT_EQ(otherOpens(c.theirMode), c.status) << c.ourMode << " then " << c.theirMode;
    ASSERT_EQ(engine_.close(block_), 0);
  }
  EXPECT_EQ(otherOpens(-4), 0) << "free again once closed";
  // Within one process the same rules hold between position blocks.
  uint8_t second[128] = {};
  ASSERT_EQ(engine_.open(block_, path_, "", -4), 0);
  EXPECT_EQ(engine_.open(second, path_), 85);
  ASSERT_EQ(engine_.close(block_), 0);
  ASSERT_EQ(engine_.open(block_, path_), 0);
  EXPECT_EQ(engine_.open(second, path_, "", -4), 88);
  // A process that dies holding the file releases it.
  EXPECT_EQ(exitStatus(spawn([this] {
              Engine e;
              uint8_t b[128] = {};
              e.open(b, path_, "", -4);
              raise(SIGKILL);
              return 0;
            })),
            128 + SIGKILL);
  ASSERT_EQ(engine_.close(block_), 0);
  EXPECT_EQ(engine_.open(block_, path_, "", -4), 0);
}

TEST_F(SharingTest, AcknowledgedWritesSurviveExitAndSignals) {
  // Each child inserts 500 records and ends without Close: by exit(), by
  // SIGTERM to itself (the engine's handler commits, then the default
  // action ends it), the same during an engine call, or by SIGINT with a handler of its own that asks the
  // engine to commit before it ends the process.
  const struct {
    const char* how;
    int expected;
  } ends[] = {{"exit", 0}, {"sigterm", 128 + SIGTERM}, {"sigterm in a call", 128 + SIGTERM}, {"sigint", 7}};
  uint64_t total = 0;
  for (const auto& end : ends) {
    const std::string how = end.how;
    const pid_t pid = spawn([this, how, total] {
      Engine e;
      uint8_t b[128] = {};
      if (e.open(b, path_) != 0) return 90;
      if (how == "sigint") {
        std::signal(SIGINT, [](int) {
          flushEngine();
          _exit(7);
        });
      }
      for (uint64_t id = total; id < total + 500; ++id)
        if (e.insert(b, idRecord(id)) != 0) return 91;
      if (how == "exit") std::exit(0);
      if (how == "sigterm in a call") {
        // Arriving while the engine works: acted on when the call ends.
        os::enterEngine();
        raise(SIGTERM);
        os::leaveEngine();
        return 93;
      }
      raise(how == "sigterm" ? SIGTERM : SIGINT);
      return 92;
    });
    EXPECT_EQ(exitStatus(pid), end.expected) << end.how;
    total += 500;
    ASSERT_EQ(engine_.open(block_, path_), 0);
    EXPECT_EQ(recordCount(engine_, block_), total) << end.how;
    ASSERT_EQ(engine_.close(block_), 0);
  }
}

TEST_F(SharingTest, TwoWritersAtOnceBothSucceed) {
  ASSERT_EQ(engine_.open(block_, path_), 0);
  const pid_t pid = spawn([this] {
    Engine e;
    uint8_t b[128] = {};
    if (e.open(b, path_) != 0) return 90;
    for (uint64_t id = 100000; id < 103000; ++id) {
      const int s = e.insert(b, idRecord(id));
      if (s != 0) return s;
      if (id % 100 == 0 && e.fetch(12, b, 0).status != 0) return 93;
    }
    e.reset();
    return 0;
  });
  for (uint64_t id = 0; id < 3000; ++id) {
    ASSERT_EQ(engine_.insert(block_, idRecord(id)), 0) << id;
    if (id % 100 == 0) {
      ASSERT_EQ(engine_.fetch(13, block_, 0).status, 0);
    }
  }
  EXPECT_EQ(exitStatus(pid), 0);
  EXPECT_EQ(recordCount(engine_, block_), 6000u);
  uint64_t seen = 0;
  for (Answer a = engine_.fetch(12, block_, 0); a.status == 0; a = engine_.fetch(6, block_, 0)) {
    ASSERT_TRUE(isWhole(a.data));
    ++seen;
  }
  EXPECT_EQ(seen, 6000u);
}

TEST_F(SharingTest, WritersCrossingTwoFilesDoNotWaitForEachOther) {
  // Each process holds a bundle on one file and then writes to the other.
  const std::string second = dir_.file("SECOND.MKD");
  ASSERT_EQ(engine_.create(second, sharedFile()), 0);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  uint8_t other[128] = {};
  ASSERT_EQ(engine_.open(block_, path_), 0);
  ASSERT_EQ(engine_.open(other, second), 0);
  ASSERT_EQ(engine_.insert(block_, idRecord(1)), 0);  // our bundle on the first file
  const pid_t pid = spawn([&] {
    close(ready[0]);
    Engine e;
    uint8_t first[128] = {}, mine[128] = {};
    if (e.open(first, path_) != 0 || e.open(mine, second) != 0) return 90;
    if (e.insert(mine, idRecord(2)) != 0) return 91;  // its bundle on the second
    const char go = 'g';
    if (write(ready[1], &go, 1) != 1) return 92;
    const int s = e.insert(first, idRecord(3));
    e.reset();
    return s;
  });
  close(ready[1]);
  char go = 0;
  ASSERT_EQ(read(ready[0], &go, 1), 1);
  close(ready[0]);
  EXPECT_EQ(engine_.insert(other, idRecord(4)), 0);
  EXPECT_EQ(exitStatus(pid), 0);
  EXPECT_EQ(recordCount(engine_, block_), 2u);
  EXPECT_EQ(recordCount(engine_, other), 2u);
}

TEST_F(SharingTest, WriterKilledMidStreamLeavesASoundFile) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = spawn([this, &ready] {
    close(ready[0]);
    setBundleTimeLimit(std::chrono::milliseconds(50));
    Engine e;
    uint8_t b[128] = {};
    if (e.open(b, path_) != 0) return 90;
    for (uint64_t id = 1;; ++id) {
      if (e.insert(b, idRecord(id)) != 0) return 91;
      if (id == 20000) {
        const char go = 'g';
        if (write(ready[1], &go, 1) != 1) return 92;
      }
    }
  });
  close(ready[1]);
  char go = 0;
  ASSERT_EQ(read(ready[0], &go, 1), 1);
  close(ready[0]);
  kill(pid, SIGKILL);
  EXPECT_EQ(exitStatus(pid), 128 + SIGKILL);

  // SQLite's own check of the file.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);

  // The engine opens it; every record is whole, found on both keys, and
  // the ids run without a gap from 1 (bundles are lost whole or kept whole).
  ASSERT_EQ(engine_.open(block_, path_), 0);
  const uint64_t count = recordCount(engine_, block_);
  EXPECT_GT(count, 0u);
  uint64_t expectedId = 1;
  for (Answer a = engine_.fetch(12, block_, 0); a.status == 0; a = engine_.fetch(6, block_, 0)) {
    ASSERT_TRUE(isWhole(a.data));
    ASSERT_EQ(little(a.data.data(), 8), expectedId++);
  }
  EXPECT_EQ(expectedId - 1, count);
  uint64_t onKey1 = 0;
  for (Answer a = engine_.fetch(12, block_, 1); a.status == 0; a = engine_.fetch(6, block_, 1)) ++onKey1;
  EXPECT_EQ(onKey1, count);
  EXPECT_EQ(engine_.insert(block_, idRecord(count + 1)), 0) << "and takes new records";
}

}  // namespace
}  // namespace vorlan::rm::testing
