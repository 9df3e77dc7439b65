// The tcplink plug-in loaded by file name, with its entry points bound by
// name, as the engine does it.
#pragma once

#include "devoru_plugin.h"

namespace tcplinktest {

using PreReadFn = testsupport::PreReadFn;
using TcplinkPlugin = testsupport::DevoruPlugin;

// Loaded once per process and kept; null members when a symbol is missing.
const TcplinkPlugin& Tcplink();

}  // namespace tcplinktest
