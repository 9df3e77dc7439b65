// Option values that a host sends scrambled: terminals without the "~OS"
// option receive the values of their '~' system options as hexadecimal
// text, a random key byte followed by each character chained to the one
// before it with XOR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace termsim {

// The plain value of a scrambled text; nothing when the text is not two
// hexadecimal digits per byte, at least the key byte, or would decode to a
// text with a NUL in it.
std::optional<std::string> UnscrambleValue(const std::string& hex);

// The reverse, with the given key byte; for tests and tools.
std::string ScrambleValue(const std::string& plain, uint8_t key);

// Whether this terminal receives `name` scrambled: a '~' option on a
// terminal without "~OS", except "~CustData", which hosts always send as
// it is.
bool ArrivesScrambled(const std::string& name, bool terminal_has_os);

}  // namespace termsim
