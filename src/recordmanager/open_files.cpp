// The process-wide table of open files.
#include "recordmanager/open_files.h"

#include <algorithm>
#include <cstring>

namespace vorlan::rm {

namespace {

constexpr uint8_t kMagic[4] = {'V', 'R', 'L', 'N'};

struct Slot {
  uint64_t generation = 0;
  std::unique_ptr<Handle> handle;
};

// Never destroyed: the process-end flush runs after static destructors.
std::vector<Slot>& slots() {
  static auto* table = new std::vector<Slot>;
  return *table;
}

std::vector<std::unique_ptr<Store>>& stores() {
  static auto* list = new std::vector<std::unique_ptr<Store>>;
  return *list;
}

uint64_t nextGeneration = 1;

bool readIdentity(const void* positionBlock, uint32_t* index, uint64_t* generation) {
  if (!positionBlock) return false;
  const auto* block = static_cast<const uint8_t*>(positionBlock);
  if (std::memcmp(block, kMagic, 4) != 0) return false;
  std::memcpy(index, block + 4, 4);
  std::memcpy(generation, block + 8, 8);
  return true;
}

}  // namespace

Handle* handleOfBlock(const void* positionBlock) {
  uint32_t index = 0;
  uint64_t generation = 0;
  if (!readIdentity(positionBlock, &index, &generation)) return nullptr;
  auto& table = slots();
  if (index >= table.size()) return nullptr;
  Slot& slot = table[index];
  if (!slot.handle || slot.generation != generation) return nullptr;
  return slot.handle.get();
}

Handle* newHandle(Store* store, void* positionBlock) {
  auto& table = slots();
  uint32_t index = 0;
  while (index < table.size() && table[index].handle) ++index;
  if (index == table.size()) table.emplace_back();
  Slot& slot = table[index];
  slot.generation = nextGeneration++;
  slot.handle = std::make_unique<Handle>();
  slot.handle->store = store;
  auto* block = static_cast<uint8_t*>(positionBlock);
  std::memset(block, 0, kPositionBlockSize);
  std::memcpy(block, kMagic, 4);
  std::memcpy(block + 4, &index, 4);
  std::memcpy(block + 8, &slot.generation, 8);
  return slot.handle.get();
}

void dropHandle(void* positionBlock) {
  uint32_t index = 0;
  uint64_t generation = 0;
  if (!readIdentity(positionBlock, &index, &generation)) return;
  auto& table = slots();
  if (index >= table.size() || table[index].generation != generation) return;
  table[index].handle.reset();
  std::memset(positionBlock, 0, 16);
}

void dropAllHandles() {
  for (Slot& slot : slots()) {
    slot.handle.reset();
    slot.generation = 0;
  }
}

Store* findStore(uint64_t device, uint64_t inode) {
  for (auto& store : stores())
    if (!store->inherited && store->device == device && store->inode == inode) return store.get();
  return nullptr;
}

Store* addStore(std::unique_ptr<Store> store) {
  stores().push_back(std::move(store));
  return stores().back().get();
}

void removeStore(Store* store) {
  auto& list = stores();
  auto it = std::find_if(list.begin(), list.end(), [store](const auto& s) { return s.get() == store; });
  if (it == list.end()) return;
  closeStore(store);
  list.erase(it);
}

std::vector<Store*> allStores() {
  std::vector<Store*> list;
  for (auto& store : stores())
    if (!store->inherited) list.push_back(store.get());
  return list;
}

void disownAfterFork() {
  // The connections and locks belong to the parent: leave them untouched
  // (never closed, never committed) and forget every handle.
  for (auto& store : stores()) store->inherited = true;
  for (Slot& slot : slots()) {
    slot.handle.reset();  // a handle owns nothing of its store
    slot.generation = 0;
  }
}

}  // namespace vorlan::rm
