// The options of the run, filled once by the option scan before dispatch and
// read-only afterwards.
#pragma once

#include <cstdint>

namespace vorlan {

constexpr int kOwnerNameMax = 66;
constexpr uint8_t kExclusiveOpenMode = 252;  // read by the engine as -4

struct RunOptions {
  char ownerName[kOwnerNameMax + 1] = {};
  int32_t readForward = 0;
  int32_t readBackward = 0;
  uint8_t fileVersion = 0;
  int32_t updateExisting = 0;
  uint8_t openMode = 0;
  int32_t verbosity = 0;

  // The forward pass runs when /I was given or /J was not.
  bool forwardPass() const { return readForward != 0 || readBackward == 0; }
};

extern RunOptions runOptions;

}  // namespace vorlan
