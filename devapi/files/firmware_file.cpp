// Faults that refuse a file (nothing is sent then): a line over 4000
// characters; a version line of the other kind, or one not newer than the
// terminal's; a second "FirmwareLength=" or "FirmwareCheckSum="; a length
// that is not a decimal number from 1 to 70 MiB; a data line with a
// non-hexadecimal character or an odd number of digits, or one that would
// run past the declared length; an update header over its 200-byte area;
// and at the end a fill other than the declared length or, for firmware, a
// checksum that differs in its low 16 bits.
#include "files/firmware_file.h"

#include <charconv>
#include <cstring>

#include "session/device_session.h"
#include "session/session_util.h"

namespace devapi::files {

namespace {

constexpr std::string_view kVersionKey = "FirmwareVersion=";
constexpr std::string_view kOsVersionKey = "VRM200_FirmwareVersion=";
constexpr std::string_view kLengthKey = "FirmwareLength=";
constexpr std::string_view kChecksumKey = "FirmwareCheckSum=";
constexpr size_t kVersionTextCut = 50;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view StripLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// A whole decimal number (an optional '-' then digits).
std::optional<int64_t> Decimal(std::string_view text) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint16_t ImageChecksum(std::span<const uint8_t> image) {
  // 64 bits: a 70 MiB image overflows a 32-bit running sum.
  uint64_t sum = 0;
  size_t i = 0;
  for (; i + 1 < image.size(); i += 2) sum += static_cast<uint32_t>(image[i] | (image[i + 1] << 8));
  if (i < image.size()) sum += image[i];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

FirmwareFileParser::FirmwareFileParser(FirmwareFileKind kind, FirmwareTarget target)
    : kind_(kind), target_(target) {}

bool FirmwareFileParser::Fail() {
  failed_ = true;
  out_.image.clear();
  return false;
}

bool FirmwareFileParser::Feed(std::string_view raw) {
  if (failed_ || done_) return false;
  const std::string_view line = StripLineEnd(raw);
  if (line.size() > kMaxFirmwareLine) return Fail();
  const size_t number = lines_++;
  if (kind_ == FirmwareFileKind::kUpdate && number == 0) return true;  // skipped
  if (kind_ == FirmwareFileKind::kUpdate && number == 1) return AppendHeader(std::string(line) + ":");

  const bool both = length_ && checksum_;
  if (StartsWith(line, kLengthKey)) return LengthLine(line.substr(kLengthKey.size())) &&
                                           (kind_ != FirmwareFileKind::kUpdate ||
                                            AppendHeader(std::string(line) + ":"));
  if (StartsWith(line, kChecksumKey)) return ChecksumLine(line.substr(kChecksumKey.size())) &&
                                             (kind_ != FirmwareFileKind::kUpdate ||
                                              AppendHeader(line));
  if (!length_ && !checksum_ && kind_ == FirmwareFileKind::kFirmware) return VersionLine(line);
  if (!both) return true;
  const std::string data_key = "Data" + std::to_string(next_data_) + "=";
  if (!StartsWith(line, data_key)) return true;
  return DataLine(line.substr(data_key.size()));
}

bool FirmwareFileParser::VersionLine(std::string_view line) {
  const bool plain = StartsWith(line, kVersionKey);
  const bool os = StartsWith(line, kOsVersionKey);
  if (!plain && !os) return true;
  // Each kind of terminal reads only its own line.
  if (plain == target_.has_os_option) return Fail();
  std::string_view text = line.substr(plain ? kVersionKey.size() : kOsVersionKey.size());
  // As the connect stores the terminal's text: cut, zero-filled, normalised.
  char field[kFirmwareTextSize] = {};
  text = text.substr(0, kVersionTextCut);
  std::memcpy(field, text.data(), text.size());
  NormaliseFirmware(field, sizeof field);
  char terminal[kFirmwareTextSize] = {};
  const std::string_view mine = target_.terminal_version.substr(0, kFirmwareTextSize - 1);
  std::memcpy(terminal, mine.data(), mine.size());
  // Only a strictly newer image is taken.
  if (std::strcmp(field, terminal) <= 0) return Fail();  // strcmp compares unsigned bytes
  return true;
}

bool FirmwareFileParser::LengthLine(std::string_view value) {
  const auto n = Decimal(value);
  if (length_ || !n || *n <= 0 || *n > kMaxFirmwareImage) return Fail();
  length_ = *n;
  out_.image.reserve(static_cast<size_t>(*n));
  return true;
}

bool FirmwareFileParser::ChecksumLine(std::string_view value) {
  const auto c = Decimal(value);
  if (checksum_ || !c) return Fail();
  checksum_ = *c;
  return true;
}

bool FirmwareFileParser::DataLine(std::string_view hex) {
  if (hex.size() % 2 != 0) return Fail();
  const size_t bytes = hex.size() / 2;
  if (out_.image.size() + bytes > static_cast<size_t>(*length_)) return Fail();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]);
    const int lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return Fail();
    out_.image.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  ++next_data_;
  if (out_.image.size() == static_cast<size_t>(*length_)) done_ = true;
  return !done_;
}

bool FirmwareFileParser::AppendHeader(std::string_view text) {
  out_.header.append(text);
  if (out_.header.size() >= kUpdateHeaderArea) return Fail();
  return true;
}

std::optional<ParsedFirmware> FirmwareFileParser::Finish() {
  if (failed_ || !length_ || !checksum_) return std::nullopt;
  if (out_.image.size() != static_cast<size_t>(*length_)) return std::nullopt;
  if (kind_ == FirmwareFileKind::kFirmware &&
      ImageChecksum(out_.image) != static_cast<uint16_t>(*checksum_)) {
    return std::nullopt;
  }
  return std::move(out_);
}

std::optional<ParsedFirmware> ParseFirmwareText(std::string_view text, FirmwareFileKind kind,
                                                FirmwareTarget target) {
  FirmwareFileParser parser(kind, target);
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const size_t take = end == std::string_view::npos ? text.size() : end + 1;
    if (!parser.Feed(text.substr(0, take))) break;
    text.remove_prefix(take);
  }
  return parser.Finish();
}

}  // namespace devapi::files
