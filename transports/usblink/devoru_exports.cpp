// The transport contract's entry points, as the engine binds them by name.
// There is no DEVORU_FLUSH and no DEVORU_PREREAD on this transport.
#include <cstdint>
#include <new>
#include <span>

#include "devoru.h"
#include "drive_file.h"
#include "usb_transport.h"

namespace {

usblink::UsbTransport* AsTransport(DEVORU_HANDLE handle) {
  return static_cast<usblink::UsbTransport*>(handle);
}

constexpr char kTransportName[] = "USBDisk";

}  // namespace

extern "C" {

// The address text, the third argument and the status pointer are not used:
// the terminal is the first drive holding the device file.
DEVORU_EXPORT DEVORU_HANDLE DEVORU_INITEX(const char* address, int32_t device_number, int32_t p2,
                                          int32_t* status) {
  try {
    auto file = usblink::OpenTerminalDrive();
    if (file == nullptr) return nullptr;
    return new (std::nothrow) usblink::UsbTransport(std::move(file), device_number);
  } catch (...) {
    return nullptr;
  }
}

DEVORU_EXPORT DEVORU_HANDLE DEVORU_INIT(const char* address, int32_t device_number, int32_t p2) {
  return DEVORU_INITEX(address, device_number, p2, nullptr);
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
  if (handle == nullptr || buffer == nullptr || size <= 0) return 0;
  const std::span<uint8_t> out(static_cast<uint8_t*>(buffer), static_cast<size_t>(size));
  return AsTransport(handle)->Read(out, timeout_ms > 0 ? static_cast<uint32_t>(timeout_ms) : 0);
}

DEVORU_EXPORT int32_t DEVORU_TERMINALREAD(DEVORU_HANDLE handle) {
  if (handle == nullptr) return 0;
  AsTransport(handle)->InterruptReads();
  return 1;
}

DEVORU_EXPORT const char* DEVORU_NAME(void* ignored) { return kTransportName; }

DEVORU_EXPORT int32_t DEVORU_ERROR(DEVORU_HANDLE handle) { return 0; }

}  // extern "C"
