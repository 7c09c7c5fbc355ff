// splitmix64: the pseudo-random record bytes of `btfile fill`, reproducible
// from the seed; the benchmarks make their baseline rows with it too.
#pragma once

#include <cstdint>

namespace vorlan::btfile {

struct Generator {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A value in [1, n].
  uint64_t pick(uint64_t n) { return next() % n + 1; }
};

}  // namespace vorlan::btfile
