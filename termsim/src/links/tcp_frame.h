// The TCP frame around every packet: the magic 50 50 82 7D, the packet's
// length as 32 bits little-endian, then the packet. FrameSplitter cuts the
// byte stream of one connection back into packets, however the bytes were
// split into reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace termsim {

inline constexpr std::array<uint8_t, 4> kFrameMagic = {0x50, 0x50, 0x82, 0x7D};
inline constexpr size_t kFrameHeaderSize = 8;
// A packet is a header at least and 65536 payload bytes at most.
inline constexpr uint32_t kMinFramedPacket = 8;
inline constexpr uint32_t kMaxFramedPacket = 65544;

// The frame header for a packet of `length` bytes (the announced length as
// given: a fault may announce what is not there).
std::array<uint8_t, kFrameHeaderSize> FrameHeader(uint32_t length);

class FrameSplitter {
 public:
  enum class Status {
    kPacket,     // `packet` holds the next one
    kNeedMore,   // no whole frame yet
    kBadMagic,   // the stream is not framed: nothing after this can be trusted
    kBadLength,  // a length below a packet header or above the largest packet
  };

  // Appends bytes just received.
  void Feed(std::span<const uint8_t> bytes);
  // The next whole packet, in the order sent. A bad frame stays reported:
  // the connection is to be dropped.
  Status Next(std::vector<uint8_t>* packet);

  // Bytes held: the unfinished frame (at most one frame and one read).
  size_t buffered() const { return buffer_.size() - start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;  // where the unread frame begins
  Status failed_ = Status::kNeedMore;
};

}  // namespace termsim
