// A small driver of the embedded record manager's entries for the tests:
// files in a temporary folder, definitions built as Create buffers, and one
// call per operation.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "recordmanager/file_definition.h"
#include "recordmanager/record_manager.h"
#include "support/process.h"

namespace vorlan::rm::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline uint64_t little(const uint8_t* p, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) v |= uint64_t(p[i]) << (8 * i);
  return v;
}

inline void putLE(uint8_t* p, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) p[i] = uint8_t(v >> (8 * i));
}

// One segment key: POS (1-based), LEN, TYPE, FLAGS.
inline KeyDefinition key(uint16_t position, uint16_t length, uint8_t type, uint16_t flags = 0) {
  KeyDefinition k;
  KeySegment s;
  s.position = position;
  s.length = length;
  s.type = type;
  s.flags = flags | kKeyExtendedType;
  k.segments.push_back(s);
  return k;
}

inline FileDefinition definition(uint16_t recordLength, uint16_t flags, std::vector<KeyDefinition> keys) {
  FileDefinition d;
  d.recordLength = recordLength;
  d.pageSize = 4096;
  d.fileFlags = flags;
  for (size_t i = 0; i < keys.size(); ++i) keys[i].keyNumber = uint8_t(i);
  d.keys = std::move(keys);
  return d;
}

struct Answer {
  int status = 0;
  Bytes data;  // what came back (data length bytes)
  Bytes key;   // the whole key buffer after the call
};

class Engine {
 public:
  explicit Engine(bool wide = false) : wide_(wide) {}
  bool wide() const { return wide_; }
  int positionWidth() const { return wide_ ? 8 : 4; }

  // A call with `data` as the data buffer (grown to `capacity` bytes).
  Answer call(uint32_t op, uint8_t* block, Bytes data, uint32_t capacity, Bytes key, int keyNumber) {
    if (data.size() < capacity) data.resize(capacity);
    if (key.size() < 255) key.resize(255);
    uint32_t length = capacity;
    Answer a;
    if (wide_)
      a.status = wideEntry(op, block, data.data(), &length, key.data(), 255, keyNumber);
    else
      a.status = standardEntry(uint16_t(op), block, data.data(), &length, key.data(), 255, int8_t(keyNumber));
    data.resize(std::min<size_t>(length, data.size()));
    a.data = std::move(data);
    a.key = std::move(key);
    return a;
  }

  static Bytes name(const std::string& path) {
    Bytes b(path.begin(), path.end());
    b.push_back(0);
    return b;
  }

  int create(const std::string& path, const FileDefinition& d, int mode = 0) {
    Bytes spec(fileDefinitionSize(d, wide_));
    writeFileDefinition(d, 0, wide_, spec.data(), uint32_t(spec.size()));
    uint8_t block[128] = {};
    return call(14, block, spec, uint32_t(spec.size()), name(path), mode).status;
  }
  int open(uint8_t* block, const std::string& path, const std::string& owner = "", int mode = 0) {
    return call(0, block, bytesOf(owner), uint32_t(owner.size()), name(path), mode).status;
  }
  int close(uint8_t* block) { return call(1, block, {}, 0, {}, 0).status; }
  int reset() {
    uint8_t block[128] = {};
    return call(28, block, {}, 0, {}, 0).status;
  }
  int insert(uint8_t* block, const Bytes& record, int keyNumber = 0) {
    return call(2, block, record, uint32_t(record.size()), {}, keyNumber).status;
  }
  int insert(uint8_t* block, const std::string& record, int keyNumber = 0) {
    return insert(block, bytesOf(record), keyNumber);
  }
  // Get or Step operation with a data buffer of `capacity` bytes.
  Answer fetch(uint32_t op, uint8_t* block, int keyNumber, Bytes key = {}, uint32_t capacity = 64129) {
    return call(op, block, {}, capacity, std::move(key), keyNumber);
  }
  uint64_t position(uint8_t* block) {
    Answer a = call(22, block, {}, uint32_t(positionWidth()), {}, 0);
    EXPECT_EQ(a.status, 0);
    return a.data.size() >= size_t(positionWidth()) ? little(a.data.data(), positionWidth()) : 0;
  }
  Answer direct(uint8_t* block, uint64_t position, int keyNumber, uint32_t capacity = 64129) {
    Bytes data(capacity < 8 ? 8 : capacity);
    putLE(data.data(), position, positionWidth());
    return call(23, block, data, capacity, {}, keyNumber);
  }
  // The system data value of a record (Get Direct on key 125 or 124).
  uint64_t systemValue(uint8_t* block, uint64_t position, int keyNumber = 125) {
    Answer a = direct(block, position, keyNumber, uint32_t(positionWidth()));
    EXPECT_TRUE(a.status == 0 || a.status == 22) << a.status;
    return little(a.key.data(), 8);
  }
  // Operation 52 with the record and its system data values.
  int insertWithSystemData(uint8_t* block, const Bytes& record, uint64_t sys, uint64_t update, int keyNumber = 0) {
    Bytes request(record.size() + 48, 0);
    putLE(request.data(), 1, 4);
    std::memcpy(request.data() + 4, record.data(), record.size());
    putLE(request.data() + 16 + record.size(), sys, 8);
    putLE(request.data() + 24 + record.size(), update, 8);
    putLE(request.data() + 44 + record.size(), 0x00070000, 4);
    return call(52, block, request, uint32_t(request.size()), {}, keyNumber).status;
  }
  // Update Chunk appending `piece` after the last byte written.
  int appendChunk(uint8_t* block, const Bytes& piece) {
    Bytes request(20 + piece.size());
    putLE(request.data(), 0xC0000000u, 4);
    putLE(request.data() + 4, 1, 4);
    putLE(request.data() + 12, piece.size(), 4);
    std::memcpy(request.data() + 20, piece.data(), piece.size());
    return call(53, block, request, uint32_t(request.size()), {}, 0).status;
  }
  // Get Direct/Chunk at `offset` of the record at `position`.
  Answer readChunk(uint8_t* block, uint64_t position, uint32_t offset, uint32_t length = 64129) {
    Bytes request(64129);
    const int w = positionWidth();
    putLE(request.data(), position, w);
    putLE(request.data() + w, 0xC0000000u, 4);
    putLE(request.data() + w + 4, 1, 4);
    putLE(request.data() + w + 8, offset, 4);
    putLE(request.data() + w + 12, length, 4);
    return call(23, block, request, 64129, {}, -2);
  }

 private:
  bool wide_;
};

// Records of the form "<key><payload>" for a file whose key 0 is bytes 1-4.
inline std::string rec(const std::string& key, const std::string& rest, size_t length) {
  std::string r = key + rest;
  r.resize(length, ' ');
  return r;
}

inline std::string text(const Bytes& b, size_t from = 0, size_t n = std::string::npos) {
  if (from >= b.size()) return "";
  return std::string(b.begin() + from, b.begin() + std::min(b.size(), from + std::min(n, b.size() - from)));
}

}  // namespace vorlan::rm::testing
