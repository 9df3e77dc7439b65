// Names that travel to the terminal in parameter blocks, and names from the
// terminal (or the caller) that become host file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace devapi::files {

// Longest path of a named-file upload: its name area holds 260 bytes.
inline constexpr size_t kMaxUploadPath = 259;
// Longest short name (40-byte field) and longest list name.
inline constexpr size_t kMaxShortName = 39;
inline constexpr size_t kMaxListName = 99;
// Longest "%s%s" path of the photo and picture downloads.
inline constexpr size_t kMaxDownloadPath = 199;
// Longest name a single request packet carries with its terminator.
inline constexpr size_t kMaxPacketName = 1023;

// The text after the last '/' or '\\' of `path` (the whole text without
// either).
std::string_view BaseName(std::string_view path);

// True when `name` is one path component: not empty, not "." or "..", no
// '/', '\\' or control character. Only such names are joined to a host
// directory.
bool IsSingleComponent(std::string_view name);

// Parameter block of a named upload: the kind, then the base name of
// `path`, zero-padded in a 260-byte area; sent as the whole path + 5 bytes.
// Nullopt for a path over 259 characters or without a base name.
std::optional<std::vector<uint8_t>> NamedFileParameter(uint32_t kind, std::string_view path);

// Parameter block of the photo and picture uploads: the base name of `text`
// in a 40-byte zero-filled field, sent as min(text + 5, 40) bytes. Nullopt
// for a base name that is empty or over 39 characters.
std::optional<std::vector<uint8_t>> ShortNameParameter(std::string_view text);

// A name and its terminator, as a request's parameter.
std::vector<uint8_t> NameRequest(std::string_view name);

}  // namespace devapi::files
