// Base64 of byte fields: the standard RFC 4648 alphabet with '=' padding.
//
// Decoding skips CR, LF and space. Each '=' counts as a zero sextet and lowers
// the number of bytes a group yields (3 to begin with) by one, for the rest of
// the text. Sextets of an unfinished last group are dropped. Any other
// character outside the alphabet, bytes of 128 and above included, ends the
// decoding with kBase64Invalid; the bytes decoded before it stay in the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace strtable {

inline constexpr int kBase64Invalid = -1;  // a character outside the alphabet
inline constexpr int kBase64NoRoom = -2;   // the output is too small (bounded variants)

// Characters that encoding `byte_count` bytes writes, the terminating NUL included.
constexpr size_t Base64EncodedSize(size_t byte_count) { return (byte_count + 2) / 3 * 4 + 1; }

// Most bytes that a text of `text_length` characters can decode to.
constexpr size_t Base64DecodedMaxSize(size_t text_length) { return text_length / 4 * 3; }

// Writes the text and a NUL to `out`, which must hold
// Base64EncodedSize(bytes.size()) characters. Returns the number of characters
// without the NUL, or -1 (empty text) when that number would pass 2^31 - 1.
int Base64Encode(std::span<const uint8_t> bytes, char* out);

// Decodes the NUL-terminated text into `out`, which must hold
// Base64DecodedMaxSize(strlen(text)) bytes. Returns the number of bytes
// written (no terminator), or kBase64Invalid, also for a null text.
int Base64Decode(const char* text, uint8_t* out);

// Encodes into `out` only when the whole text and its NUL fit; otherwise
// returns kBase64NoRoom and leaves an empty text in `out` (when it has room
// for one).
int Base64EncodeBounded(std::span<const uint8_t> bytes, std::span<char> out);

// Decodes `text` (up to its first NUL) into `out`. Returns the number of bytes
// written, kBase64Invalid at a character outside the alphabet, or
// kBase64NoRoom when the next group's bytes do not fit; in both failure cases
// the groups decoded before stay in `out`.
int Base64DecodeBounded(std::string_view text, std::span<uint8_t> out);

}  // namespace strtable
