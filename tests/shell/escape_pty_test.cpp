// A record loop's Escape test on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "shell/progress.h"
#include "support/terminal.h"

namespace vorlan {
namespace {

TEST(EscapeKey, StopsALoopOnAPseudoTerminal) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A loop shaped like the record loops: spinner, then the Escape test.
    (void)userRequestedStop();  // the console is set up on first use
    fputs("ready\n", stderr);
    for (int i = 0; i < 20000; ++i) {
      if (i % 200 == 0) spinnerStep();
      if (userRequestedStop()) {
        reportUserStop();
        _exit(1);
      }
      usleep(500);
    }
    _exit(0);
  }
  using testing::readTerminalUntil;
  std::string seen = readTerminalUntil(master, "ready");
  ASSERT_NE(seen.find("ready"), std::string::npos);
  // Another key and an arrow key are swallowed; then the Escape press stops it.
  ASSERT_EQ(write(master, "q", 1), 1);
  ASSERT_EQ(write(master, "\x1b[A", 3), 3);
  usleep(200000);
  ASSERT_EQ(write(master, "\x1b", 1), 1);
  seen = readTerminalUntil(master, "Vorlan Terminated by the User.", seen);
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  EXPECT_NE(seen.find("Vorlan Terminated by the User."), std::string::npos) << seen;
  EXPECT_EQ(seen.find('q'), std::string::npos) << "keys must not be echoed: " << seen;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace vorlan
