#include "tcp_frame_reader.h"

#include <algorithm>
#include <cstring>

#include "wire/le_bytes.h"

namespace tcplink {

namespace {

// Whether the first `n` bytes (n <= 4) could begin a magic.
bool MagicPrefix(const uint8_t* bytes, size_t n) {
  return std::equal(bytes, bytes + std::min(n, kFrameMagic.size()), kFrameMagic.begin());
}

}  // namespace

TcpFrameReader::TcpFrameReader() { body_.resize(kMaxFramedPacket); }

std::span<const uint8_t> TcpFrameReader::Packet() const {
  if (state_ != State::kReady) return {};
  return std::span<const uint8_t>(body_).first(body_length_);
}

void TcpFrameReader::Release() {
  if (state_ != State::kReady) return;
  state_ = State::kHeader;
  header_fill_ = 0;
  body_length_ = 0;
  body_fill_ = 0;
}

void TcpFrameReader::Reset() {
  state_ = State::kHeader;
  header_fill_ = 0;
  body_length_ = 0;
  body_fill_ = 0;
}

void TcpFrameReader::DropHeaderBytes(size_t n) {
  n = std::min(n, header_fill_);
  std::memmove(header_.data(), header_.data() + n, header_fill_ - n);
  header_fill_ -= n;
  bytes_skipped_ += n;
}

void TcpFrameReader::TakeHeaderByte(uint8_t byte) {
  header_[header_fill_++] = byte;
  // Resynchronise: drop from the front, one byte at a time so that no
  // offset is passed over, until what is left may still begin a magic.
  while (header_fill_ > 0 && !MagicPrefix(header_.data(), header_fill_)) DropHeaderBytes(1);
  if (header_fill_ < kFrameHeaderSize) return;

  wire::ByteReader reader(header_);
  reader.Skip(kFrameMagic.size());
  const uint32_t length = reader.U32();
  if (length < kMinFramedPacket || length > kMaxFramedPacket) {
    // No packet has this length: the magic was a chance match or the
    // terminal sent garbage. The search goes on right after the magic's
    // first byte, so a real magic among the length bytes is still found.
    DropHeaderBytes(1);
    while (header_fill_ > 0 && !MagicPrefix(header_.data(), header_fill_)) DropHeaderBytes(1);
    return;
  }
  ++headers_seen_;
  body_length_ = length;
  body_fill_ = 0;
  state_ = State::kBody;
}

size_t TcpFrameReader::Feed(std::span<const uint8_t> bytes) {
  size_t taken = 0;
  while (taken < bytes.size() && state_ != State::kReady) {
    if (state_ == State::kHeader) {
      TakeHeaderByte(bytes[taken++]);
      continue;
    }
    const size_t n = std::min(body_length_ - body_fill_, bytes.size() - taken);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(taken), n,
                body_.begin() + static_cast<std::ptrdiff_t>(body_fill_));
    body_fill_ += n;
    taken += n;
    if (body_fill_ == body_length_) state_ = State::kReady;
  }
  return taken;
}

}  // namespace tcplink
