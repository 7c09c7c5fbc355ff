// Progress display and interruption for the record loops: a one-character
// spinner, a percentage meter, and the Escape test. All output goes to
// standard error and overwrites itself with backspaces.
#pragma once

#include <cstdint>

namespace vorlan {

struct ProgressMeter {
  uint64_t total = 0;
  uint64_t interval = 0;
  uint64_t countdown = 0;
};

// Writes the next spinner character and a backspace.
void spinnerStep();

// True when the key waiting on the console is Escape; any waiting key is
// consumed. Never waits.
bool userRequestedStop();

void startProgress(ProgressMeter& meter, uint64_t total);
void progressTick(ProgressMeter& meter, uint64_t count);

// What a loop prints when the user stops it.
void reportUserStop();

void resetSpinnerForTesting();

}  // namespace vorlan
