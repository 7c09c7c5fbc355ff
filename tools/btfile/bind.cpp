// btfile setbind, getbind, clearbind: the 256-byte MiscData block through
// operation 41 on the standard entry, with the requests Vorlan makes: key
// number 0 and data length 256 write the block, key number 128 (the entry
// receives 0x80) reads it, key number 0 and data length 0 remove it.
#include <cstdio>
#include <cstring>

#include "btfile.h"

namespace vorlan::btfile {
namespace {

// Opens the file named by the one positional argument.
bool openForBind(int argc, char** argv, size_t positional, Arguments* args, EngineFile* file, int* exitStatus) {
  std::string error;
  if (!scanArguments(argc, argv, {"owner"}, {}, args, &error)) {
    *exitStatus = usage(error.c_str());
    return false;
  }
  if (args->positional.size() != positional) {
    *exitStatus = usage(positional == 1 ? "give one FILE" : "setbind takes FILE HEX");
    return false;
  }
  if (!openFile(*file, args->positional[0], args->value("owner"))) {
    *exitStatus = 1;
    return false;
  }
  return true;
}

// One MiscData request on the open file, which it then closes: 0, or 1
// after the engine's refusal has been reported.
int miscData(EngineFile& file, uint8_t* block, uint32_t length, int keyNumber, const char* what) {
  uint8_t key[256] = {};
  int32_t status = callStandard(kOpMiscData, file, block, &length, key, keyNumber);
  closeFile(file);
  if (status == 0) return 0;
  reportStatus(file.path, what, status);
  return 1;
}

}  // namespace

int runSetBind(int argc, char** argv) {
  Arguments args;
  EngineFile file;
  std::string error;
  if (!scanArguments(argc, argv, {"owner"}, {}, &args, &error)) return usage(error.c_str());
  if (args.positional.size() != 2) return usage("setbind takes FILE HEX");
  std::vector<uint8_t> bytes;
  const std::string& hex = args.positional[1];
  if (!parseHex(hex.data(), hex.size(), bytes) || bytes.size() > kMiscDataSize) {
    reportError("setbind: the block must be at most 256 bytes in hexadecimal digits");
    return 1;
  }
  if (!openFile(file, args.positional[0], args.value("owner"))) return 1;
  uint8_t block[kMiscDataSize] = {};
  std::memcpy(block, bytes.data(), bytes.size());
  return miscData(file, block, kMiscDataSize, 0, "writing the MiscData block");
}

int runGetBind(int argc, char** argv) {
  Arguments args;
  EngineFile file;
  int exitStatus = 0;
  if (!openForBind(argc, argv, 1, &args, &file, &exitStatus)) return exitStatus;
  uint8_t block[kMiscDataSize] = {};
  if (miscData(file, block, kMiscDataSize, 128, "reading the MiscData block") != 0) return 1;
  std::string text;
  appendHex(text, block, kMiscDataSize);
  std::printf("%s\n", text.c_str());
  return 0;
}

int runClearBind(int argc, char** argv) {
  Arguments args;
  EngineFile file;
  int exitStatus = 0;
  if (!openForBind(argc, argv, 1, &args, &file, &exitStatus)) return exitStatus;
  uint8_t block[kMiscDataSize] = {};
  return miscData(file, block, 0, 0, "removing the MiscData block");
}

}  // namespace vorlan::btfile
