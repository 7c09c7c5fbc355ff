// A Btrieve client library loaded with dlopen, for the tests of the two
// libraries built here (the embedded engine's and the test engine).
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "recordmanager/file_definition.h"

namespace vorlan::testing {

using BtrCall = int16_t (*)(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t);
using BtrVex = int32_t (*)(uint32_t, void*, void*, uint32_t*, void*, uint32_t, int32_t);

struct ClientLibrary {
  void* handle = nullptr;
  BtrCall btrcall = nullptr;
  BtrVex btrvex = nullptr;

  explicit ClientLibrary(const char* path) {
    handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    btrcall = reinterpret_cast<BtrCall>(dlsym(handle, "BTRCALL"));
    btrvex = reinterpret_cast<BtrVex>(dlsym(handle, "BTRVEX"));
  }
  ~ClientLibrary() {
    // Kept loaded: the library's engine state lives until the process ends.
  }
  void* symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
};

// One open file through a library's standard entry.
struct LibraryFile {
  const ClientLibrary& library;
  uint8_t positionBlock[128] = {};
  uint8_t key[256] = {};

  explicit LibraryFile(const ClientLibrary& lib) : library(lib) {}

  int call(uint16_t op, void* data, uint32_t* length, int keyNumber) {
    return library.btrcall(op, positionBlock, data, length, key, 255, static_cast<int8_t>(keyNumber));
  }
  int wide(uint32_t op, void* data, uint32_t* length, int keyNumber) {
    return library.btrvex(op, positionBlock, data, length, key, 255, keyNumber);
  }
  void setKey(const std::string& text) {
    std::memset(key, 0, sizeof key);
    std::memcpy(key, text.data(), text.size() < 255 ? text.size() : 255);
  }
  // Create (key number 0: replace) a file with fixed records of `length`
  // bytes, no system data and one 4-byte integer key at offset 0.
  int create(const std::string& path, uint16_t length) {
    rm::FileDefinition def;
    def.recordLength = length;
    def.fileFlags = rm::kFileNoSystemData;
    rm::KeyDefinition keyDef;
    rm::KeySegment segment;
    segment.position = 1;
    segment.length = 4;
    segment.type = rm::kTypeInteger;
    segment.flags = rm::kKeyExtendedType;
    keyDef.segments.push_back(segment);
    def.keys.push_back(keyDef);
    std::vector<uint8_t> spec(rm::fileDefinitionSize(def, false));
    rm::writeFileDefinition(def, 0, false, spec.data(), static_cast<uint32_t>(spec.size()));
    uint32_t specLength = static_cast<uint32_t>(spec.size());
    setKey(path);
    return call(14, spec.data(), &specLength, 0);
  }
  int open(const std::string& path) {
    setKey(path);
    uint32_t length = 0;
    char owner[1] = {};
    return call(0, owner, &length, 0);
  }
  int insert(int32_t value, uint16_t length) {
    std::vector<uint8_t> record(length, 0x5A);
    std::memcpy(record.data(), &value, 4);
    uint32_t dataLength = length;
    return call(2, record.data(), &dataLength, 0);
  }
  int close() {
    uint32_t length = 0;
    return call(1, nullptr, &length, 0);
  }
};

}  // namespace vorlan::testing
