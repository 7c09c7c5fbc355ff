// btfile insert and fill: records written through Insert (operation 2) and,
// past the first 64,129 bytes, Update Chunk (operation 53) appending the
// rest in pieces of at most 64,129 bytes.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "btfile.h"
#include "generator.h"

namespace vorlan::btfile {
namespace {

uint8_t gKeyBuffer[256];
uint8_t gChunkRequest[kChunkDescriptorSize + kPieceSize];

void putLittle32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Where the records of a file must fit: the fixed length, and whether
// longer ones are allowed.
struct RecordShape {
  uint32_t fixedLength = 0;
  bool variable = false;
};

RecordShape shapeOf(const FileStatus& status) {
  return {status.definition.recordLength, (status.definition.fileFlags & rm::kFileVariableLength) != 0};
}

// Pads a record shorter than the fixed length with zero bytes; refuses one
// longer than the fixed length of a fixed-length file.
bool fitRecord(const EngineFile& file, const RecordShape& shape, std::vector<uint8_t>& record, size_t number) {
  if (record.size() < shape.fixedLength) record.resize(shape.fixedLength, 0);
  if (!shape.variable && record.size() > shape.fixedLength) {
    std::fprintf(stderr, "btfile: %s: record %zu is %zu bytes, longer than the fixed record length %u\n",
                 file.path.c_str(), number, record.size(), shape.fixedLength);
    return false;
  }
  return true;
}

}  // namespace

bool insertRecord(EngineFile& file, uint8_t* record, size_t length, size_t number) {
  uint32_t first = static_cast<uint32_t>(length < kPieceSize ? length : kPieceSize);
  uint32_t dataLength = first;
  int32_t status = callStandard(kOpInsert, file, record, &dataLength, gKeyBuffer, 0);
  if (status != 0) {
    std::string what = "Insert of record " + std::to_string(number);
    reportStatus(file.path, what.c_str(), status);
    return false;
  }
  for (size_t offset = first; offset < length;) {
    uint32_t piece = static_cast<uint32_t>(length - offset < kPieceSize ? length - offset : kPieceSize);
    putLittle32(gChunkRequest + 0, kChunkSubfunction);
    putLittle32(gChunkRequest + 4, 1);
    putLittle32(gChunkRequest + 8, 0);
    putLittle32(gChunkRequest + 12, piece);
    putLittle32(gChunkRequest + 16, 0);
    std::memcpy(gChunkRequest + kChunkDescriptorSize, record + offset, piece);
    dataLength = kChunkDescriptorSize + piece;
    status = callStandard(kOpUpdateChunk, file, gChunkRequest, &dataLength, gKeyBuffer, 0);
    if (status != 0) {
      std::string what = "Update Chunk at offset " + std::to_string(offset) + " of record " + std::to_string(number);
      reportStatus(file.path, what.c_str(), status);
      return false;
    }
    offset += piece;
  }
  return true;
}

int runInsert(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!scanArguments(argc, argv, {"owner"}, {"hex"}, &args, &error)) return usage(error.c_str());
  if (args.positional.size() != 1) return usage("insert takes one FILE");
  EngineFile file;
  FileStatus status;
  if (!openFile(file, args.positional[0], args.value("owner"))) return 1;
  if (!statFile(file, &status)) {
    closeFile(file);
    return 1;
  }
  const RecordShape shape = shapeOf(status);
  const bool hex = args.has("hex");
  std::string line;
  std::vector<uint8_t> record;
  size_t lineNumber = 0, inserted = 0;
  int result = 0;
  while (std::getline(std::cin, line)) {
    ++lineNumber;
    if (hex) {
      if (!parseHex(line.data(), line.size(), record)) {
        std::fprintf(stderr, "btfile: %s: line %zu is not hexadecimal (pairs of digits 0-9, A-F)\n",
                     file.path.c_str(), lineNumber);
        result = 1;
        break;
      }
    } else {
      record.assign(line.begin(), line.end());
    }
    if (record.empty()) continue;  // blank lines carry no record
    if (!fitRecord(file, shape, record, lineNumber) ||
        !insertRecord(file, record.data(), record.size(), lineNumber)) {
      result = 1;
      break;
    }
    ++inserted;
  }
  closeFile(file);
  std::printf("%zu records inserted\n", inserted);
  return result;
}

namespace {

// Writes `value` into the bytes of a segment so that different values give
// different keys of its type.
void writeUnique(uint8_t* at, uint32_t length, uint8_t type, uint64_t value) {
  switch (type) {
    case rm::kTypeInteger:
    case rm::kTypeUnsigned:
    case rm::kTypeAutoIncrement:
    case rm::kTypeTimestamp:
      for (uint32_t i = 0; i < length; ++i) at[i] = i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0;
      return;
    case rm::kTypeFloat:
      if (length == 4) {
        float f = static_cast<float>(value);
        std::memcpy(at, &f, 4);
      } else if (length == 8) {
        double d = static_cast<double>(value);
        std::memcpy(at, &d, 8);
      }
      return;
    default: {
      // Zero-padded decimal digits; a zstring keeps its last byte for the
      // terminator, an lstring its first for the length.
      uint32_t begin = 0, end = length;
      if (type == rm::kTypeZString) end = length - 1, at[length - 1] = 0;
      if (type == rm::kTypeLString) begin = 1, at[0] = static_cast<uint8_t>(length - 1);
      for (uint32_t i = end; i > begin; --i) {
        at[i - 1] = static_cast<uint8_t>('0' + value % 10);
        value /= 10;
      }
      return;
    }
  }
}

}  // namespace

int runFill(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!scanArguments(argc, argv, {"records", "length", "seed", "owner"}, {}, &args, &error))
    return usage(error.c_str());
  if (args.positional.size() != 1) return usage("fill takes one FILE");
  uint64_t count = 0, length = 0, seed = 1;
  if (!args.has("records") || !parseNumber(args.value("records"), 0, UINT64_MAX, &count))
    return usage("fill needs --records N");
  if (args.has("seed") && !parseNumber(args.value("seed"), 0, UINT64_MAX, &seed))
    return usage("--seed must be a number");
  EngineFile file;
  FileStatus status;
  if (!openFile(file, args.positional[0], args.value("owner"))) return 1;
  if (!statFile(file, &status)) {
    closeFile(file);
    return 1;
  }
  const RecordShape shape = shapeOf(status);
  length = shape.fixedLength;
  if (args.has("length")) {
    uint64_t most = shape.variable ? kMaxRecordLength : shape.fixedLength;
    if (!parseNumber(args.value("length"), shape.fixedLength, most, &length)) {
      std::fprintf(stderr, "btfile: %s: --length must be %s %u%s\n", file.path.c_str(),
                   shape.variable ? "at least the fixed record length" : "the fixed record length",
                   shape.fixedLength, shape.variable ? "" : " in a fixed-length file");
      closeFile(file);
      return 1;
    }
  }
  std::vector<uint8_t> record(length);
  Generator random{seed};
  int result = 0;
  uint64_t done = 0;
  for (; done < count; ++done) {
    const uint64_t serial = done + 1;
    for (size_t i = 0; i < record.size(); i += 8) {
      uint64_t r = random.next();
      for (size_t j = 0; j < 8 && i + j < record.size(); ++j) record[i + j] = static_cast<uint8_t>(r >> (8 * j));
    }
    if (record.size() >= 4) putLittle32(record.data(), static_cast<uint32_t>(serial));
    for (const rm::KeyDefinition& key : status.definition.keys) {
      if (key.allowsDuplicates()) continue;
      const rm::KeySegment& s = key.segments[0];
      if (s.length == 0 || s.position == 0 || s.position - 1u + s.length > record.size()) continue;
      writeUnique(record.data() + s.position - 1, s.length, s.type, serial);
    }
    if (!insertRecord(file, record.data(), record.size(), serial)) {
      result = 1;
      break;
    }
  }
  closeFile(file);
  std::printf("%llu records inserted\n", static_cast<unsigned long long>(done));
  return result;
}

}  // namespace vorlan::btfile
