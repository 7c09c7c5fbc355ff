// The console keyboard on a real pseudo-terminal: each test runs the key
// calls in a child process whose standard input and controlling terminal is
// the slave side, types on the master side, and checks the terminal's
// attributes after the child is gone.
#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vorlan::platform {
namespace {

// Bounds every wait on the child, so that a fault fails the test instead of
// hanging it; nothing is measured.
constexpr int kPatienceMs = 10000;

void report(int fd, int value) {
  if (write(fd, &value, sizeof value) != sizeof value) _exit(90);
}

bool nextReport(int fd, int* value) {
  pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, kPatienceMs) <= 0) return false;
  return read(fd, value, sizeof *value) == sizeof *value;
}

// Waits for the child to end; kills it when it does not.
int reap(pid_t pid) {
  int status = 0;
  for (int waited = 0; waited < kPatienceMs; waited += 10) {
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  ADD_FAILURE() << "child process did not end";
  return status;
}

struct PtyChild {
  pid_t pid = -1;
  int master = -1;
  int slave = -1;  // kept open here to read the attributes afterwards
  int reports = -1;
  termios before = {};

  ~PtyChild() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    for (int fd : {master, slave, reports})
      if (fd >= 0) ::close(fd);
  }
};

// Starts body(reportFd) in a child on a new pseudo-terminal. The body ends
// the child itself.
template <typename Body>
bool startOnTerminal(PtyChild& child, Body body) {
  if (openpty(&child.master, &child.slave, nullptr, nullptr, nullptr) != 0) return false;
  if (tcgetattr(child.slave, &child.before) != 0) return false;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  std::fflush(nullptr);
  child.pid = fork();
  if (child.pid < 0) return false;
  if (child.pid == 0) {
    ::close(child.master);
    ::close(pipeFds[0]);
    if (setsid() < 0 || ioctl(child.slave, TIOCSCTTY, 0) != 0) _exit(91);
    if (dup2(child.slave, STDIN_FILENO) < 0) _exit(92);
    ::close(child.slave);
    body(pipeFds[1]);
    _exit(93);
  }
  ::close(pipeFds[1]);
  child.reports = pipeFds[0];
  return true;
}

void expectSameAttributes(const termios& want, const termios& got) {
  EXPECT_EQ(got.c_iflag, want.c_iflag);
  EXPECT_EQ(got.c_oflag, want.c_oflag);
  EXPECT_EQ(got.c_cflag, want.c_cflag);
  EXPECT_EQ(got.c_lflag, want.c_lflag);
  EXPECT_EQ(0, std::memcmp(got.c_cc, want.c_cc, sizeof got.c_cc));
}

void expectKeyMode(int slave) {
  termios now;
  ASSERT_EQ(tcgetattr(slave, &now), 0);
  EXPECT_EQ(now.c_lflag & ICANON, 0u);
  EXPECT_EQ(now.c_lflag & ECHO, 0u);
  EXPECT_NE(now.c_lflag & ISIG, 0u);  // Ctrl-C still interrupts
}

struct Typed {
  std::string bytes;
  std::vector<int> keys;
};

const std::vector<Typed>& typedCases() {
  static const std::vector<Typed> cases = {
      {"\x1b", {kKeyEscape}},
      {"\x1b[A", {kKeySequence}},          // cursor up
      {"a", {'a'}},
      {"\x1bOP", {kKeySequence}},          // F1
      {"\x1b[15~x", {kKeySequence, 'x'}},  // F5, then a plain key
      {"\x1b[1;5C", {kKeySequence}},       // Ctrl+Right
      {"\x1b\x1b", {kKeyEscape, kKeyEscape}},
      {"\x1bq", {kKeyEscape, 'q'}},
  };
  return cases;
}

TEST(Console, KeysOnATerminal) {
  size_t keyCount = 0;
  for (const Typed& t : typedCases()) keyCount += t.keys.size();

  PtyChild child;
  ASSERT_TRUE(startOnTerminal(child, [keyCount](int out) {
    report(out, keyWaiting() ? 1 : 0);  // nothing typed yet
    for (size_t i = 0; i < keyCount; ++i) {
      for (int waited = 0; !keyWaiting(); ++waited) {
        if (waited > kPatienceMs) _exit(94);
        usleep(1000);
      }
      report(out, readKey());
    }
    std::exit(0);  // the terminal comes back through the exit handler
  }));

  int value = -1;
  ASSERT_TRUE(nextReport(child.reports, &value));
  EXPECT_EQ(value, 0);
  expectKeyMode(child.slave);

  for (const Typed& t : typedCases()) {
    ASSERT_EQ(write(child.master, t.bytes.data(), t.bytes.size()),
              static_cast<ssize_t>(t.bytes.size()));
    for (int want : t.keys) {
      ASSERT_TRUE(nextReport(child.reports, &value));
      EXPECT_EQ(value, want) << "typed " << ::testing::PrintToString(t.bytes);
    }
  }
  // Nothing was echoed back to the terminal.
  pollfd p = {child.master, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 0), 0);

  int status = reap(child.pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  termios after;
  ASSERT_EQ(tcgetattr(child.slave, &after), 0);
  expectSameAttributes(child.before, after);
}

int g_handlerReports = -1;
extern "C" void ownHandler(int) {
  report(g_handlerReports, 77);
  _exit(42);
}

// A fatal signal puts the terminal back; a handler the program installed
// earlier (the record manager flushing its files) still runs afterwards.
TEST(Console, FatalSignalsRestoreTheTerminal) {
  struct Case {
    int sig;
    bool ownHandlerFirst;
    bool typedOnTerminal;  // sent as Ctrl-C through the terminal
  };
  const Case cases[] = {
      {SIGTERM, false, false},
      {SIGHUP, false, false},
      {SIGTERM, true, false},
      {SIGINT, true, true},
      {SIGQUIT, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(strsignal(c.sig) + std::string(c.ownHandlerFirst ? ", own handler" : ""));
    PtyChild child;
    ASSERT_TRUE(startOnTerminal(child, [c](int out) {
      if (c.ownHandlerFirst) {
        g_handlerReports = out;
        signal(c.sig, ownHandler);
      }
      report(out, keyWaiting() ? 1 : 0);
      for (;;) pause();
    }));
    int value = -1;
    ASSERT_TRUE(nextReport(child.reports, &value));
    expectKeyMode(child.slave);

    if (c.typedOnTerminal) {
      ASSERT_EQ(write(child.master, "\x03", 1), 1);
    } else {
      ASSERT_EQ(kill(child.pid, c.sig), 0);
    }
    int status = reap(child.pid);
    if (c.ownHandlerFirst) {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 42);
      ASSERT_TRUE(nextReport(child.reports, &value));
      EXPECT_EQ(value, 77);
    } else {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), c.sig);
    }
    termios after;
    ASSERT_EQ(tcgetattr(child.slave, &after), 0);
    expectSameAttributes(child.before, after);
  }
}

// With standard input redirected, no key is ever waiting and the input is
// left alone.
TEST(Console, NoKeysWithoutATerminal) {
  int input[2], reports[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(pipe(reports), 0);
  ASSERT_EQ(write(input[1], "\x1b", 1), 1);
  std::fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(reports[0]);
    if (dup2(input[0], STDIN_FILENO) < 0) _exit(92);
    fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
    report(reports[1], keyWaiting() ? 1 : 0);
    report(reports[1], readKey());
    unsigned char left = 0;
    report(reports[1], read(STDIN_FILENO, &left, 1) == 1 ? left : -1);
    _exit(0);
  }
  ::close(reports[1]);
  ::close(input[0]);
  ::close(input[1]);
  int waiting = -1, key = 0, left = 0;
  EXPECT_TRUE(nextReport(reports[0], &waiting));
  EXPECT_TRUE(nextReport(reports[0], &key));
  EXPECT_TRUE(nextReport(reports[0], &left));
  ::close(reports[0]);
  EXPECT_EQ(waiting, 0);
  EXPECT_EQ(key, -1);
  EXPECT_EQ(left, 0x1b);  // still there: nothing was read
  int status = reap(pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace vorlan::platform
