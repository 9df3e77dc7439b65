// A loaded transport plug-in and the DEVORU_ entry points bound from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "devoru.h"
#include "platform/dynlib.h"

namespace devwire {

// The contract's entry points, in the order the connection record keeps
// them; absent ones are null.
struct EntryPoints {
  DEVORU_INIT_FN init = nullptr;
  DEVORU_INITEX_FN initex = nullptr;
  DEVORU_CLOSE_FN close = nullptr;
  DEVORU_SEND_FN send = nullptr;
  DEVORU_READ_FN read = nullptr;
  DEVORU_TERMINALREAD_FN terminal_read = nullptr;
  DEVORU_NAME_FN name = nullptr;
  DEVORU_FLUSH_FN flush = nullptr;
  DEVORU_ERROR_FN error = nullptr;
  // Bound only for a dial-up line.
  DEVORU_SENDTOMODEM_FN send_to_modem = nullptr;
  DEVORU_READFROMMODEM_FN read_from_modem = nullptr;
};

class TransportBinding {
 public:
  // Loads the plug-in file (a system name such as "comms.dll") and binds the
  // contract by name. Null when the file cannot be loaded.
  static std::unique_ptr<TransportBinding> Load(const char* plugin_file);

  // A binding to entry points that live in this process already (no module
  // to unload); used to drive the engine over an in-process transport.
  static std::unique_ptr<TransportBinding> FromEntryPoints(const EntryPoints& entry);

  ~TransportBinding();
  TransportBinding(const TransportBinding&) = delete;
  TransportBinding& operator=(const TransportBinding&) = delete;

  const EntryPoints& entry() const { return entry_; }

  // DEVORU_INIT, DEVORU_CLOSE, DEVORU_SEND and DEVORU_READ are present.
  bool HasRequired() const;

  // Binds the two modem functions as well.
  void BindModem();

  // The transport's name, or empty when the plug-in has no DEVORU_NAME.
  // `connection` is handed to the plug-in, which ignores it.
  std::string QueryName(void* connection) const;

 private:
  TransportBinding() = default;

  platform::ModuleHandle module_ = nullptr;
  EntryPoints entry_;
};

// How a connection is sized for its transport.
struct TransportSizing {
  size_t buffer_size;          // bytes allocated for receiveBuffer
  int32_t receive_length;      // largest packet read or sent
  int32_t connect_timeout_ms;  // time-out of the connect command
  bool timeout_from_open;      // TCP: the time the transport's open took, plus 1500 ms
};

// Sizing by the first characters of the transport's name; an unknown or
// missing name gets the serial-line sizing.
TransportSizing SizingForName(std::string_view name);

// The TCP connect time-out: the open's duration (10 ms when it measured 0)
// plus 1500 ms.
int32_t ConnectTimeoutAfterOpen(uint32_t open_ms);

}  // namespace devwire
