// The names of a capture list: each name ended by a line feed. Pure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace devapi::files {

// The names to fetch from `list`: every LF-ended name, a trailing CR
// dropped; names over 99 characters or that are not one path component
// (host_names.h) are skipped, as is a last name without its line feed.
std::vector<std::string> CaptureListNames(std::string_view list);

}  // namespace devapi::files
