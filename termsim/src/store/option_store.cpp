#include "store/option_store.h"

#include <algorithm>

namespace termsim {

std::optional<std::string> OptionStore::Get(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

void OptionStore::Set(const std::string& name, const std::string& value) { options_[name] = value; }

std::string PayloadText(std::span<const uint8_t> payload) {
  const auto end = std::find(payload.begin(), payload.end(), uint8_t{0});
  return std::string(payload.begin(), end);
}

std::optional<std::pair<std::string, std::string>> SplitAssignment(const std::string& text) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return std::nullopt;
  return std::make_pair(text.substr(0, eq), text.substr(eq + 1));
}

}  // namespace termsim
