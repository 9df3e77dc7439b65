// The terminal's option set: name -> value texts, and the "name=value"
// texts in which options cross the wire.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>

namespace termsim {

class OptionStore {
 public:
  explicit OptionStore(std::map<std::string, std::string> initial = {})
      : options_(std::move(initial)) {}

  std::optional<std::string> Get(const std::string& name) const;
  void Set(const std::string& name, const std::string& value);

  // Names beginning with '~' are the terminal's system options.
  static bool IsSystemOption(const std::string& name) { return !name.empty() && name[0] == '~'; }

 private:
  std::map<std::string, std::string> options_;
};

// The text of a payload up to its first NUL (all of it when there is none).
std::string PayloadText(std::span<const uint8_t> payload);

// Splits "name=value" at the first '='. Nothing when there is no '=' or the
// name is empty.
std::optional<std::pair<std::string, std::string>> SplitAssignment(const std::string& text);

}  // namespace termsim
