// Command-line parsing: [ADDRESS] COMMAND [WORDS...] [--option[=value]...].
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace termctl {

struct Invocation {
  std::string address;                         // empty: the built-in simulator
  std::string command;                         // empty: the demo
  std::vector<std::string> words;              // positional words after the command
  std::map<std::string, std::string> options;  // --name=value and --name value
  std::vector<std::string> usb_roots;          // every --usb-root, in order
  bool help = false;
  bool version = false;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& fallback = "") const;
};

// Parses argv; nullopt with the reason in `error` for malformed input.
std::optional<Invocation> ParseArgs(int argc, char** argv, std::string* error);

// Strict integer parsing for option values and words.
std::optional<long long> ParseInt(const std::string& text);

}  // namespace termctl
