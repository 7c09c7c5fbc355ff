// Console keyboard on POSIX terminals.
//
// The first keyboard call puts standard input, when it is the terminal of a
// foreground process, in non-canonical mode without echo, so that one key
// press is readable at once. The saved attributes come back at exit and on
// SIGINT, SIGTERM, SIGHUP and SIGQUIT; a handler that was installed for one
// of these before us is called after the restore, otherwise the default
// action is put back and the signal raised again.
#include "platform/console.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vorlan::platform {
namespace {

// How long a byte after ESC may take to arrive and still belong to the same
// key press. Terminals send a whole sequence in one write, so a short wait
// is enough and keeps a lone Escape prompt.
constexpr int kSequenceWaitMs = 25;
// Upper bound on the bytes of one escape sequence; anything longer is
// broken input and ends the sequence.
constexpr int kMaxSequenceBytes = 32;

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kSignalCount = sizeof(kFatalSignals) / sizeof(kFatalSignals[0]);

// Read by the signal handler: set once before the terminal is first changed.
termios g_original;
// True while the terminal is in our mode (the handler restores only then).
volatile sig_atomic_t g_modified = 0;
struct sigaction g_previous[kSignalCount];

bool g_checked = false;   // standard input examined
bool g_terminal = false;  // standard input is a usable terminal

// A byte read while looking for the end of a key press that belongs to the
// next one.
int g_pending[4];
int g_pendingCount = 0;

// Async-signal-safe: only tcsetattr and sigprocmask.
void restoreTerminal() {
  if (!g_modified) return;
  // Restoring from a background process group would stop the process with
  // SIGTTOU; the saved attributes must go back regardless.
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGTTOU);
  sigprocmask(SIG_BLOCK, &block, &old);
  tcsetattr(STDIN_FILENO, TCSANOW, &g_original);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  g_modified = 0;
}

extern "C" void onFatalSignal(int sig, siginfo_t* info, void* context) {
  restoreTerminal();
  for (int i = 0; i < kSignalCount; ++i) {
    if (kFatalSignals[i] != sig) continue;
    const struct sigaction& previous = g_previous[i];
    if (previous.sa_flags & SA_SIGINFO) {
      if (previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(sig, info, context);
        return;
      }
    } else if (previous.sa_handler != SIG_DFL &&
               previous.sa_handler != SIG_IGN) {
      previous.sa_handler(sig);
      return;
    }
    break;
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(sig, &fallback, nullptr);
  // Blocked while this handler runs; delivered with the default action as
  // soon as it returns.
  raise(sig);
}

extern "C" void restoreAtExit() { restoreTerminal(); }

void installHooks() {
  atexit(restoreAtExit);
  struct sigaction action = {};
  action.sa_sigaction = onFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int sig : kFatalSignals) sigaddset(&action.sa_mask, sig);
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction current;
    if (sigaction(kFatalSignals[i], nullptr, &current) != 0) continue;
    // A signal the process was told to ignore (nohup) stays ignored.
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN)
      continue;
    g_previous[i] = current;
    sigaction(kFatalSignals[i], &action, nullptr);
  }
}

// Makes sure standard input is in key-press mode; false when it is not a
// terminal we may use.
bool ensureKeyMode() {
  if (!g_checked) {
    g_checked = true;
    g_terminal = isatty(STDIN_FILENO) == 1 &&
                 tcgetpgrp(STDIN_FILENO) == getpgrp() &&
                 tcgetattr(STDIN_FILENO, &g_original) == 0;
    if (g_terminal) installHooks();
  }
  if (!g_terminal) return false;
  if (!g_modified) {
    termios keys = g_original;
    keys.c_lflag &= ~(ICANON | ECHO | ECHONL);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    // Marked first: a signal arriving during the change restores the
    // original, which is harmless.
    g_modified = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0) {
      g_modified = 0;
      g_terminal = false;
      return false;
    }
  }
  return true;
}

bool byteArrives(int timeoutMs) {
  pollfd p = {STDIN_FILENO, POLLIN, 0};
  for (;;) {
    int r = poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    return r > 0 && (p.revents & POLLIN) != 0;
  }
}

// The next byte of input: waits up to timeoutMs (-1: as long as it takes);
// -1 when none came or the terminal is gone.
int nextByte(int timeoutMs) {
  if (g_pendingCount > 0) {
    int c = g_pending[0];
    for (int i = 1; i < g_pendingCount; ++i) g_pending[i - 1] = g_pending[i];
    --g_pendingCount;
    return c;
  }
  if (timeoutMs >= 0 && !byteArrives(timeoutMs)) return -1;
  for (;;) {
    unsigned char b;
    ssize_t n = read(STDIN_FILENO, &b, 1);
    if (n == 1) return b;
    if (n < 0 && errno == EINTR) continue;
    return -1;
  }
}

void pushBack(int c) {
  if (g_pendingCount < static_cast<int>(sizeof(g_pending) / sizeof(g_pending[0])))
    g_pending[g_pendingCount++] = c;
}

// After ESC [: parameter bytes 0x30-0x3F, intermediate bytes 0x20-0x2F, one
// final byte 0x40-0x7E. The Linux console's F1-F5 are ESC [ [ A..E.
void skipControlSequence() {
  for (int i = 0; i < kMaxSequenceBytes; ++i) {
    int c = nextByte(kSequenceWaitMs);
    if (c < 0) return;
    if (i == 0 && c == '[') {
      c = nextByte(kSequenceWaitMs);
      if (c >= 0 && (c < 0x40 || c > 0x7E)) pushBack(c);
      return;
    }
    if (c >= 0x40 && c <= 0x7E) return;
    if (c < 0x20 || c > 0x3F) {
      pushBack(c);  // not part of a sequence: the next key press
      return;
    }
  }
}

}  // namespace

bool keyWaiting() {
  if (!ensureKeyMode()) return false;
  if (g_pendingCount > 0) return true;
  return byteArrives(0);
}

int readKey() {
  if (!ensureKeyMode()) return -1;
  int c = nextByte(-1);
  if (c != kKeyEscape) return c;
  int next = nextByte(kSequenceWaitMs);
  if (next < 0) return kKeyEscape;
  if (next == '[') {
    skipControlSequence();
    return kKeySequence;
  }
  if (next == 'O') {  // SS3: ESC O and one byte (F1-F4, keypad arrows)
    int last = nextByte(kSequenceWaitMs);
    if (last >= 0 && (last < 0x20 || last > 0x7E)) pushBack(last);
    return kKeySequence;
  }
  // Escape followed quickly by another key: two presses.
  pushBack(next);
  return kKeyEscape;
}

void restoreConsole() { restoreTerminal(); }

}  // namespace vorlan::platform
