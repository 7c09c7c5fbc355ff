// The table of commands: one row per command word drives the argument count,
// the syntax message, what is copied, opened and checked, the routine, and
// the final line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlan {

constexpr size_t kFileArgumentSize = 257;  // at most 255 characters are taken
constexpr size_t kFileArgumentMax = 255;
constexpr size_t kDictionaryPathMax = 256;

// What the dispatcher hands a command routine.
struct CommandArguments {
  char primary[kFileArgumentSize] = {};    // data file, PDC table, source, folder
  char secondary[kFileArgumentSize] = {};  // target, new file, file spec, new name
  char unf[kFileArgumentSize] = {};
  char pdc[kFileArgumentSize] = {};        // the PDC table of -ZAPPDC
  char dictionary[kFileArgumentSize + 16] = {};  // -CHECK: folder + "\FILE.DDF"
  const char* text = nullptr;              // the -PARSE argument
  int32_t keyNumber = 0;
  int32_t value = 0;
  uint64_t sysDataValue = 0;
};

enum class ArgumentRole : uint8_t { Primary, Secondary, Unf, Pdc, Text, KeyNumber, Value, SysDataValue };
enum class SlotFile : uint8_t { None, Primary, Dictionary, Pdc, Secondary };
enum class SystemDataCheck : uint8_t { None, Warn, Require };
enum class UnfUse : uint8_t { None, Export, Import };

using CommandRoutine = int32_t (*)(const CommandArguments&);
// Writes the final line after the files are closed; returns the exit status.
using CommandCompletion = int32_t (*)(const CommandArguments&, int32_t status);

struct CommandRow {
  const char* word;
  int argumentCount;  // positional arguments after the command word
  ArgumentRole arguments[4];
  SlotFile slot1;
  SystemDataCheck check;  // on slot 1, before slot 2 is opened
  SlotFile slot2;
  bool slot2WithOwner;  // false: slot 2 is opened with no owner name
  UnfUse unf;
  CommandRoutine routine;
  CommandCompletion complete;  // nullptr: no final line, the routine's status
  const char* syntax;
};

extern const CommandRow kCommands[];
extern const size_t kCommandCount;

// The row of the command word (matched whole, without regard to case), or
// nullptr.
const CommandRow* findCommand(const char* word);

}  // namespace vorlan
