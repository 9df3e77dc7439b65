// The engine's exported bulk reads: check the arguments, run the read, map
// the outcome. Nothing is thrown across this border.
#include <algorithm>
#include <span>

#include "bulk/buffered.h"
#include "bulk/constants.h"
#include "bulk/dispatch.h"
#include "bulk/large_block.h"
#include "bulk/memory.h"
#include "bulk/piecewise.h"
#include "bulk/streamed.h"
#include "devwire.h"
#include "connection/engine_connection.h"
#include "wire/codes.h"

using devwire::EngineConnection;

namespace {

EngineConnection& Connection(DEVWIRE_HANDLE handle) {
  return *static_cast<EngineConnection*>(handle);
}

// Runs `body`; an escaping exception (out of memory) becomes `on_error`.
template <typename F>
int32_t Guarded(int32_t on_error, F&& body) {
  try {
    return body();
  } catch (...) {
    return on_error;
  }
}

// A caller's buffer of `size` bytes; false when the pair cannot describe one.
bool ValidBuffer(const void* buffer, int32_t size) {
  return size >= 0 && (buffer != nullptr || size == 0);
}

// A caller's buffer whose first `request_length` bytes are the request.
// False with CMD_ACK_ERROR_CMD in the code slot when they do not fit.
bool ValidRequest(uint16_t* code, const void* buffer, int32_t size, int32_t request_length) {
  if (ValidBuffer(buffer, size) && request_length >= 0 && request_length <= size) return true;
  *code = wire::CMD_ACK_ERROR_CMD;
  return false;
}

std::span<uint8_t> Bytes(void* buffer, int32_t size) {
  return {static_cast<uint8_t*>(buffer), static_cast<size_t>(size)};
}

}  // namespace

extern "C" {

DEVWIRE_API int32_t DEVWIRE_READDATA(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                     int32_t buffer_size, int32_t param_length, int32_t block_size,
                                     int32_t timeout_ms) {
  if (handle == nullptr || code == nullptr) return -1;
  if (!ValidRequest(code, buffer, buffer_size, param_length)) return -1;
  return Guarded(-1, [&] {
    return devwire::ReadData(Connection(handle), *code, Bytes(buffer, buffer_size),
                             static_cast<size_t>(param_length), block_size,
                             std::max(timeout_ms, 0));
  });
}

DEVWIRE_API int32_t DEVWIRE_READDATA1(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                      int32_t buffer_size, int32_t data_length, int32_t verify,
                                      int32_t timeout_ms) {
  if (handle == nullptr || code == nullptr) return -1;
  if (!ValidRequest(code, buffer, buffer_size, data_length)) return -1;
  return Guarded(-1, [&] {
    const auto bytes = Bytes(buffer, buffer_size);
    const devwire::BulkResult r = devwire::StreamedRead(
        Connection(handle), *code, bytes.first(static_cast<size_t>(data_length)), bytes,
        verify != 0, std::max(timeout_ms, 0));
    *code = r.outcome;
    return r.result;
  });
}

DEVWIRE_API int32_t DEVWIRE_READDATA2(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                      int32_t buffer_size, int32_t param_length, int32_t block_size,
                                      int32_t timeout_ms) {
  if (handle == nullptr || code == nullptr) return -1;
  if (!ValidRequest(code, buffer, buffer_size, param_length)) return -1;
  return Guarded(-1, [&] {
    const auto bytes = Bytes(buffer, buffer_size);
    return devwire::BufferedRead(Connection(handle), *code,
                                 bytes.first(static_cast<size_t>(param_length)), bytes, block_size,
                                 std::max(timeout_ms, 0));
  });
}

DEVWIRE_API int32_t DEVWIRE_READDB(DEVWIRE_HANDLE handle, int32_t selector, int32_t block_size,
                                   void* buffer, int32_t* buffer_size) {
  if (handle == nullptr || buffer_size == nullptr || !ValidBuffer(buffer, *buffer_size)) return -1;
  return Guarded(-1, [&] {
    return devwire::ReadDatabase(Connection(handle), static_cast<uint8_t>(selector), block_size,
                                 Bytes(buffer, *buffer_size));
  });
}

DEVWIRE_API int32_t DEVWIRE_READMEMORY(DEVWIRE_HANDLE handle, int32_t command, int32_t offset,
                                       int32_t size, int32_t block_size, int32_t tries,
                                       void* destination) {
  if (handle == nullptr || offset < 0 || !ValidBuffer(destination, size)) return -1;
  return Guarded(-1, [&] {
    return devwire::ReadMemory(Connection(handle), static_cast<uint16_t>(command),
                               static_cast<uint32_t>(offset), Bytes(destination, size), block_size,
                               tries);
  });
}

DEVWIRE_API int32_t READDATA_PICE_BY_PICE(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                          int32_t unused1, int32_t unused2, int32_t buffer_size,
                                          int32_t unused3, int32_t timeout_ms, int32_t unused4) {
  if (handle == nullptr || code == nullptr) return -1;
  if (!ValidRequest(code, buffer, buffer_size, 0)) return -1;
  return Guarded(-1, [&] {
    const devwire::BulkResult r = devwire::PiecewiseRead(
        Connection(handle), *code, Bytes(buffer, buffer_size), std::max(timeout_ms, 0));
    *code = r.outcome;
    return r.result;
  });
}

DEVWIRE_API int32_t ReadBlock_LargeTmp(DEVWIRE_HANDLE handle, void* buffer, int32_t start,
                                       int32_t count, int32_t timeout_ms) {
  if (handle == nullptr || buffer == nullptr || start < 0 || count < 0) return -1;
  return Guarded(-1, [&] {
    return devwire::ReadLargeBlock(
        Connection(handle), Bytes(buffer, static_cast<int32_t>(devwire::kLargeBlockArea)),
        static_cast<uint32_t>(start), static_cast<uint32_t>(count), std::max(timeout_ms, 0));
  });
}

}  // extern "C"
