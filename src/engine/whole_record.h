// Reading one whole record: its physical position, its system data values,
// its bytes and, for a record longer than the record buffer, its remaining
// chunks, delivered to a consumer piece by piece. Everything runs on slot 1.
#pragma once

#include <cstdint>

namespace vorlan {

struct FileSession;

constexpr uint16_t kRecordBufferSize = 64129;
constexpr uint32_t kKeyBufferSize = 256;

// The buffers all record loops share; between operations slot 1 designates
// them, with data length kRecordBufferSize.
extern unsigned char recordBuffer[kRecordBufferSize];
extern unsigned char keyBuffer[kKeyBufferSize];

constexpr int kSystemDataKey = 125;
constexpr int kUpdateSystemDataKey = 124;

// A physical position as Get Position gives it: 4 bytes through the standard
// entry, 8 through the wide one.
using RecordPosition = uint64_t;

struct SystemData {
  uint64_t sysData = 0;        // key 125; 0 = none
  uint64_t updateSysData = 0;  // key 124; 0 = none
};

struct ChunkDescriptor {
  uint32_t subfunction = 0xC0000000;
  uint32_t numberOfChunks = 1;
  uint32_t chunkOffset = 0;
  uint32_t chunkLength = 0;
  uint32_t userData = 0;
};
constexpr uint32_t kChunkDescriptorSize = 20;
void writeChunkDescriptor(unsigned char* out, const ChunkDescriptor& descriptor);

struct RecordPiece {
  const unsigned char* bytes = nullptr;  // the start of recordBuffer
  uint16_t length = 0;
  bool first = false;
  bool last = false;
  SystemData systemData;
};

// Receives the pieces of a record in order; false stops the delivery (the
// consumer could not take the piece, e.g. a write failed).
using PieceConsumer = bool (*)(void* context, const RecordPiece& piece);

enum class WholeRecordResult {
  Delivered,         // every piece, the last one included
  NothingDelivered,  // the re-fetch failed; nothing of the record was given
  Unfinished,        // pieces were given but no last one (a chunk read failed)
  ConsumerStopped,   // the consumer refused a piece
};

// True when positions are 8 bytes and requests go through the wide entry.
bool usesWideEntry();

int readRecordPosition(RecordPosition& position);
int readSystemData(RecordPosition position, bool withUpdate, SystemData& values);
int refetchRecord(RecordPosition position, int keyPath);
int readNextChunk(RecordPosition position, uint32_t offset);

// The same requests on any session, with the request built in `buffer`
// (at least kRecordBufferSize bytes): for reading another file's record
// whole. The session's key buffer is left as it was.
int readPositionOf(FileSession& session, RecordPosition& position);
int readSystemKeyOf(FileSession& session, unsigned char* buffer, RecordPosition position, int key,
                    uint64_t& value);
int readChunkOf(FileSession& session, unsigned char* buffer, RecordPosition position,
                uint32_t offset);

// Completes the record just fetched into recordBuffer through slot 1 with
// the given status (0 or 22). `given`, when not null, is system data the
// caller already knows (no system-data read, no re-fetch). `position`
// receives the record's position (0 when it could not be read). Afterwards
// slot 1 designates recordBuffer with data length kRecordBufferSize,
// keyBuffer and the key path, ready for the next fetch.
WholeRecordResult readWholeRecord(int fetchStatus, int keyPath, const SystemData* given,
                                  PieceConsumer consumer, void* context,
                                  RecordPosition* position = nullptr);

}  // namespace vorlan
