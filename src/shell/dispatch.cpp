// The process entry: option scan, command selection, preparation, the
// routine, completion.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/run_options.h"
#include "shell/command_table.h"
#include "shell/entry.h"
#include "shell/numbers.h"
#include "shell/option_scan.h"
#include "shell/usage.h"
#include "transfer/transfer_status.h"
#include "transfer/unf_file.h"

namespace vorlan {
namespace {

char* fileArgumentOf(CommandArguments& a, ArgumentRole role) {
  switch (role) {
    case ArgumentRole::Primary: return a.primary;
    case ArgumentRole::Secondary: return a.secondary;
    case ArgumentRole::Unf: return a.unf;
    case ArgumentRole::Pdc: return a.pdc;
    default: return nullptr;
  }
}

const char* slotFileName(const CommandArguments& a, SlotFile file) {
  switch (file) {
    case SlotFile::Primary: return a.primary;
    case SlotFile::Dictionary: return a.dictionary;
    case SlotFile::Pdc: return a.pdc;
    case SlotFile::Secondary: return a.secondary;
    case SlotFile::None: break;
  }
  return nullptr;
}

// Step 1: the file arguments, copied in command-line order; then the names
// that will be opened are checked against what a session holds, so that
// nothing is opened when one of them cannot be.
bool copyArguments(const CommandRow& row, char** argv, CommandArguments& a) {
  for (int i = 0; i < row.argumentCount; ++i) {
    const char* argument = argv[2 + i];
    if (row.arguments[i] == ArgumentRole::Text) a.text = argument;
    char* destination = fileArgumentOf(a, row.arguments[i]);
    if (destination != nullptr && copyFileName(destination, argument) != 0) return false;
  }
  if (row.slot1 == SlotFile::Dictionary) {
    if (strlen(a.primary) + strlen("\\FILE.DDF") > kDictionaryPathMax) {
      fprintf(stderr,
              "\nDX folder name <%s> is too long: with \\FILE.DDF appended it must fit in %zu "
              "characters.\n",
              a.primary, kDictionaryPathMax);
      return false;
    }
    snprintf(a.dictionary, sizeof a.dictionary, "%s\\FILE.DDF", a.primary);
  }
  for (SlotFile file : {row.slot1, row.slot2}) {
    const char* name = slotFileName(a, file);
    if (name != nullptr && strlen(name) >= kSessionNameSize) {
      fprintf(stderr, "\nFile name <%s> is too long: at most %zu characters can be opened.\n",
              name, kSessionNameSize - 1);
      return false;
    }
  }
  return true;
}

// Step 3: the system-data check of slot 1.
bool checkSystemData(SystemDataCheck check) {
  if (check == SystemDataCheck::None || systemDataMode(1) != 0) return true;
  if (check == SystemDataCheck::Warn) {
    fputs("WARNING: No system data defined on the Btrieve file!\nContinuing anyway...\n", stderr);
    return true;
  }
  fputs("ERROR: No system data defined on the Btrieve file!\nExiting.\n", stderr);
  return false;
}

// Step 6: the number arguments.
bool convertNumbers(const CommandRow& row, char** argv, CommandArguments& a) {
  for (int i = 0; i < row.argumentCount; ++i) {
    const char* argument = argv[2 + i];
    switch (row.arguments[i]) {
      case ArgumentRole::KeyNumber: a.keyNumber = decimalArgument(argument); break;
      case ArgumentRole::Value: a.value = decimalArgument(argument); break;
      case ArgumentRole::SysDataValue:
        a.sysDataValue = hexadecimalArgument(argument);
        if (a.sysDataValue == 0) {
          fputs("Unable to parse the System Data Value!\nExiting.\n", stderr);
          return false;
        }
        break;
      default: break;
    }
  }
  return true;
}

int32_t runCommand(const CommandRow& row, char** argv) {
  static CommandArguments a;  // file-name buffers of the run
  a = CommandArguments{};
  if (!copyArguments(row, argv, a)) return 1;
  if (row.slot1 != SlotFile::None &&
      openSession(slotFileName(a, row.slot1), runOptions.ownerName, 1) != 0)
    return 1;
  if (!checkSystemData(row.check)) return 1;
  if (row.slot2 != SlotFile::None &&
      openSession(slotFileName(a, row.slot2), row.slot2WithOwner ? runOptions.ownerName : nullptr,
                  2) != 0)
    return 1;
  int exportFlag = row.unf == UnfUse::Export ? 1 : 0;
  if (row.unf != UnfUse::None && openUnfFile(a.unf, exportFlag) != 0) return 1;
  if (!convertNumbers(row, argv, a)) return 1;

  int32_t status = row.routine(a);

  if (row.slot1 != SlotFile::None) closeSession(1);
  // An export whose UNF file could not be completed never ends as a success.
  if (row.unf != UnfUse::None && closeUnfFile(unfFile, exportFlag) != 0 && status == 0)
    status = kTransferIncomplete;
  if (row.complete != nullptr) status = row.complete(a, status);
  return status;
}

}  // namespace

int copyFileName(char* destination, const char* argument) {
  size_t length = strlen(argument);
  if (length == 0) {
    fprintf(stderr, "\nInvalid File Name <%s>.\n", argument);
    return 1;
  }
  if (length > kFileArgumentMax) {
    fprintf(stderr, "\nFile name <%.40s...> is too long: at most %zu characters are accepted.\n",
            argument, kFileArgumentMax);
    return 1;
  }
  memcpy(destination, argument, length + 1);
  return 0;
}

int runVorlan(int argc, char** argv) {
  if (argc < 2) {
    printUsage();
    return 1;
  }
  int positional = 1;
  if (argc >= 3) positional = scanOptions(argc, argv, runOptions);
  const CommandRow* row = findCommand(argv[1]);
  if (row == nullptr) {
    fputs("\nInvalid Command Option.  Run VORLAN to see options.\n", stderr);
    return 1;
  }
  if (positional - 1 != row->argumentCount) {
    fputs(row->syntax, stderr);
    return 1;
  }
  int32_t status = runCommand(*row, argv);
  fflush(stdout);
  return status;
}

}  // namespace vorlan
