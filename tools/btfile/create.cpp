// btfile create: a new file from the options, by Create (operation 14).
#include <cstring>

#include "btfile.h"

namespace vorlan::btfile {

bool createFile(const std::string& path, const rm::FileDefinition& definition, bool replace,
                const std::string& owner, int ownerMode) {
  if (path.empty() || path.size() > 254) {
    reportError(path.empty() ? "empty file name" : path + ": file name longer than 254 characters");
    return false;
  }
  std::vector<uint8_t> spec(rm::fileDefinitionSize(definition, false));
  rm::writeFileDefinition(definition, 0, false, spec.data(), static_cast<uint32_t>(spec.size()));
  EngineFile file;
  file.path = path;
  uint8_t key[256] = {};
  std::memcpy(key, path.data(), path.size());
  uint32_t length = static_cast<uint32_t>(spec.size());
  int32_t status = callStandard(kOpCreate, file, spec.data(), &length, key, replace ? 0 : -1);
  if (status != 0) {
    reportStatus(path, "Create", status);
    return false;
  }
  if (owner.empty()) return true;
  if (!openFile(file, path, "")) return false;
  char ownerText[256] = {};
  char ownerKey[256] = {};
  std::memcpy(ownerText, owner.data(), owner.size());
  std::memcpy(ownerKey, owner.data(), owner.size());
  length = static_cast<uint32_t>(owner.size() + 1);
  status = callStandard(kOpSetOwner, file, ownerText, &length, ownerKey, ownerMode);
  closeFile(file);
  if (status != 0) {
    reportStatus(path, "Set Owner", status);
    return false;
  }
  return true;
}

int runCreate(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!scanArguments(argc, argv,
                     {"record-length", "page-size", "owner", "owner-mode", "key", "file-version"},
                     {"variable", "system-data", "system-data-v2", "replace"}, &args, &error))
    return usage(error.c_str());
  if (args.positional.size() != 1) return usage("create takes one FILE");
  if (!args.has("record-length")) return usage("create needs --record-length N");

  rm::FileDefinition def;
  uint64_t n = 0;
  if (!parseNumber(args.value("record-length"), 1, 65535, &n)) {
    reportError("--record-length must be a number from 1 to 65535");
    return 1;
  }
  def.recordLength = static_cast<uint16_t>(n);
  if (args.has("page-size")) {
    if (!parseNumber(args.value("page-size"), 1, 65535, &n)) {
      reportError("--page-size must be a number (512 to 4096 in steps of 512, 8192 or 16384)");
      return 1;
    }
    def.pageSize = static_cast<uint16_t>(n);
  }
  if (args.has("file-version")) {
    // M.m as the version byte 0xMm (9.5 = 0x95, 13.0 = 0xD0).
    std::string text = args.value("file-version");
    uint64_t major = 0, minor = 0;
    size_t dot = text.find('.');
    if (dot == std::string::npos || !parseNumber(text.substr(0, dot), 0, 15, &major) ||
        !parseNumber(text.substr(dot + 1), 0, 9, &minor)) {
      reportError("--file-version must be MAJOR.MINOR with MAJOR 0 to 15 and MINOR 0 to 9");
      return 1;
    }
    def.versionByte = static_cast<uint8_t>(major * 16 + minor);
  }
  if (args.has("system-data") && args.has("system-data-v2")) {
    reportError("--system-data and --system-data-v2 exclude each other");
    return 1;
  }
  if (args.has("variable")) def.fileFlags |= rm::kFileVariableLength;
  if (args.has("system-data")) def.fileFlags |= rm::kFileSystemData;
  else if (args.has("system-data-v2")) def.fileFlags |= rm::kFileSystemDataWithUpdate;
  else def.fileFlags |= rm::kFileNoSystemData;
  for (const std::string& spec : args.values("key")) {
    rm::KeyDefinition key;
    if (!parseKeySpec(spec, &key, &error)) {
      reportError(error);
      return 1;
    }
    key.keyNumber = static_cast<uint8_t>(def.keys.size());
    def.keys.push_back(key);
  }
  std::string owner = args.value("owner");
  if (owner.size() > 24 || (args.has("owner") && owner.empty())) {
    reportError("--owner must be 1 to 24 characters");
    return 1;
  }
  int ownerMode = 0;
  if (args.has("owner-mode")) {
    if (!parseNumber(args.value("owner-mode"), 0, 3, &n)) {
      reportError("--owner-mode must be 0 to 3");
      return 1;
    }
    ownerMode = static_cast<int>(n);
  }
  return createFile(args.positional[0], def, args.has("replace"), owner, ownerMode) ? 0 : 1;
}

}  // namespace vorlan::btfile
