// The per-connection cache of device options read with CMD_OPTIONS_RRQ.
//
// The cache sits inside the command path: a read may be answered from it
// without an exchange, and a write the terminal accepted updates it. Until
// the cache is filled by a probe, every option read goes to the terminal.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace devwire {

struct EngineConnection;

struct OptionCache {
  int32_t fills = 0;        // successful probes
  bool probe_done = false;  // the probe has been tried on this connection
};

// Answers an option read from the cache: true when `reply` now holds the
// answer and `code` the outcome, so no exchange is needed.
bool AnswerOptionRead(EngineConnection& connection, uint16_t& code,
                      std::span<const uint8_t> request, std::span<uint8_t> reply);

// Applies an option write ("name=value") that the terminal accepted.
void ApplyOptionWrite(EngineConnection& connection, const std::string& request);

}  // namespace devwire
