// The two entries of the embedded record manager: they check the position
// block, end a bundle that has grown old, and pass the call on to its
// operation.
#include "recordmanager/record_manager.h"

#include <mutex>

#include "recordmanager/durability.h"
#include "recordmanager/operations.h"
#include "recordmanager/os_services.h"

namespace vorlan::rm {

namespace {

int dispatch(Request& request) {
  uint32_t operation = request.operation;
  // Lock biases (100-400) ask for record locks, which every call of this
  // engine holds anyway for the length of the call.
  if (operation >= 100 && operation < 500) operation %= 100;

  switch (operation) {
    case kOpOpen: return openOperation(request);
    case kOpClose: return closeOperation(request);
    case kOpReset: return resetOperation();
    case kOpCreate: return createOperation(request);
    case kOpVersion: return versionOperation(request);
    default: break;
  }

  Handle* handle = handleOfBlock(request.positionBlock);
  if (!handle) return 3;
  endAgedBundle(handle->store);

  switch (operation) {
    case kOpInsert: return insertOperation(handle, request);
    case kOpUpdate: return updateOperation(handle, request);
    case kOpDelete: return deleteOperation(handle, request);
    case kOpGetEqual:
    case kOpGetNext:
    case kOpGetPrevious:
    case kOpGetGreater:
    case kOpGetGreaterOrEqual:
    case kOpGetLess:
    case kOpGetLessOrEqual:
    case kOpGetFirst:
    case kOpGetLast: return getOperation(handle, request, operation, false);
    case kOpGetEqual + kOpKeyBias:
    case kOpGetNext + kOpKeyBias:
    case kOpGetPrevious + kOpKeyBias:
    case kOpGetGreater + kOpKeyBias:
    case kOpGetGreaterOrEqual + kOpKeyBias:
    case kOpGetLess + kOpKeyBias:
    case kOpGetLessOrEqual + kOpKeyBias:
    case kOpGetFirst + kOpKeyBias:
    case kOpGetLast + kOpKeyBias: return getOperation(handle, request, operation - kOpKeyBias, true);
    case kOpStepNext:
    case kOpStepFirst:
    case kOpStepLast:
    case kOpStepPrevious: return stepOperation(handle, request, operation);
    case kOpStat: return statOperation(handle, request);
    case kOpGetPosition: return getPosition(handle, request);
    case kOpGetDirect: return getDirect(handle, request);
    case kOpUnlock: return 0;
    case kOpSetOwner: return setOwner(handle, request);
    case kOpClearOwner: return clearOwner(handle, request);
    case kOpGetNextExtended:
    case kOpGetPreviousExtended:
    case kOpStepNextExtended:
    case kOpStepPreviousExtended:
    case kOpDeleteExtended: return extendedOperation(handle, request, operation);
    case kOpMiscData: return miscDataOperation(handle, request);
    case kOpInsertWithSystemData: return insertWithSystemData(handle, request);
    case kOpUpdateChunk: return updateChunk(handle, request);
    case kOpExtendedStatistics: return extendedStatistics(handle, request);
    default: return 1;
  }
}

int call(uint32_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength, void* keyBuffer,
         uint32_t keyLength, int32_t keyNumber, bool wide) {
  Request request;
  request.operation = operation;
  request.positionBlock = positionBlock;
  request.data = static_cast<uint8_t*>(dataBuffer);
  request.dataLength = dataLength;
  request.capacity = (dataBuffer && dataLength) ? *dataLength : 0;
  request.key = static_cast<uint8_t*>(keyBuffer);
  request.keyLength = keyBuffer ? keyLength : 0;
  request.keyNumber = keyNumber;
  request.wide = wide;
  std::lock_guard<std::recursive_mutex> lock(engineLock());
  os::enterEngine();
  const int status = dispatch(request);
  os::leaveEngine();
  return status;
}

}  // namespace

int16_t standardEntry(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                      void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
  return static_cast<int16_t>(
      call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber, false));
}

int32_t wideEntry(uint32_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                  void* keyBuffer, uint32_t keyLength, int32_t keyNumber) {
  return call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber, true);
}

}  // namespace vorlan::rm
