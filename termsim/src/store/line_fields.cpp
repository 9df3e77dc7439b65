#include "store/line_fields.h"

#include <charconv>

namespace termsim {

std::map<std::string, std::string> LineFields(std::string_view line) {
  std::map<std::string, std::string> fields;
  while (!line.empty()) {
    const size_t tab = line.find('\t');
    std::string_view field = line.substr(0, tab);
    while (!field.empty() && (field.front() == ' ')) field.remove_prefix(1);
    const size_t eq = field.find('=');
    if (eq != std::string_view::npos) {
      fields[std::string(field.substr(0, eq))] = std::string(field.substr(eq + 1));
    }
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return fields;
}

bool HexBytes(std::string_view text, std::vector<uint8_t>* out) {
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    uint8_t b = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, b, 16);
    if (ec != std::errc() || end != text.data() + i + 2) return false;
    out->push_back(b);
  }
  return true;
}

}  // namespace termsim
