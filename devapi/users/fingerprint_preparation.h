// Preparing a caller's template for writing to the terminal. Templates come
// without a length: each is measured by its own format, never read further
// than that format allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace users {

// Version-9 limits after re-encoding.
inline constexpr size_t kMinVersion9Bytes = 50;
inline constexpr size_t kMaxVersion9Bytes = 1011;
inline constexpr size_t kMaxVersion9BytesEx = 598;  // Q_SetUserTmpEx
// Version-10 containers, whose big-endian length is in bytes 8 and 9.
inline constexpr size_t kMaxVersion10Bytes = 32768;
inline constexpr size_t kMinVersion10BytesEx = 128;  // Q_SetUserTmpEx
inline constexpr size_t kMinVersion10Bytes = 10;     // must hold its own length

struct PreparedTemplate {
  int32_t error = 0;           // 0, or the call's result (-3, -100)
  std::vector<uint8_t> bytes;  // what goes to the terminal
};

// Version 9: re-encoded compact and, when longer than `limit`, shrunk to it.
// -3 when it cannot be decoded or shrunk, or ends shorter than 50 bytes.
PreparedTemplate PrepareVersion9(const uint8_t* tmpl, size_t limit);

// Version 10: taken unchanged. -100 when it decodes as a version-9
// template; -3 when its length lies outside [min_length, 32768].
PreparedTemplate PrepareVersion10(const uint8_t* tmpl, size_t min_length);

}  // namespace users
