// Uploading data to the terminal: the data in chunks, then the command that
// tells the terminal what to do with it.
#pragma once

#include <cstdint>
#include <span>

namespace devwire {

struct EngineConnection;

// Pacing of the chunk loop, in milliseconds.
inline constexpr int32_t kPacingStepMs = 500;    // added after a reply wait timed out
inline constexpr int32_t kPacingLimitMs = 5000;  // past this a silent terminal ends the upload
inline constexpr int32_t kMinPacingMs = 150;  // never less per chunk (serial lines: the time-out)
inline constexpr int kSendsPerChunk = 5;
inline constexpr int32_t kFreeDataTimeoutMs = 3000;

// Sends `data` with CMD_PREPARE_DATA and CMD_DATA chunks. True when every
// byte went out and was acknowledged.
bool SendData(EngineConnection& connection, std::span<const uint8_t> data, int32_t timeout_ms);

// Uploads `data`, has the terminal check its hash, then sends `code` with
// `params` as its data and releases the terminal's copy. The outcome is in
// `code`; the result is that of the last command sent.
int32_t SendCommandWithData(EngineConnection& connection, uint16_t& code,
                            std::span<const uint8_t> data, std::span<const uint8_t> params,
                            int32_t timeout_ms);

}  // namespace devwire
