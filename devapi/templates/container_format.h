// The version-10 template container: a 24-byte header ("ICRS21", length,
// block count, format words) followed by one block per finger.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace templates {

inline constexpr size_t kContainerHeaderBytes = 24;
inline constexpr size_t kMaxContainerBytes = 0x4000;
inline constexpr std::array<uint8_t, 6> kContainerMagic = {'I', 'C', 'R', 'S', '2', '1'};
// Only the first four magic bytes tell a plain container from a scrambled one.
inline constexpr size_t kPlainMarkBytes = 4;

inline constexpr size_t kLengthOffset = 8;  // big-endian u16
inline constexpr size_t kCountOffset = 10;
inline constexpr size_t kFormatWordsOffset = 20;  // two words, copied through
inline constexpr size_t kFormatWordsBytes = 4;
inline constexpr std::array<uint8_t, 4> kHeaderMarks = {0xC5, 0x00, 0xC5, 0x00};  // bytes 16-19
inline constexpr size_t kHeaderMarksOffset = 16;

// Within a block: its position in a merged container, and its own length
// (12 bits, big-endian, in the low half of byte 3 and byte 4).
inline constexpr size_t kBlockPositionOffset = 2;
inline constexpr size_t kBlockLengthOffset = 3;
inline constexpr size_t kMinBlockBytes = kBlockLengthOffset + 2;
inline constexpr size_t kMaxBlockBytes = 0x0FFF;

// A split gives at most one container per finger.
inline constexpr size_t kMaxSplitParts = 10;
inline constexpr size_t kMaxSplitPartBytes = kContainerHeaderBytes + kMaxBlockBytes;

inline uint16_t LoadBigEndian16(std::span<const uint8_t, 2> b) {
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}
inline void StoreBigEndian16(std::span<uint8_t, 2> b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}

// The length field (bytes 8-9), which scrambling leaves readable; 0 when
// fewer than ten bytes are given.
inline size_t ContainerLength(std::span<const uint8_t> container) {
  if (container.size() < kLengthOffset + 2) return 0;
  return LoadBigEndian16(container.subspan(kLengthOffset).first<2>());
}

// A container length the codec accepts: a whole header, at most 16 KiB.
inline bool ContainerLengthValid(size_t length) {
  return length >= kContainerHeaderBytes && length <= kMaxContainerBytes;
}

inline bool IsPlainContainer(std::span<const uint8_t> container) {
  if (container.size() < kPlainMarkBytes) return false;
  for (size_t i = 0; i < kPlainMarkBytes; ++i) {
    if (container[i] != kContainerMagic[i]) return false;
  }
  return true;
}

}  // namespace templates
