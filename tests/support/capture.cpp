#include "support/capture.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vorlan::testing {
namespace {

int temporaryFile() {
  char name[] = "/tmp/vorlan-capture-XXXXXX";
  int fd = mkstemp(name);
  if (fd >= 0) unlink(name);
  return fd;
}

std::string readAll(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  return text;
}

}  // namespace

OutputCapture::OutputCapture() {
  fflush(stdout);
  fflush(stderr);
  savedOut_ = dup(1);
  savedErr_ = dup(2);
  fileOut_ = temporaryFile();
  fileErr_ = temporaryFile();
  dup2(fileOut_, 1);
  dup2(fileErr_, 2);
}

OutputCapture::~OutputCapture() { finish(); }

void OutputCapture::finish() {
  if (finished_) return;
  finished_ = true;
  fflush(stdout);
  fflush(stderr);
  dup2(savedOut_, 1);
  dup2(savedErr_, 2);
  close(savedOut_);
  close(savedErr_);
  out_ = readAll(fileOut_);
  err_ = readAll(fileErr_);
  close(fileOut_);
  close(fileErr_);
}

const std::string& OutputCapture::out() {
  finish();
  return out_;
}

const std::string& OutputCapture::err() {
  finish();
  return err_;
}

}  // namespace vorlan::testing
