// Cuts a TCP byte stream into the engine's packets.
//
// Every packet travels behind an 8-byte header: the magic 50 50 82 7D and
// the packet's length (unsigned, little-endian). The stream comes from the
// terminal, so nothing in it is trusted: bytes before a magic are skipped,
// a header whose length no packet can have is taken as garbage and the
// search for a magic goes on, and at most one frame is held at any time.
// No sockets here: the transport feeds the bytes it received.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tcplink {

inline constexpr std::array<uint8_t, 4> kFrameMagic = {0x50, 0x50, 0x82, 0x7D};
inline constexpr size_t kFrameHeaderSize = 8;
// A packet is at least its own 8-byte header and at most 65536 payload
// bytes behind it.
inline constexpr uint32_t kMinFramedPacket = 8;
inline constexpr uint32_t kMaxFramedPacket = 65544;

class TcpFrameReader {
 public:
  TcpFrameReader();

  // Takes bytes from the front of `bytes`, up to the end of the first frame
  // that completes; the rest is left to the caller for the next call.
  // Returns how many bytes were taken. Takes nothing while a whole packet
  // waits to be collected.
  size_t Feed(std::span<const uint8_t> bytes);

  // A whole packet has arrived.
  bool Ready() const { return state_ == State::kReady; }
  // The packet while Ready(); empty otherwise.
  std::span<const uint8_t> Packet() const;
  // Drops the packet, so the next frame can be read.
  void Release();

  // Forgets everything, a partial frame included (a new connection).
  void Reset();

  // Frame headers accepted so far (valid magic and length).
  uint32_t headers_seen() const { return headers_seen_; }
  // Bytes skipped as garbage so far.
  uint64_t bytes_skipped() const { return bytes_skipped_; }

 private:
  enum class State { kHeader, kBody, kReady };

  // Appends one byte to the header being collected, dropping leading bytes
  // that cannot begin a magic.
  void TakeHeaderByte(uint8_t byte);
  void DropHeaderBytes(size_t n);

  State state_ = State::kHeader;
  std::array<uint8_t, kFrameHeaderSize> header_{};
  size_t header_fill_ = 0;
  std::vector<uint8_t> body_;  // capacity for the largest packet, kept
  size_t body_length_ = 0;
  size_t body_fill_ = 0;
  uint32_t headers_seen_ = 0;
  uint64_t bytes_skipped_ = 0;
};

}  // namespace tcplink
