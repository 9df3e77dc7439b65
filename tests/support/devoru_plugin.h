// A transport plug-in loaded by file name, with its entry points bound by
// name, as the engine does it.
#pragma once

#include "devoru.h"
#include "platform/dynlib.h"

namespace testsupport {

typedef int32_t (*PreReadFn)(DEVORU_HANDLE handle);

struct DevoruPlugin {
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

template <typename Fn>
Fn BindEntry(platform::ModuleHandle module, const char* name) {
  return reinterpret_cast<Fn>(platform::FindSymbol(module, name));
}

// Loads "name.dll" (looked for beside this program); null members where the
// plug-in or a symbol is missing.
inline DevoruPlugin LoadDevoruPlugin(const char* file_name) {
  DevoruPlugin p;
  p.module =
      platform::LoadLibraryByName(file_name, reinterpret_cast<const void*>(&LoadDevoruPlugin));
  if (p.module == nullptr) return p;
  p.init = BindEntry<DEVORU_INIT_FN>(p.module, "DEVORU_INIT");
  p.init_ex = BindEntry<DEVORU_INITEX_FN>(p.module, "DEVORU_INITEX");
  p.close = BindEntry<DEVORU_CLOSE_FN>(p.module, "DEVORU_CLOSE");
  p.send = BindEntry<DEVORU_SEND_FN>(p.module, "DEVORU_SEND");
  p.read = BindEntry<DEVORU_READ_FN>(p.module, "DEVORU_READ");
  p.pre_read = BindEntry<PreReadFn>(p.module, "DEVORU_PREREAD");
  p.terminal_read = BindEntry<DEVORU_TERMINALREAD_FN>(p.module, "DEVORU_TERMINALREAD");
  p.name = BindEntry<DEVORU_NAME_FN>(p.module, "DEVORU_NAME");
  p.error = BindEntry<DEVORU_ERROR_FN>(p.module, "DEVORU_ERROR");
  return p;
}

}  // namespace testsupport
