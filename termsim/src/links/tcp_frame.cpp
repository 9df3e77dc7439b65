#include "links/tcp_frame.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace termsim {

std::array<uint8_t, kFrameHeaderSize> FrameHeader(uint32_t length) {
  std::array<uint8_t, kFrameHeaderSize> header{};
  wire::ByteWriter w(header);
  w.Bytes(kFrameMagic);
  w.U32(length);
  return header;
}

void FrameSplitter::Feed(std::span<const uint8_t> bytes) {
  if (failed_ != Status::kNeedMore) return;
  // Drop what was taken before growing, so the buffer holds one frame and
  // one read at most.
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

FrameSplitter::Status FrameSplitter::Next(std::vector<uint8_t>* packet) {
  if (failed_ != Status::kNeedMore) return failed_;
  const auto rest = std::span<const uint8_t>(buffer_).subspan(start_);
  wire::ByteReader r(rest);
  std::array<uint8_t, kFrameMagic.size()> magic{};
  // The magic is checked as soon as its bytes are in: garbage is refused at
  // once rather than after a length's worth of it.
  const size_t have_magic = std::min(rest.size(), magic.size());
  if (!std::equal(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(have_magic),
                  kFrameMagic.begin())) {
    return failed_ = Status::kBadMagic;
  }
  if (!r.Bytes(magic)) return Status::kNeedMore;
  const uint32_t length = r.U32();
  if (!r.ok()) return Status::kNeedMore;
  if (length < kMinFramedPacket || length > kMaxFramedPacket) return failed_ = Status::kBadLength;
  const auto body = r.View(length);
  if (!r.ok()) return Status::kNeedMore;
  packet->assign(body.begin(), body.end());
  start_ += kFrameHeaderSize + length;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return Status::kPacket;
}

}  // namespace termsim
