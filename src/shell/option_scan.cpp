#include "shell/option_scan.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace vorlan {
namespace {

struct VersionRow {
  const char* text;
  uint8_t version;
};

// The /V## values: the two characters after the letter, matched exactly.
constexpr VersionRow kVersions[] = {
    {"-1", 0xFF}, {"5", 0x50}, {"6", 0x60}, {"7", 0x70}, {"8", 0x80},
    {"9", 0x90},  {"90", 0x90}, {"95", 0x95}, {"13", 0xD0},
};

void applyVersion(const char* afterLetter, RunOptions& options) {
  char text[3] = {};
  strncpy(text, afterLetter, 2);
  for (const VersionRow& row : kVersions) {
    if (strcmp(text, row.text) == 0) {
      options.fileVersion = row.version;
      return;
    }
  }
}

void applyOption(const char* argument, RunOptions& options) {
  switch (toupper(static_cast<unsigned char>(argument[1]))) {
    case 'O':
      snprintf(options.ownerName, sizeof options.ownerName, "%.*s", kOwnerNameMax, argument + 2);
      break;
    case 'V':
      applyVersion(argument + 2, options);
      break;
    case 'I':
      options.readForward = 1;
      break;
    case 'J':
      options.readBackward = 1;
      break;
    case 'U':
      options.updateExisting = 1;
      fputs("Using UPDATE Option...\n", stderr);
      break;
    case 'X':
      options.openMode = kExclusiveOpenMode;
      fputs("Using EXCLUSIVE Option...\n", stderr);
      break;
    case 'D':
      options.verbosity = toupper(static_cast<unsigned char>(argument[2])) == 'D' ? 2 : 1;
      break;
    default:
      break;
  }
}

}  // namespace

bool isOption(const char* argument) {
  // On POSIX an absolute path also starts with '/': an argument with a
  // second '/' is a path, not an option.
  return argument[0] == '/' && strchr(argument + 1, '/') == nullptr;
}

int scanOptions(int argc, const char* const* argv, RunOptions& options) {
  options = RunOptions{};
  int positional = argc - 1;
  for (int i = argc - 1; i >= 2; --i) {
    if (!isOption(argv[i])) continue;
    --positional;
    if (argv[i][1] != '\0') applyOption(argv[i], options);
  }
  return positional;
}

}  // namespace vorlan
