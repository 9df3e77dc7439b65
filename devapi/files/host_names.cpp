#include "files/host_names.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace devapi::files {

namespace {

constexpr size_t kNameArea = 260;
constexpr size_t kShortField = 40;
constexpr size_t kSentBeyondText = 5;

}  // namespace

std::string_view BaseName(std::string_view path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool IsSingleComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
  });
}

std::optional<std::vector<uint8_t>> NamedFileParameter(uint32_t kind, std::string_view path) {
  const std::string_view name = BaseName(path);
  if (path.size() > kMaxUploadPath || name.empty()) return std::nullopt;
  std::vector<uint8_t> block(4 + kNameArea);
  wire::ByteWriter w(block);
  w.U32(kind);
  w.FixedText(name, kNameArea);
  // The whole given path counts, directories included.
  block.resize(path.size() + kSentBeyondText);
  return block;
}

std::optional<std::vector<uint8_t>> ShortNameParameter(std::string_view text) {
  const std::string_view name = BaseName(text);
  if (name.empty() || name.size() > kMaxShortName) return std::nullopt;
  std::vector<uint8_t> field(kShortField);
  wire::ByteWriter(field).FixedText(name, kShortField);
  field.resize(std::min(text.size() + kSentBeyondText, kShortField));
  return field;
}

std::vector<uint8_t> NameRequest(std::string_view name) {
  std::vector<uint8_t> out(name.begin(), name.end());
  out.push_back(0);
  return out;
}

}  // namespace devapi::files
