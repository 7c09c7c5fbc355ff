// Helpers for the UNF tests: a temporary folder, whole-file reads and writes,
// and the verbosity of the run set for one test.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/capture.h"

#include "engine/run_options.h"
#include "platform/temp_folder.h"
#include "transfer/unf_file.h"

namespace vorlan::testing {

using platform::testing::TempFolder;

inline std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void putFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Record bytes that differ from position to position, so that a piece out of
// place shows.
inline std::string patternBytes(size_t length, unsigned seed = 1) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
  return bytes;
}

// Writes a record as the whole-record reader delivers it: pieces of at most
// 64129 bytes, an empty last piece after an exact multiple of two or more.
inline bool writeRecord(UnfFile& file, const std::string& bytes, uint64_t sysData,
                        uint64_t updateSysData) {
  constexpr size_t kPiece = 64129;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t offset = 0;
  bool first = true;
  for (;;) {
    size_t n = bytes.size() - offset < kPiece ? bytes.size() - offset : kPiece;
    bool last = n < kPiece || (first && offset + n == bytes.size());
    if (!writeUnfPiece(file, data + offset, static_cast<uint16_t>(n), first, last, sysData,
                       updateSysData)) {
      return false;
    }
    offset += n;
    first = false;
    if (last) return true;
  }
}

struct ReadEntry {
  int result = 0;
  std::string data;
  uint64_t sysData = 0;
  uint64_t updateSysData = 0;
};

struct ReadLog {
  std::vector<ReadEntry> entries;  // up to and including the first result
                                   // that is neither an entry nor a skip
  std::string err;                 // what the readers printed
  int bufferGrowths = 0;           // times the -LOAD buffer was replaced
  size_t capacity = 0;             // its final size
};

// Reads the file from `offset` with the -LOAD reader (old = false) or the
// -LOAD_OLD reader, at most `limit` calls. Nothing is checked here, so that
// failures of the caller's checks are not swallowed by the capture.
inline ReadLog readEntries(const std::string& path, bool old, int64_t offset = 0, int limit = 100) {
  ReadLog log;
  UnfFile file;
  UnfEntryBuffer buffer;
  std::vector<unsigned char> recordBuffer(kUnfOldRecordLimit, 0);
  OutputCapture capture;
  if (openUnfFile(file, path.c_str(), 0) == 0 &&
      file.handle.seek(offset, platform::SeekOrigin::Begin) == offset) {
    for (int i = 0; i < limit; ++i) {
      ReadEntry entry;
      int32_t length = 0;
      std::fill(recordBuffer.begin(), recordBuffer.end(), 0);
      size_t before = buffer.capacity;
      entry.result = old ? readUnfRecordOld(file, recordBuffer.data(), length, entry.sysData,
                                            entry.updateSysData)
                         : readUnfRecord(file, buffer, length, entry.sysData, entry.updateSysData);
      if (buffer.capacity != before) ++log.bufferGrowths;
      if (entry.result == kUnfEntry) {
        const unsigned char* bytes = old ? recordBuffer.data() : buffer.bytes;
        entry.data.assign(reinterpret_cast<const char*>(bytes), size_t(length));
        // A short record shows zeros after its end.
        for (size_t k = entry.data.size(); k < 24; ++k) {
          if (bytes[k] != 0) entry.data += "<stale byte after the end>";
        }
      }
      log.entries.push_back(entry);
      if (entry.result != kUnfEntry && entry.result != kUnfSkipped) break;
    }
    closeUnfFile(file, 0);
  }
  log.capacity = buffer.capacity;
  log.err = capture.err();
  return log;
}

class VerbosityGuard {
 public:
  explicit VerbosityGuard(int32_t level) : saved_(runOptions.verbosity) {
    runOptions.verbosity = level;
  }
  ~VerbosityGuard() { runOptions.verbosity = saved_; }

 private:
  int32_t saved_;
};

}  // namespace vorlan::testing
