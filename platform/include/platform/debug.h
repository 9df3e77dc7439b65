// Debug output: trace lines for developers, off unless TERMKIT_TRACE is set
// in the environment (then written to standard error).
#pragma once

namespace platform {

void DebugOutput(const char* text);
bool DebugOutputEnabled();

}  // namespace platform
