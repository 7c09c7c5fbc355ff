// The process-wide table of open files: the stores (one per file, shared by
// every position block of this process that opens it) and the handles (one
// per open position block, with its currency). The 128-byte position block
// carries a handle's index and generation, so a stale or foreign block is
// recognised and answered with status 3.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "recordmanager/store.h"

namespace vorlan::rm {

constexpr uint32_t kPositionBlockSize = 128;

enum class CurrencyState { kNone, kOnRecord, kBetween };

// Where a position block stands: the logical key path and the record (or,
// after a Delete, the place between records where the deleted one was), and
// the chunk cursor of the next-in-record chunk bias.
struct Currency {
  KeyPath* path = nullptr;  // logical key path; nullptr: physical only
  CurrencyState state = CurrencyState::kNone;
  int64_t position = 0;
  std::vector<uint8_t> value;  // stored value of the record on `path`
  int64_t seq = 0;
  bool valueKnown = false;
  int64_t chunkPosition = 0;  // record of the chunk cursor (0: none)
  uint64_t chunkOffset = 0;   // byte after the last one read or written
};

struct Handle {
  Store* store = nullptr;
  Currency currency;
  bool readOnly = false;
  bool exclusive = false;
  int lastDuplicateKey = -1;  // key of the last duplicate an insert met
  std::vector<uint8_t> scratch;
};

// Handle of a position block, or nullptr (status 3).
Handle* handleOfBlock(const void* positionBlock);

// Registers a new handle and writes its identity into the position block.
Handle* newHandle(Store* store, void* positionBlock);

// Forgets a handle (its store is released by the caller) and clears the
// identity in the position block.
void dropHandle(void* positionBlock);

// Forgets every handle (Reset, after the stores are closed).
void dropAllHandles();

// Stores by file identity.
Store* findStore(uint64_t device, uint64_t inode);
Store* addStore(std::unique_ptr<Store> store);
void removeStore(Store* store);  // closes it
std::vector<Store*> allStores();

// After fork(): every store and handle belongs to the parent; the child
// forgets them without touching their connections.
void disownAfterFork();

}  // namespace vorlan::rm
