// Little-endian fields in engine buffers.
#pragma once

#include <cstdint>
#include <cstring>

namespace vorlan {

inline uint16_t readLe16(const void* p) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t readLe32(const void* p) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline uint64_t readLe64(const void* p) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return uint64_t(readLe32(b)) | uint64_t(readLe32(b + 4)) << 32;
}
inline void writeLe16(void* p, uint16_t v) {
  unsigned char* b = static_cast<unsigned char*>(p);
  b[0] = static_cast<unsigned char>(v);
  b[1] = static_cast<unsigned char>(v >> 8);
}
inline void writeLe32(void* p, uint32_t v) {
  unsigned char* b = static_cast<unsigned char*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void writeLe64(void* p, uint64_t v) {
  unsigned char* b = static_cast<unsigned char*>(p);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace vorlan
