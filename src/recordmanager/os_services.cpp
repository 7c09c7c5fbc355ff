// POSIX implementation of the record manager's operating-system services.
#include "recordmanager/os_services.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vorlan::rm::os {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = 3;

void (*flushRoutine)() = nullptr;
struct sigaction previousActions[kSignalCount];
std::atomic<int> engineDepth{0};
std::atomic<int> pendingSignal{0};

int signalIndex(int sig) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == sig) return i;
  return -1;
}

// Passes the signal on: to the handler installed before ours, or to the
// default action.
void chainSignal(int sig, siginfo_t* info, void* context) {
  const int index = signalIndex(sig);
  if (index < 0) return;
  const struct sigaction& previous = previousActions[index];
  if (previous.sa_flags & SA_SIGINFO) {
    if (previous.sa_sigaction) previous.sa_sigaction(sig, info, context);
    return;
  }
  if (previous.sa_handler == SIG_IGN) return;
  if (previous.sa_handler == SIG_DFL) {
    sigaction(sig, &previous, nullptr);
    kill(getpid(), sig);  // delivered with the default action once we return
    return;
  }
  previous.sa_handler(sig);
}

void onSignal(int sig, siginfo_t* info, void* context) {
  if (engineDepth > 0) {
    pendingSignal = sig;  // acted on when the engine call returns
    return;
  }
  if (flushRoutine) flushRoutine();
  chainSignal(sig, info, context);
}

void atExit() {
  if (flushRoutine) flushRoutine();
}

}  // namespace

int openLockDescriptor(const std::string& path, bool* missing) {
  *missing = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *missing = (errno == ENOENT || errno == ENOTDIR);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void closeDescriptor(int descriptor) {
  if (descriptor >= 0) ::close(descriptor);
}

bool lockShared(int descriptor) { return flock(descriptor, LOCK_SH | LOCK_NB) == 0; }

bool lockExclusive(int descriptor) { return flock(descriptor, LOCK_EX | LOCK_NB) == 0; }

bool fileIdentity(int descriptor, uint64_t* device, uint64_t* inode) {
  struct stat st;
  if (fstat(descriptor, &st) != 0) return false;
  *device = static_cast<uint64_t>(st.st_dev);
  *inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool pathIdentity(const std::string& path, uint64_t* device, uint64_t* inode) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  *device = static_cast<uint64_t>(st.st_dev);
  *inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool pathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool renamePath(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void removePath(const std::string& path) { ::unlink(path.c_str()); }

void installProcessHooks(const ProcessHooks& hooks) {
  static bool installed = false;
  if (installed) return;
  installed = true;
  flushRoutine = hooks.flush;
  std::atexit(atExit);
  pthread_atfork(hooks.beforeFork, hooks.afterForkParent, hooks.afterForkChild);
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction current;
    if (sigaction(kSignals[i], nullptr, &current) != 0) continue;
    previousActions[i] = current;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
    struct sigaction ours = {};
    ours.sa_sigaction = onSignal;
    ours.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&ours.sa_mask);
    sigaction(kSignals[i], &ours, nullptr);
  }
}

void enterEngine() { ++engineDepth; }

// Called with the engine still locked: the flush runs inside the lock.
void leaveEngine() {
  if (engineDepth == 1 && pendingSignal != 0) {
    const int sig = pendingSignal.exchange(0);
    if (flushRoutine) flushRoutine();
    --engineDepth;
    chainSignal(sig, nullptr, nullptr);
    return;
  }
  --engineDepth;
}

void startBackgroundThread(void (*body)()) {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  std::thread(body).detach();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace vorlan::rm::os
