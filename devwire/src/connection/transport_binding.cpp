#include "connection/transport_binding.h"

#include <cstring>

#include "devwire.h"
#include "termkit_config.h"

namespace devwire {
namespace {

// The plug-in's name text is its own constant; never trust it to be short.
constexpr size_t kMaxNameLength = 64;

template <typename Fn>
Fn Bind(platform::ModuleHandle module, const char* name) {
  return reinterpret_cast<Fn>(platform::FindSymbol(module, name));
}

}  // namespace

std::unique_ptr<TransportBinding> TransportBinding::Load(const char* plugin_file) {
  if (plugin_file == nullptr || *plugin_file == '\0') return nullptr;
  // Plug-ins are searched beside the engine first, then in the installed
  // tree's plug-in directory.
  platform::ModuleHandle module = platform::LoadLibraryByName(
      plugin_file, reinterpret_cast<const void*>(&DEVWIRE_INIT), TERMKIT_PLUGIN_DIR);
  if (module == nullptr) return nullptr;
  std::unique_ptr<TransportBinding> binding(new TransportBinding());
  binding->module_ = module;
  EntryPoints& e = binding->entry_;
  e.init = Bind<DEVORU_INIT_FN>(module, "DEVORU_INIT");
  e.initex = Bind<DEVORU_INITEX_FN>(module, "DEVORU_INITEX");
  e.close = Bind<DEVORU_CLOSE_FN>(module, "DEVORU_CLOSE");
  e.send = Bind<DEVORU_SEND_FN>(module, "DEVORU_SEND");
  e.read = Bind<DEVORU_READ_FN>(module, "DEVORU_READ");
  e.terminal_read = Bind<DEVORU_TERMINALREAD_FN>(module, "DEVORU_TERMINALREAD");
  e.name = Bind<DEVORU_NAME_FN>(module, "DEVORU_NAME");
  e.flush = Bind<DEVORU_FLUSH_FN>(module, "DEVORU_FLUSH");
  e.error = Bind<DEVORU_ERROR_FN>(module, "DEVORU_ERROR");
  return binding;
}

std::unique_ptr<TransportBinding> TransportBinding::FromEntryPoints(const EntryPoints& entry) {
  std::unique_ptr<TransportBinding> binding(new TransportBinding());
  binding->entry_ = entry;
  return binding;
}

TransportBinding::~TransportBinding() { platform::UnloadLibrary(module_); }

bool TransportBinding::HasRequired() const {
  return entry_.init && entry_.close && entry_.send && entry_.read;
}

void TransportBinding::BindModem() {
  if (module_ == nullptr) return;
  entry_.send_to_modem = Bind<DEVORU_SENDTOMODEM_FN>(module_, "DEVORU_SENDTOMODEM");
  entry_.read_from_modem = Bind<DEVORU_READFROMMODEM_FN>(module_, "DEVORU_READFROMMODEM");
}

std::string TransportBinding::QueryName(void* connection) const {
  if (entry_.name == nullptr) return {};
  const char* name = entry_.name(connection);
  if (name == nullptr) return {};
  return std::string(name, strnlen(name, kMaxNameLength));
}

TransportSizing SizingForName(std::string_view name) {
  // Only the first characters shown are compared.
  struct Row {
    std::string_view prefix;
    TransportSizing sizing;
  };
  static constexpr Row kRows[] = {
      {"TCP", {65544, 65544, 0, true}},
      {"UDP", {1032, 1032, 3000, false}},
      {"P4P", {65544, 65544, 3000, false}},
      {"USBDIRECT", {3096, 512, 5000, false}},
  };
  for (const Row& row : kRows) {
    if (name.substr(0, row.prefix.size()) == row.prefix) return row.sizing;
  }
  return {1032, 1032, 5000, false};
}

int32_t ConnectTimeoutAfterOpen(uint32_t open_ms) {
  constexpr uint32_t kCap = 60000;  // a transport read never waits longer anyway
  const uint32_t measured = open_ms == 0 ? 10 : (open_ms > kCap ? kCap : open_ms);
  return static_cast<int32_t>(measured + 1500);
}

}  // namespace devwire
