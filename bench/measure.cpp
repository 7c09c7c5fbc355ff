// bench_measure: runs one command and reports its wall time, peak resident
// memory and exit status on one line:
//
//   bench_measure LOG -- COMMAND [ARGS...]
//   -> "<wall seconds> <peak RSS KiB> <exit status>"
//
// The command's standard input is /dev/null (so Vorlan's Escape poll never
// reads a terminal); its standard output and error go to LOG. The peak
// resident memory is the child's own (wait4's ru_maxrss), so the wrapper's
// memory does not count.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
    std::fprintf(stderr, "usage: bench_measure LOG -- COMMAND [ARGS...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("bench_measure: fork");
    return 2;
  }
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(argv[1], O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    close(in);
    close(out);
    execvp(argv[3], argv + 3);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("bench_measure: wait4");
    return 2;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%.4f %ld %d\n", seconds, usage.ru_maxrss, code);
  return 0;
}
