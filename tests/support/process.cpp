#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace vorlan::testing {
namespace {

std::vector<std::string> buildEnvironment(const ProcessOptions& options) {
  std::vector<std::pair<std::string, std::string>> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) vars.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
  }
  auto set = [&vars](const std::string& name, const std::string& value) {
    std::erase_if(vars, [&](const auto& v) { return v.first == name; });
    if (!value.empty()) vars.emplace_back(name, value);
  };
  set("TZ", "UTC0");
  set("VORLAN_ENGINE", "embedded");
  for (const auto& [name, value] : options.environment) set(name, value);
  std::vector<std::string> result;
  for (const auto& [name, value] : vars) result.push_back(name + "=" + value);
  return result;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  std::vector<std::string> env = buildEnvironment(options);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);

  ProcessResult result;
  size_t written = 0;
  int inFd = in[1];
  if (options.input.empty()) {
    close(inFd);
    inFd = -1;
  }
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3];
    int n = 0;
    if (outOpen) fds[n++] = {out[0], POLLIN, 0};
    if (errOpen) fds[n++] = {err[0], POLLIN, 0};
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    if (poll(fds, nfds_t(n), -1) < 0) break;
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == inFd) {
        ssize_t w = write(inFd, options.input.data() + written, options.input.size() - written);
        if (w > 0) written += size_t(w);
        if (w <= 0 || written == options.input.size()) {
          close(inFd);
          inFd = -1;
        }
        continue;
      }
      char buffer[65536];
      ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
      std::string& target = fds[i].fd == out[0] ? result.out : result.err;
      if (r > 0) {
        target.append(buffer, size_t(r));
      } else {
        (fds[i].fd == out[0] ? outOpen : errOpen) = false;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  close(err[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return result;
}

ProcessOptions withEnvironment(std::vector<std::pair<std::string, std::string>> variables) {
  ProcessOptions options;
  options.environment = std::move(variables);
  return options;
}

ProcessResult runVorlanProcess(const std::vector<std::string>& arguments,
                               const ProcessOptions& options) {
  std::vector<std::string> argv{VORLAN_BIN};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProcess(argv, options);
}

TempDir::TempDir() {
  char name[] = "/tmp/vorlan-test-XXXXXX";
  if (mkdtemp(name) != nullptr) path_ = name;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace vorlan::testing
