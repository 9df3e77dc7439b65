// A command with its tries and the replies the engine answers from its own
// caches (firmware version, free sizes, options).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace devwire {

struct EngineConnection;

inline constexpr uint32_t kTryPauseMs = 100;  // before a command is tried again

// `code` holds the command on entry and the outcome on return; `data` is the
// command data, `reply` the caller's reply buffer (the two may overlap: the
// data is taken before any reply is written). Returns the reply's connection
// word, 0 when answered from a cache, -1 when the last attempt failed to go
// out, -2 when no reply came. `keep_reply`, when given, receives the whole
// payload of the deciding reply.
int32_t SendCommand(EngineConnection& connection, uint16_t& code, std::span<const uint8_t> data,
                    std::span<uint8_t> reply, int32_t timeout_ms,
                    std::vector<uint8_t>* keep_reply = nullptr);

}  // namespace devwire
