// btfile: creates, fills and inspects files of the embedded record manager.
// See docs/btfile.md.
#include <cstdio>
#include <cstring>

#include "btfile.h"

namespace vorlan::btfile {

int usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "btfile: %s\n", problem);
  std::fputs(
      "Usage:\n"
      "  btfile create FILE --record-length N [--page-size N] [--variable]\n"
      "                [--system-data | --system-data-v2] [--file-version M.m]\n"
      "                [--owner NAME [--owner-mode N]] [--replace] [--key SPEC]...\n"
      "         SPEC = POS:LEN:TYPE[:FLAGS], segments of one key joined by '+';\n"
      "         TYPE string integer unsigned zstring lstring float autoinc timestamp;\n"
      "         FLAGS d duplicates, m modifiable, i case-insensitive, r descending\n"
      "  btfile insert FILE [--hex] [--owner NAME]     records from standard input\n"
      "  btfile fill FILE --records N [--length N] [--seed N] [--owner NAME]\n"
      "  btfile dump FILE [--key N] [--owner NAME]\n"
      "  btfile stat FILE [--owner NAME]\n"
      "  btfile setbind FILE HEX [--owner NAME]\n"
      "  btfile getbind FILE [--owner NAME]\n"
      "  btfile clearbind FILE [--owner NAME]\n"
      "  btfile pdc FILE [--obituaries N] [--live N] [--age-days N] [--now SECONDS]\n"
      "             [--append]\n",
      stderr);
  return 2;
}

}  // namespace vorlan::btfile

int main(int argc, char** argv) {
  using namespace vorlan::btfile;
  if (argc < 2) return usage();
  struct Command {
    const char* name;
    int (*run)(int, char**);
  };
  static const Command commands[] = {
      {"create", runCreate},   {"insert", runInsert},   {"fill", runFill},
      {"dump", runDump},       {"stat", runStat},       {"setbind", runSetBind},
      {"getbind", runGetBind}, {"clearbind", runClearBind}, {"pdc", runPdc},
  };
  for (const Command& c : commands)
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    usage();
    return 0;
  }
  std::string problem = std::string("unknown subcommand ") + argv[1];
  return usage(problem.c_str());
}
