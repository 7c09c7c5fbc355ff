// Captures what the code under test writes to standard output and standard
// error (through stdio or the file descriptors).
#pragma once

#include <string>

namespace vorlan::testing {

class OutputCapture {
 public:
  OutputCapture();  // starts capturing both streams
  ~OutputCapture();
  // Stops capturing (once) and gives what was written.
  const std::string& out();
  const std::string& err();

 private:
  void finish();
  bool finished_ = false;
  int savedOut_ = -1, savedErr_ = -1;
  int fileOut_ = -1, fileErr_ = -1;
  std::string out_, err_;
};

}  // namespace vorlan::testing
