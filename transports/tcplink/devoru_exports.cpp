// The transport contract's entry points, as the engine binds them by name.
#include <atomic>
#include <cstdint>
#include <span>

#include "devoru.h"
#include "tcp_transport.h"

namespace {

tcplink::TcpTransport* AsTransport(DEVORU_HANDLE handle) {
  return static_cast<tcplink::TcpTransport*>(handle);
}

constexpr char kTransportName[] = "TCP";

// Error of the last failed open, for DEVORU_ERROR(null); read once.
std::atomic<int32_t> open_error{0};

}  // namespace

extern "C" {

// The status pointer is not used by this transport.
DEVORU_EXPORT DEVORU_HANDLE DEVORU_INITEX(const char* address, int32_t p1, int32_t p2,
                                          int32_t* status) {
  int32_t error = 0;
  DEVORU_HANDLE handle = nullptr;
  try {
    handle = tcplink::TcpTransport::Open(address, p1, p2, &error).release();
  } catch (...) {
    error = tcplink::kErrNoFrameBuffer;
  }
  if (handle == nullptr && error != 0) open_error.store(error);
  return handle;
}

DEVORU_EXPORT DEVORU_HANDLE DEVORU_INIT(const char* address, int32_t p1, int32_t p2) {
  return DEVORU_INITEX(address, p1, p2, nullptr);
}

DEVORU_EXPORT int32_t DEVORU_CLOSE(DEVORU_HANDLE handle) {
  if (handle == nullptr) return 0;
  delete AsTransport(handle);
  return 1;
}

DEVORU_EXPORT int32_t DEVORU_SEND(DEVORU_HANDLE handle, const void* bytes, int32_t length) {
  if (handle == nullptr || bytes == nullptr || length <= 0) return 0;
  return AsTransport(handle)->Send(
      std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), static_cast<size_t>(length)));
}

DEVORU_EXPORT int32_t DEVORU_READ(DEVORU_HANDLE handle, void* buffer, int32_t size,
                                  int32_t timeout_ms) {
  if (handle == nullptr || size < 0) return 0;
  // Without a buffer a frame is still taken off the line, and dropped.
  std::span<uint8_t> out;
  if (buffer != nullptr && size > 0)
    out = std::span<uint8_t>(static_cast<uint8_t*>(buffer), static_cast<size_t>(size));
  return AsTransport(handle)->Read(out, timeout_ms > 0 ? static_cast<uint32_t>(timeout_ms) : 0);
}

DEVORU_EXPORT int32_t DEVORU_PREREAD(DEVORU_HANDLE handle) {
  return DEVORU_READ(handle, nullptr, 0, 0);
}

DEVORU_EXPORT int32_t DEVORU_TERMINALREAD(DEVORU_HANDLE handle) {
  if (handle == nullptr) return 0;
  AsTransport(handle)->InterruptReads();
  return 1;
}

DEVORU_EXPORT const char* DEVORU_NAME(void* ignored) { return kTransportName; }

// With no handle: the error of the last failed open, then cleared. A handle
// reports its failures through the results of send and read.
DEVORU_EXPORT int32_t DEVORU_ERROR(DEVORU_HANDLE handle) {
  if (handle != nullptr) return 0;
  return open_error.exchange(0);
}

}  // extern "C"
