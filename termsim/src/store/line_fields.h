// Pieces of the simulator's text files: tab-separated key=value fields and
// hexadecimal byte strings.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace termsim {

// The key=value fields of a tab-separated line (leading blanks of a field
// skipped; fields without '=' ignored).
std::map<std::string, std::string> LineFields(std::string_view line);

// Pairs of hexadecimal digits appended to `out`; false for an odd length or
// another character.
bool HexBytes(std::string_view text, std::vector<uint8_t>* out);

}  // namespace termsim
