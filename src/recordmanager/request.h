// One call of an engine entry, as the operations see it, and the helpers
// that answer into the caller's buffers within their stated sizes.
#pragma once

#include <cstdint>
#include <cstring>

namespace vorlan::rm {

struct Request {
  uint32_t operation = 0;
  void* positionBlock = nullptr;
  uint8_t* data = nullptr;
  uint32_t* dataLength = nullptr;
  uint32_t capacity = 0;  // bytes of the data buffer (data length in)
  uint8_t* key = nullptr;
  uint32_t keyLength = 0;
  int32_t keyNumber = 0;
  bool wide = false;

  uint32_t positionWidth() const { return wide ? 8 : 4; }
  void answerLength(uint32_t length) const {
    if (dataLength) *dataLength = length;
  }
};

inline void putLittle(uint8_t* out, uint64_t value, uint32_t width) {
  for (uint32_t i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint64_t getLittle(const uint8_t* in, uint32_t width) {
  uint64_t value = 0;
  for (uint32_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

inline void putBig(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * (7 - i)));
}

inline uint64_t getBig(const uint8_t* in) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | in[i];
  return value;
}

}  // namespace vorlan::rm
