#include "connection/engine_connection.h"

#include "exchange/reader_channel.h"

namespace devwire {

EngineConnection::EngineConnection(std::unique_ptr<TransportBinding> binding)
    : plugin(std::move(binding)) {}

EngineConnection::~EngineConnection() {
  // The reader goes first: it may be inside a transport read.
  StopReader(*this);
  if (transport != nullptr && plugin->entry().close != nullptr) plugin->entry().close(transport);
  transport = nullptr;
  // The remaining members free themselves; the plug-in is unloaded last.
}

}  // namespace devwire
