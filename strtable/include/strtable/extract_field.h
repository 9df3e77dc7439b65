// Extraction of one key=value field from a delimited line of text, such as
// "A=1,B=22,E=3" with delimiter ','.
//
// The value follows the key and '=' either at the very start of the line or
// after the first occurrence of delimiter, key and '=' (so key "B" is not
// taken from "AB=1"). It runs to the next delimiter or the end of the line.
// Keys of more than kMaxFieldKeyLength characters are never found.
#pragma once

#include <cstddef>
#include <span>

namespace strtable {

inline constexpr size_t kMaxFieldKeyLength = 197;  // delimiter + key + '=' fit in 200 bytes
inline constexpr int kFieldNotFound = -1;
inline constexpr int kFieldTruncated = -2;

// Copies the value and a NUL to `value_out`, which must be large enough (at
// most strlen(line) + 1 bytes). Returns the value's length, or kFieldNotFound
// with an empty text in `value_out` when the line or key is absent or the key
// is not in the line.
int ExtractField(const char* line, const char* key, char delimiter, char* value_out);

// The same into a bounded output, which always ends NUL-terminated when it has
// at least one byte. Returns the value's length when the value fits;
// kFieldNotFound (empty text) when there is no such field; kFieldTruncated
// when the value is longer than value_out.size() - 1, with value_out holding
// as much of it as fits.
int ExtractFieldBounded(const char* line, const char* key, char delimiter,
                        std::span<char> value_out);

}  // namespace strtable
