#include "trace.h"

#include <string>

#include "platform/debug.h"
#include "wire/codes.h"

namespace devwire {

void TraceExchange(uint16_t command, uint16_t outcome, int32_t result) {
  if (!platform::DebugOutputEnabled()) return;
  const std::string line = "devwire: " + wire::CodeName(command) + " -> " +
                           wire::CodeName(outcome) + " (" + std::to_string(result) + ")";
  platform::DebugOutput(line.c_str());
}

void TraceLine(const char* text) {
  if (!platform::DebugOutputEnabled()) return;
  const std::string line = std::string("devwire: ") + text;
  platform::DebugOutput(line.c_str());
}

}  // namespace devwire
