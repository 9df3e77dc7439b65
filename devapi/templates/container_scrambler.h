// The scrambling that version-10 containers travel in: every byte XOR-ed
// with a 10-byte key taken from the header, the key itself stored in a
// derived form in header bytes 8-17.
#pragma once

#include <cstdint>
#include <span>

namespace templates {

// Scrambles a plain container in place. False, and nothing changed, when its
// length field is outside 24..16384 or beyond the span.
bool ScrambleContainer(std::span<uint8_t> container);

// Restores a scrambled container in place; a container that starts "ICRS"
// is plain already and stays as it is. False, and nothing changed, when the
// length field is outside 24..16384 or beyond the span.
bool DescrambleContainer(std::span<uint8_t> container);

}  // namespace templates
