// The blocks in the drive file as the terminal sees them: requests the host
// wrote at the file's start, and the answers written back over them.
//
//   0, 1  device number twice   2, 3  0x81 0x7E   4  packet length u16 LE
//   6  Internet checksum over the 8 + length bytes, this field 0
//   8  packet                   8 + length  0xFF   then zeros up to 512,
//   1024 or 1536 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace termsim {

inline constexpr size_t kUsbBlockArea = 1536;
inline constexpr size_t kUsbBlockHeader = 8;

// A request the terminal takes: both device bytes `device`, the two marks,
// a length that fits the area, the end mark and a right block checksum.
struct UsbRequest {
  std::span<const uint8_t> packet;
  size_t block_size = 0;  // 512, 1024 or 1536
  // The bytes that make the request out (header, packet, end mark).
  std::span<const uint8_t> used;
};
std::optional<UsbRequest> ParseUsbRequest(std::span<const uint8_t> block, uint8_t device);

// How a written answer block is spoilt (the USB faults).
struct UsbBlockShape {
  bool bad_mark = false;     // end mark 0x00
  bool long_length = false;  // length field 1530
  bool zero_code = false;    // packet code 0
};

// The answer block for `packet`, cut to its block size (512, 1024 or
// 1536); empty when the packet does not fit one.
std::vector<uint8_t> EncodeUsbAnswer(uint8_t device, std::span<const uint8_t> packet,
                                     const UsbBlockShape& shape = {});

}  // namespace termsim
