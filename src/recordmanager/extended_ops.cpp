// Get Next/Previous Extended (36, 37), Step Next/Previous Extended (38, 39)
// and DeleteExtended (85): the engine walks the key path (or physical
// order), tests each record against the descriptor's filter, and returns or
// deletes the matching ones.
#include <cstring>

#include "recordmanager/extended_filter.h"
#include "recordmanager/operations.h"
#include "recordmanager/record_access.h"
#include "recordmanager/record_writes.h"

namespace vorlan::rm {

namespace {

// One step along the walk from the current place; 0, 9 or an error.
int walkStep(Handle* handle, bool physical, bool forward) {
  Currency& c = handle->currency;
  if (physical) return stepPhysical(handle, forward ? kStepNext : kStepPrevious, c.position);
  int status = ensurePathValue(handle);
  if (status != 0) return status;
  return navigate(handle, c.path, forward ? kPathAfter : kPathBefore, c.value.data(), c.seq);
}

}  // namespace

int extendedOperation(Handle* handle, const Request& request, uint32_t operation) {
  Store* store = handle->store;
  Currency& c = handle->currency;
  const bool deleting = operation == kOpDeleteExtended;
  const bool physical = operation == kOpStepNextExtended || operation == kOpStepPreviousExtended;
  const bool forward = operation != kOpGetPreviousExtended && operation != kOpStepPreviousExtended;
  if (deleting && handle->readOnly) return 46;

  // The answer overwrites the descriptor: parse a copy.
  std::vector<uint8_t>& copy = handle->scratch;
  copy.assign(request.data, request.data + request.capacity);
  ExtendedDescriptor descriptor;
  if (parseExtendedDescriptor(copy.data(), static_cast<uint32_t>(copy.size()), &descriptor) != 0) return 62;
  if (descriptor.maxRecords == 0) return 62;
  if (request.capacity < 2) return 22;

  if (!physical) {
    KeyPath* path = findPath(store, request.keyNumber);
    if (!path) return 6;
    if (c.state == CurrencyState::kNone || !c.path) return 8;
    if (c.path != path) return 7;
  } else if (c.state == CurrencyState::kNone) {
    return 8;
  }

  uint32_t written = 2, found = 0, rejected = 0;
  int status = 0;
  bool first = true;
  for (;;) {
    if (first && descriptor.includeCurrent && c.state == CurrencyState::kOnRecord) {
      status = loadPosition(store, c.position);
    } else {
      status = walkStep(handle, physical, forward);
    }
    first = false;
    if (status != 0) break;
    const RecordCache& cache = store->cache;
    const uint32_t length = static_cast<uint32_t>(cache.data.size());
    if (!matchesFilter(descriptor, cache.data.data(), length)) {
      ++rejected;
      if (descriptor.rejectCount != 0 && rejected >= descriptor.rejectCount) {
        status = 60;
        break;
      }
      continue;
    }
    if (deleting) {
      status = deleteRecord(handle);
      if (status != 0) break;
    } else {
      if (!extractorFits(descriptor, length)) {
        status = 65;
        break;
      }
      const uint32_t n = writeExtractedRecord(descriptor, cache.data.data(), length,
                                              static_cast<uint64_t>(cache.position), request.wide,
                                              request.data + written, request.capacity - written);
      if (n == 0) {
        status = 22;
        break;
      }
      written += n;
    }
    if (++found >= descriptor.maxRecords) break;
  }
  putLittle(request.data, found, 2);
  request.answerLength(written);
  return status;
}

}  // namespace vorlan::rm
