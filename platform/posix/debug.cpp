// Developer trace output to standard error, enabled by TERMKIT_TRACE.
#include "platform/debug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

bool DebugOutputEnabled() {
  // Read once; thread-safe static initialisation.
  static const bool enabled = std::getenv("TERMKIT_TRACE") != nullptr;
  return enabled;
}

void DebugOutput(const char* text) {
  if (!DebugOutputEnabled() || text == nullptr) return;
  std::string line(text);
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  // One write per line so lines from different threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace platform
