#include "engine/whole_record.h"

#include <cstdio>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"

namespace vorlan {

unsigned char recordBuffer[kRecordBufferSize];
unsigned char keyBuffer[kKeyBufferSize];

namespace {

constexpr int kChunkKey = -2;
constexpr int kStatusBufferTooShort = 22, kStatusChunkPastEnd = 103;

FileSession& slot1() { return sessionTable[1]; }

int issue(FileSession& s) { return usesWideEntry() ? callEngineEx(s) : callEngine(s); }

uint16_t positionWidth() { return usesWideEntry() ? 8 : 4; }

void storePosition(unsigned char* out, RecordPosition position) {
  if (usesWideEntry())
    writeLe64(out, position);
  else
    writeLe32(out, static_cast<uint32_t>(position));
}

// Slot 1 back on the shared buffers for the caller's next fetch.
void restoreSlot(uint16_t dataLength, int keyPath) {
  FileSession& s = slot1();
  s.dataBuffer = recordBuffer;
  s.dataLength = dataLength;
  s.keyBuffer = keyBuffer;
  s.keyNumber = static_cast<int16_t>(keyPath);
}

bool isRecordStatus(int status) { return status == 0 || status == kStatusBufferTooShort; }

}  // namespace

void writeChunkDescriptor(unsigned char* out, const ChunkDescriptor& d) {
  writeLe32(out, d.subfunction);
  writeLe32(out + 4, d.numberOfChunks);
  writeLe32(out + 8, d.chunkOffset);
  writeLe32(out + 12, d.chunkLength);
  writeLe32(out + 16, d.userData);
}

bool usesWideEntry() { return engineExAvailable == 1; }

int readPositionOf(FileSession& s, RecordPosition& position) {
  unsigned char bytes[8] = {};
  s.dataBuffer = bytes;
  s.dataLength = positionWidth();
  s.keyNumber = 0;
  s.operation = kOpGetPosition;
  int status = issue(s);
  position = usesWideEntry() ? readLe64(bytes) : readLe32(bytes);
  s.dataBuffer = nullptr;
  return status;
}

int readSystemKeyOf(FileSession& s, unsigned char* buffer, RecordPosition position, int key,
                    uint64_t& value) {
  unsigned char keyValue[kKeyBufferSize] = {};
  void* savedKeyBuffer = s.keyBuffer;
  storePosition(buffer, position);
  s.dataBuffer = buffer;
  s.dataLength = positionWidth();
  s.keyBuffer = keyValue;
  s.keyNumber = static_cast<int16_t>(key);
  s.operation = kOpGetDirect;
  int status = issue(s);
  value = isRecordStatus(status) ? readLe64(keyValue) : 0;
  s.keyBuffer = savedKeyBuffer;
  return status;
}

int readChunkOf(FileSession& s, unsigned char* buffer, RecordPosition position, uint32_t offset) {
  storePosition(buffer, position);
  ChunkDescriptor descriptor;
  descriptor.chunkOffset = offset;
  descriptor.chunkLength = kRecordBufferSize;
  writeChunkDescriptor(buffer + positionWidth(), descriptor);
  s.dataBuffer = buffer;
  s.dataLength = kRecordBufferSize;
  s.keyNumber = kChunkKey;
  s.operation = kOpGetDirect;
  return issue(s);
}

int readRecordPosition(RecordPosition& position) { return readPositionOf(slot1(), position); }

int readSystemData(RecordPosition position, bool withUpdate, SystemData& values) {
  FileSession& s = slot1();
  s.keyBuffer = keyBuffer;
  int status = readSystemKeyOf(s, recordBuffer, position, kSystemDataKey, values.sysData);
  if (isRecordStatus(status) && withUpdate && systemDataMode(1) == 2) {
    values.updateSysData = 0;
    readSystemKeyOf(s, recordBuffer, position, kUpdateSystemDataKey, values.updateSysData);
  }
  return status;
}

int refetchRecord(RecordPosition position, int keyPath) {
  FileSession& s = slot1();
  storePosition(recordBuffer, position);
  s.dataBuffer = recordBuffer;
  s.dataLength = kRecordBufferSize;
  s.keyBuffer = keyBuffer;
  s.keyNumber = static_cast<int16_t>(keyPath);
  s.operation = kOpGetDirect;
  return issue(s);
}

int readNextChunk(RecordPosition position, uint32_t offset) {
  return readChunkOf(slot1(), recordBuffer, position, offset);
}

WholeRecordResult readWholeRecord(int fetchStatus, int keyPath, const SystemData* given,
                                  PieceConsumer consumer, void* context,
                                  RecordPosition* positionOut) {
  uint16_t length = slot1().dataLength;
  int status = fetchStatus;
  RecordPiece piece;
  piece.bytes = recordBuffer;
  if (given != nullptr) piece.systemData = *given;

  RecordPosition position = 0;
  bool positionKnown = true;
  int positionStatus = readRecordPosition(position);
  if (positionStatus != 0) {
    fprintf(stderr, "Error %d occurred reading the record position.\n", positionStatus);
    positionKnown = false;
    position = 0;
    restoreSlot(length, keyPath);
  } else if (given != nullptr || systemDataMode(1) == 0) {
    restoreSlot(length, keyPath);
  } else {
    int systemStatus = readSystemData(position, true, piece.systemData);
    if (!isRecordStatus(systemStatus))
      fprintf(stderr, "Error %d occurred reading the system data value.\n", systemStatus);
    status = refetchRecord(position, keyPath);
    length = slot1().dataLength;
    if (!isRecordStatus(status)) {
      fprintf(stderr, "Error %d occurred reading the original record.\n", status);
      restoreSlot(kRecordBufferSize, keyPath);
      if (positionOut != nullptr) *positionOut = position;
      return WholeRecordResult::NothingDelivered;
    }
  }
  if (positionOut != nullptr) *positionOut = position;

  WholeRecordResult result = WholeRecordResult::Delivered;
  piece.length = length > kRecordBufferSize ? kRecordBufferSize : length;
  piece.first = true;
  piece.last = status != kStatusBufferTooShort;
  if (!consumer(context, piece)) {
    result = WholeRecordResult::ConsumerStopped;
  } else if (!piece.last && !positionKnown) {
    // Without a position the remaining chunks cannot be asked for.
    result = WholeRecordResult::Unfinished;
  } else if (!piece.last) {
    piece.first = false;
    uint32_t offset = length;
    for (;;) {
      int chunkStatus = readNextChunk(position, offset);
      uint16_t n = slot1().dataLength > kRecordBufferSize ? kRecordBufferSize : slot1().dataLength;
      if (chunkStatus == 0) {
        piece.length = n;
        piece.last = n != kRecordBufferSize;
      } else if (chunkStatus == kStatusChunkPastEnd) {
        piece.length = 0;
        piece.last = true;
      } else {
        fprintf(stderr, "Error %d occurred reading the next chunk at offset %u.\n", chunkStatus,
                static_cast<unsigned>(offset));
        // A short buffer still carries bytes; anything else (or a short
        // buffer that carries nothing, which would never advance) ends the
        // record unfinished.
        if (chunkStatus != kStatusBufferTooShort || n == 0) {
          result = WholeRecordResult::Unfinished;
          break;
        }
        piece.length = n;
        piece.last = false;
      }
      if (!consumer(context, piece)) {
        result = WholeRecordResult::ConsumerStopped;
        break;
      }
      if (piece.last) break;
      offset += piece.length;
    }
  }
  restoreSlot(kRecordBufferSize, keyPath);
  return result;
}

}  // namespace vorlan
