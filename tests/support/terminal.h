// Reading what a program on a pseudo-terminal writes, for the Escape tests.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace vorlan::testing {

// Reads the terminal's master side until the text appears, the child closes
// it, or a generous safety limit passes; returns everything read (appended
// to `seen`).
inline std::string readTerminalUntil(int master, const std::string& text, std::string seen = {}) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < limit) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, size_t(n));
  }
  return seen;
}

}  // namespace vorlan::testing
