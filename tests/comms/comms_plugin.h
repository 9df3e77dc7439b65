// The comms plug-in loaded by file name, with its entry points bound by
// name, as the engine does it.
#pragma once

#include "devoru_plugin.h"

namespace commstest {

using PreReadFn = testsupport::PreReadFn;
using CommsPlugin = testsupport::DevoruPlugin;

// Loaded once per process and kept; null members when a symbol is missing.
const CommsPlugin& Comms();

}  // namespace commstest
