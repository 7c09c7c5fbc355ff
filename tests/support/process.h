// Running a program of the build as a process, for the scenario tests, and
// temporary folders for their files.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vorlan::testing {

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

struct ProcessOptions {
  std::vector<std::pair<std::string, std::string>> environment;  // set or override
  std::string input;            // standard input; closed after it is written
  std::string workingDirectory;  // empty: the test's own
};

// Options that only set environment variables.
ProcessOptions withEnvironment(std::vector<std::pair<std::string, std::string>> variables);

// Runs the program with the arguments (argv[0] is the program). The
// environment is the test's own with TZ=UTC0 and VORLAN_ENGINE=embedded,
// then the given overrides (an empty value removes the variable).
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Runs build/vorlan with the arguments.
ProcessResult runVorlanProcess(const std::vector<std::string>& arguments,
                               const ProcessOptions& options = {});

// A folder under /tmp removed with its contents at the end of its scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace vorlan::testing
