// The blocks exchanged through the drive file: a request block the host
// writes at the file's start, an answer block the terminal puts there.
//
//   0  device number (low 8 bits)     1  device number again
//   2  0x81                           3  0x7E
//   4  packet length, u16 LE          6  Internet checksum over the 8 +
//                                        length bytes, this field 0
//   8  the packet                     8 + length  0xFF end mark
//   then zero filler up to 512, 1024 or 1536 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace usblink {

inline constexpr size_t kBlockHeader = 8;
inline constexpr size_t kBlockArea = 1536;  // what a read takes from the file
inline constexpr uint8_t kMark1 = 0x81;
inline constexpr uint8_t kMark2 = 0x7E;
inline constexpr uint8_t kEndMark = 0xFF;
// Longest packet a block carries: header, packet and end mark within 1536.
inline constexpr size_t kMaxPacket = kBlockArea - kBlockHeader - 1;  // 1527
// Shortest packet taken as an answer: a packet header.
inline constexpr size_t kMinPacket = 8;

// The block size for a packet of `length` bytes: 512, 1024 or 1536 while
// 8 + length stays below it; 0 when it does not fit.
size_t BlockSizeFor(size_t length);

// Writes the request block for `packet` into `out` (kBlockArea bytes), the
// filler zeroed. The block size, or 0 when the packet does not fit (out
// is left untouched).
size_t EncodeBlock(uint8_t device, std::span<const uint8_t> packet, std::span<uint8_t> out);

// The packet of an answer block: a length from kMinPacket to kMaxPacket,
// the end mark right after the packet and a code word that is not 0. The
// device bytes, marks and block checksum are not looked at (the engine
// checks the packet's own checksum). A view into `block`; nothing when the
// block is no answer.
std::optional<std::span<const uint8_t>> DecodeAnswer(std::span<const uint8_t> block);

}  // namespace usblink
