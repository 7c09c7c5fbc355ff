// btfile: makes and inspects files of the embedded record manager through
// its Btrieve call interface (the standard and the wide entry), the same
// calls Vorlan makes. Each subcommand is one routine returning the process
// exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recordmanager/file_definition.h"

namespace vorlan::btfile {

// Engine operations used here.
enum Operation : uint32_t {
  kOpOpen = 0,
  kOpClose = 1,
  kOpInsert = 2,
  kOpGetNext = 6,
  kOpGetFirst = 12,
  kOpGetLast = 13,
  kOpCreate = 14,
  kOpStat = 15,
  kOpGetPosition = 22,
  kOpGetDirect = 23,
  kOpStepNext = 24,
  kOpSetOwner = 29,
  kOpStepFirst = 33,
  kOpMiscData = 41,
  kOpUpdateChunk = 53,
};

constexpr uint32_t kPieceSize = 64129;         // longest record piece of one call
constexpr uint32_t kStatBufferSize = 36612;    // wide Stat answer buffer
constexpr uint32_t kMiscDataSize = 256;
constexpr uint32_t kChunkDescriptorSize = 20;
constexpr uint32_t kChunkSubfunction = 0xC0000000;
// The longest record fill makes in a variable-length file.
constexpr uint64_t kMaxRecordLength = 64ull * 1024 * 1024;

// One open file: its position block and name.
struct EngineFile {
  uint8_t positionBlock[128] = {};
  std::string path;
  bool open = false;
};

// The file's definition and counts from a wide Stat.
struct FileStatus {
  vorlan::rm::FileDefinition definition;
  uint64_t records = 0;
  uint16_t version = 0;
  std::vector<uint32_t> uniqueValues;  // per key
};

// Calls through the standard entry (key number cut to a signed byte, as the
// entry takes it) or the wide entry.
int32_t callStandard(uint32_t operation, EngineFile& file, void* data, uint32_t* length, void* key,
                     int32_t keyNumber);
int32_t callWide(uint32_t operation, EngineFile& file, void* data, uint32_t* length, void* key,
                 int32_t keyNumber);

// "btfile: FILE: what failed with status N (meaning)\n" on stderr.
void reportStatus(const std::string& path, const char* what, int32_t status);
// "btfile: message\n" on stderr.
void reportError(const std::string& message);

// Open (with the owner name when not empty) and close; the open reports its
// failure itself and returns false.
bool openFile(EngineFile& file, const std::string& path, const std::string& owner);
void closeFile(EngineFile& file);
// Stat through the wide entry; reports its failure itself.
bool statFile(EngineFile& file, FileStatus* out);

// Hexadecimal text: upper-case digits; parsing skips blanks and tabs and
// answers false on anything else that is not a pair of digits.
void appendHex(std::string& out, const uint8_t* bytes, size_t length);
bool parseHex(const char* text, size_t length, std::vector<uint8_t>& out);

// A key description: POS:LEN:TYPE[:FLAGS] segments joined by '+'. On a
// bad one returns false with the reason in `error`.
bool parseKeySpec(const std::string& spec, vorlan::rm::KeyDefinition* key, std::string* error);
const char* typeName(uint8_t type);

// Writes one record (any length: the first piece by Insert, the rest by
// Update Chunk); reports failures. `record` may be changed by the engine
// (an autoincrement value filled in).
bool insertRecord(EngineFile& file, uint8_t* record, size_t length, size_t number);

// Options of a subcommand: "--name value" pairs and "--flag" switches after
// the positional arguments.
struct Arguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // in order given
  bool has(const std::string& name) const;
  // The last value of the option, or `fallback`.
  std::string value(const std::string& name, const std::string& fallback = "") const;
  std::vector<std::string> values(const std::string& name) const;
};

// Splits argv (after the subcommand) by the option names given: `withValue`
// take the next argument, `switches` take none. Unknown options and missing
// values return false with the reason.
bool scanArguments(int argc, char** argv, const std::vector<std::string>& withValue,
                   const std::vector<std::string>& switches, Arguments* out, std::string* error);
// A whole unsigned decimal number in [lo, hi].
bool parseNumber(const std::string& text, uint64_t lo, uint64_t hi, uint64_t* out);

int runCreate(int argc, char** argv);
int runInsert(int argc, char** argv);
int runFill(int argc, char** argv);
int runDump(int argc, char** argv);
int runStat(int argc, char** argv);
int runSetBind(int argc, char** argv);
int runGetBind(int argc, char** argv);
int runClearBind(int argc, char** argv);
int runPdc(int argc, char** argv);

// Creates a file with this definition (key number -1: refuses an existing
// file, 0: replaces it) and, when `owner` is not empty, gives it that owner
// name. Reports failures.
bool createFile(const std::string& path, const vorlan::rm::FileDefinition& definition, bool replace,
                const std::string& owner, int ownerMode);

// Usage text on stderr; returns 2.
int usage(const char* problem = nullptr);

}  // namespace vorlan::btfile
