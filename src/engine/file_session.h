// File sessions: one engine control record per open file, the table of
// slots, and the ways of issuing the operation a session holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlan {

constexpr size_t kPositionBlockSize = 128;
constexpr size_t kSessionNameSize = 128;  // at most 127 characters
constexpr int kSessionSlots = 26;

struct FileSession {
  uint16_t operation = 0;
  unsigned char positionBlock[kPositionBlockSize] = {};
  void* dataBuffer = nullptr;
  uint16_t dataLength = 0;
  void* keyBuffer = nullptr;
  int16_t keyNumber = 0;
  char fileName[kSessionNameSize] = {};
};

extern FileSession sessionTable[kSessionSlots];

// Capability flags: -1 until the first successful open probes the engine.
extern int32_t engineExAvailable;
extern int32_t deleteExtendedAvailable;

// Issues the session's operation through the standard entry, traced at
// verbosity 2 and with its status reported; status 20 ends the process.
int callEngine(FileSession& session);
// Issues it through the wide entry, traced at verbosity 1 and 2; reports
// nothing.
int32_t callEngineEx(FileSession& session);
// The standard entry with neither trace nor report.
int callEngineQuiet(FileSession& session);

// Opens the file into the slot (owner may be nullptr for none). Returns 0, or
// 1 after the failure has been reported.
int openSession(const char* fileName, const char* ownerName, int slot);
// As openSession, but the Open itself is neither traced nor reported;
// returns the Open's status (0 = open).
uint16_t openSessionQuiet(const char* fileName, const char* ownerName, int slot);
// Close, then Reset (which releases every file the process holds). Returns
// the Reset's status.
int closeSession(int slot);

// Puts the table and the flags back to their state at process start.
void resetSessionsForTesting();

}  // namespace vorlan
