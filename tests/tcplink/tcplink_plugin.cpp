#include "tcplink_plugin.h"

namespace tcplinktest {

namespace {

template <typename Fn>
Fn Bind(platform::ModuleHandle module, const char* name) {
  return reinterpret_cast<Fn>(platform::FindSymbol(module, name));
}

TcplinkPlugin Load() {
  TcplinkPlugin p;
  // Any function of this program: the plug-in is looked for beside it.
  p.module = platform::LoadLibraryByName("tcplink.dll", reinterpret_cast<const void*>(&Tcplink));
  if (p.module == nullptr) return p;
  p.init = Bind<DEVORU_INIT_FN>(p.module, "DEVORU_INIT");
  p.init_ex = Bind<DEVORU_INITEX_FN>(p.module, "DEVORU_INITEX");
  p.close = Bind<DEVORU_CLOSE_FN>(p.module, "DEVORU_CLOSE");
  p.send = Bind<DEVORU_SEND_FN>(p.module, "DEVORU_SEND");
  p.read = Bind<DEVORU_READ_FN>(p.module, "DEVORU_READ");
  p.pre_read = Bind<PreReadFn>(p.module, "DEVORU_PREREAD");
  p.terminal_read = Bind<DEVORU_TERMINALREAD_FN>(p.module, "DEVORU_TERMINALREAD");
  p.name = Bind<DEVORU_NAME_FN>(p.module, "DEVORU_NAME");
  p.error = Bind<DEVORU_ERROR_FN>(p.module, "DEVORU_ERROR");
  return p;
}

}  // namespace

const TcplinkPlugin& Tcplink() {
  static const TcplinkPlugin plugin = Load();
  return plugin;
}

}  // namespace tcplinktest
