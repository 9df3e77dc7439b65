// The firmware and file-update text files: "Name=value" lines and the image
// in numbered lines of hexadecimal pairs. Pure: lines in, image out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace devapi::files {

// Longest line, line end excluded.
inline constexpr size_t kMaxFirmwareLine = 4000;
// Largest image a file may declare (the 70 MiB transfer buffer).
inline constexpr int64_t kMaxFirmwareImage = 73400320;
// The update header's area, terminator included.
inline constexpr size_t kUpdateHeaderArea = 200;

enum class FirmwareFileKind {
  kFirmware,  // version lines checked, checksum tested
  kUpdate,    // header lines collected, no checksum test
};

struct FirmwareTarget {
  // The session's normalised firmware text and whether it has "~OS".
  std::string_view terminal_version;
  bool has_os_option = false;
};

struct ParsedFirmware {
  std::vector<uint8_t> image;  // exactly the declared length
  std::string header;          // kUpdate: the header text
};

// Reads a file line by line; any fault of the file (see the .cpp) makes
// Finish give nullopt.
class FirmwareFileParser {
 public:
  FirmwareFileParser(FirmwareFileKind kind, FirmwareTarget target);

  // One line as read, with or without its line end. False once the file is
  // refused or complete: no later line can change the outcome.
  bool Feed(std::string_view line);
  std::optional<ParsedFirmware> Finish();

 private:
  bool Fail();
  bool VersionLine(std::string_view line);
  bool LengthLine(std::string_view value);
  bool ChecksumLine(std::string_view value);
  bool DataLine(std::string_view hex);
  bool AppendHeader(std::string_view text);

  const FirmwareFileKind kind_;
  const FirmwareTarget target_;
  bool failed_ = false;
  bool done_ = false;
  size_t lines_ = 0;
  std::optional<int64_t> length_;
  std::optional<int64_t> checksum_;
  uint32_t next_data_ = 0;
  ParsedFirmware out_;
};

// The checksum of an image: RFC 1071 over little-endian 16-bit words
// (a final odd byte alone), complemented.
uint16_t ImageChecksum(std::span<const uint8_t> image);

// Parses a whole file given as one text.
std::optional<ParsedFirmware> ParseFirmwareText(std::string_view text, FirmwareFileKind kind,
                                                FirmwareTarget target);

}  // namespace devapi::files
