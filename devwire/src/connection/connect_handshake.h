// The connect handshake: CMD_CONNECT, and CMD_AUTH when the terminal asks
// for the comm password.
#pragma once

#include <cstdint>
#include <span>

namespace devwire {

struct EngineConnection;

inline constexpr size_t kConnectReplySize = 256;
inline constexpr int32_t kAuthTimeoutMs = 5000;

// Runs the handshake on an opened transport. Returns 0 when the terminal
// accepted the connection, else the open error (DEVWIRE_E_*). `peer_limit`
// (may be null) receives the terminal's peer-to-peer limit when a
// peer-to-peer transport is refused for too many peers.
int32_t ConnectHandshake(EngineConnection& connection, int32_t connect_timeout_ms,
                         uint32_t comm_password, int32_t* peer_limit);

// The value of the "~MaxP2PConnCnt=" line of a refusal text (lines end in
// line feeds; the key starts the text or follows a line feed). -1 when no
// line holds it. Never reads past `text`.
int32_t ParsePeerLimit(std::span<const uint8_t> text);

}  // namespace devwire
