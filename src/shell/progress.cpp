#include "shell/progress.h"

#include <cstdio>

#include "platform/console.h"

namespace vorlan {
namespace {

const char kSpinner[] = "-\\|/";
int spinnerPosition = 0;

}  // namespace

void spinnerStep() {
  fprintf(stderr, "%c%c", kSpinner[spinnerPosition], 8);
  spinnerPosition = (spinnerPosition + 1) % 4;
}

bool userRequestedStop() {
  if (!platform::keyWaiting()) return false;
  return platform::readKey() == platform::kKeyEscape;
}

void startProgress(ProgressMeter& meter, uint64_t total) {
  meter.total = total;
  meter.interval = total > 100000 ? total / 100 : total / 10;
  meter.countdown = meter.interval;
}

void progressTick(ProgressMeter& meter, uint64_t count) {
  if (--meter.countdown != 0) return;
  meter.countdown = meter.interval;
  if (meter.total == 0) return;  // only after 2^64 ticks of an empty meter
  int percent = static_cast<int>(count * 100 / meter.total);
  fprintf(stderr, "%.3d%%%c%c%c%c", percent, 8, 8, 8, 8);
}

void reportUserStop() { fputs("Vorlan Terminated by the User.\n", stderr); }

void resetSpinnerForTesting() { spinnerPosition = 0; }

}  // namespace vorlan
