// The engine's exported C functions: check the arguments, call the engine,
// map the outcome. Nothing is thrown across this border.
#include <algorithm>
#include <atomic>
#include <memory>
#include <span>

#include "connection/connection_open.h"
#include "devwire.h"
#include "connection/engine_connection.h"
#include "exchange/send_command.h"
#include "exchange/wait_bound.h"
#include "bulk/upload.h"
#include "wire/codes.h"
#include "wire/packet.h"

using devwire::EngineConnection;

namespace {

// The error of the last open in this process.
std::atomic<int32_t> g_init_error{0};

EngineConnection* Connection(DEVWIRE_HANDLE handle) {
  return static_cast<EngineConnection*>(handle);
}

// Runs `body`, turning any escaping exception (out of memory) into `on_error`.
template <typename R, typename F>
R Guarded(R on_error, F&& body) {
  try {
    return body();
  } catch (...) {
    return on_error;
  }
}

int32_t NonNegative(int32_t value) { return std::max(value, 0); }

}  // namespace

extern "C" {

DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_INIT(const char* plugin, const char* address, int32_t p1,
                                        int32_t p2, DEVWIRE_EVENT_CALLBACK callback, void* context,
                                        int32_t comm_password, int32_t* peer_limit) {
  return Guarded<DEVWIRE_HANDLE>(nullptr, [&]() -> DEVWIRE_HANDLE {
    devwire::OpenParams params;
    params.address = address != nullptr ? address : "";
    params.p1 = p1;
    params.p2 = p2;
    params.callback = callback;
    params.context = context;
    params.comm_password = static_cast<uint32_t>(comm_password);
    params.peer_limit = peer_limit;
    g_init_error = DEVWIRE_E_NO_MEMORY;  // stands if the open runs out of memory
    devwire::OpenResult opened = devwire::OpenConnection(plugin, params);
    g_init_error = opened.error;
    return opened.connection.release();
  });
}

DEVWIRE_API void DEVWIRE_CLOSE(DEVWIRE_HANDLE handle) {
  if (handle == nullptr) return;
  try {
    devwire::CloseConnection(std::unique_ptr<EngineConnection>(Connection(handle)));
  } catch (...) {
  }
}

DEVWIRE_API int32_t DEVWIRE_SENDCMD(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                    int32_t buffer_size, int32_t data_length, int32_t timeout_ms) {
  if (handle == nullptr || code == nullptr) return -1;
  if (buffer_size < 0 || data_length < 0 ||
      (buffer == nullptr && (buffer_size > 0 || data_length > 0))) {
    *code = wire::CMD_ACK_ERROR_CMD;
    return -1;
  }
  return Guarded<int32_t>(-1, [&] {
    auto* bytes = static_cast<uint8_t*>(buffer);
    const auto size = [](int32_t n) { return static_cast<size_t>(n); };
    return devwire::SendCommand(
        *Connection(handle), *code, std::span<const uint8_t>(bytes, size(data_length)),
        std::span<uint8_t>(bytes, size(buffer_size)), NonNegative(timeout_ms));
  });
}

DEVWIRE_API int32_t DEVWIRE_SENDDATA(DEVWIRE_HANDLE handle, const void* data, int32_t length,
                                     int32_t timeout_ms) {
  if (handle == nullptr || length < 0 || (data == nullptr && length > 0)) return 0;
  return Guarded<int32_t>(0, [&] {
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<size_t>(length));
    return devwire::SendData(*Connection(handle), bytes, NonNegative(timeout_ms)) ? 1 : 0;
  });
}

DEVWIRE_API int32_t DEVWIRE_SENDCMDDATA(DEVWIRE_HANDLE handle, uint16_t* code, const void* data,
                                        int32_t length, const void* params, int32_t param_length,
                                        int32_t timeout_ms) {
  if (handle == nullptr || code == nullptr) return 0;
  if (length < 0 || param_length < 0 || (data == nullptr && length > 0) ||
      (params == nullptr && param_length > 0)) {
    *code = wire::CMD_ACK_ERROR_CMD;
    return 0;
  }
  return Guarded<int32_t>(0, [&] {
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<size_t>(length));
    std::span<const uint8_t> block(static_cast<const uint8_t*>(params),
                                   static_cast<size_t>(param_length));
    return devwire::SendCommandWithData(*Connection(handle), *code, bytes, block,
                                        NonNegative(timeout_ms));
  });
}

DEVWIRE_API int32_t DEVWIRE_LASTERROR(DEVWIRE_HANDLE handle) {
  if (handle == nullptr) return g_init_error.exchange(0);
  EngineConnection& c = *Connection(handle);
  const int32_t error = c.last_error.exchange(0);
  if (error != 0) return error;
  return c.entry().error != nullptr ? c.entry().error(c.transport) : 0;
}

DEVWIRE_API int32_t DEVWIRE_REPLYLENGTH(DEVWIRE_HANDLE handle) {
  if (handle == nullptr) return -1;
  return Connection(handle)->last_reply_bytes;
}

DEVWIRE_API int32_t DEVWIRE_CONNECTSTATUS(DEVWIRE_HANDLE handle) {
  if (handle == nullptr) return -1;
  return Connection(handle)->connect_status;
}

DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_SetOperate(DEVWIRE_HANDLE handle, int32_t value) {
  if (handle != nullptr) {
    devwire::EngineConnection* c = Connection(handle);
    c->abort_flag = value;
    // A read waiting on the calling thread ends now, not at its time-out.
    if (value == 1) devwire::InterruptDirectRead(*c);
  }
  return handle;
}

DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_SetParameter(DEVWIRE_HANDLE handle, int32_t selector,
                                                int32_t value) {
  if (handle != nullptr && selector == 0) Connection(handle)->free_sizes_cache_off = value;
  return handle;
}

DEVWIRE_API int32_t SetBuffLen(DEVWIRE_HANDLE handle, int32_t length) {
  if (handle == nullptr) return -1;
  EngineConnection& c = *Connection(handle);
  // The buffer never changes, so the length stays within it; a packet needs
  // at least its header.
  const int32_t allocated = static_cast<int32_t>(c.receive_buffer.size());
  const int32_t applied = std::clamp(length, static_cast<int32_t>(wire::kHeaderSize), allocated);
  c.receive_length = applied;
  return applied;
}

}  // extern "C"
