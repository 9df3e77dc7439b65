// The tcplink plug-in loaded by file name, with its entry points bound by
// name, as the engine does it.
#pragma once

#include "devoru.h"
#include "platform/dynlib.h"

namespace tcplinktest {

typedef int32_t (*PreReadFn)(DEVORU_HANDLE handle);

struct TcplinkPlugin {
  platform::ModuleHandle module = nullptr;
  DEVORU_INIT_FN init = nullptr;
  DEVORU_INITEX_FN init_ex = nullptr;
  DEVORU_CLOSE_FN close = nullptr;
  DEVORU_SEND_FN send = nullptr;
  DEVORU_READ_FN read = nullptr;
  PreReadFn pre_read = nullptr;
  DEVORU_TERMINALREAD_FN terminal_read = nullptr;
  DEVORU_NAME_FN name = nullptr;
  DEVORU_ERROR_FN error = nullptr;
};

// Loaded once per process and kept; null members when a symbol is missing.
const TcplinkPlugin& Tcplink();

}  // namespace tcplinktest
