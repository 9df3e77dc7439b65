#include "args.h"

#include <charconv>
#include <set>

#include "address.h"

namespace termctl {

namespace {

// Options that take a value; the rest are switches. Knowing them lets
// "--format csv" work as well as "--format=csv".
const std::set<std::string>& ValuedOptions() {
  static const std::set<std::string> names = {
      "password", "format", "since", "from", "to",      "count",        "name",      "privilege",
      "card",     "pin2",   "group", "ms",   "seconds", "pin-password", "broadcast", "timeout",
      "type",     "out",    "id",    "label", "keep",         "usb-root",  "state",
      "times",    "db",     "jobs",  "save", "load", "kind", "selector", "dir"};
  return names;
}

const std::set<std::string>& Switches() {
  static const std::set<std::string> names = {"help",  "yes",   "clear",       "json",
                                                  "new",   "utf8",  "verbose",     "watch",
                                                  "clear-after", "delete"};
  return names;
}

}  // namespace

std::string Invocation::Get(const std::string& name, const std::string& fallback) const {
  const auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

std::optional<long long> ParseInt(const std::string& text) {
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<Invocation> ParseArgs(int argc, char** argv, std::string* error) {
  Invocation inv;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
      continue;
    }
    if (!options_done && arg == "-h") {
      inv.help = true;
      continue;
    }
    if (!options_done && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      std::string name = arg.substr(2);
      std::string value;
      const size_t eq = name.find('=');
      const bool inline_value = eq != std::string::npos;
      if (inline_value) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      if (name == "help") {
        inv.help = true;
        continue;
      }
      if (name == "version") {
        inv.version = true;
        continue;
      }
      if (ValuedOptions().count(name) != 0) {
        if (!inline_value) {
          if (i + 1 >= argc) {
            *error = "option --" + name + " needs a value";
            return std::nullopt;
          }
          value = argv[++i];
        }
      } else if (Switches().count(name) != 0) {
        if (inline_value) {
          *error = "option --" + name + " takes no value";
          return std::nullopt;
        }
      } else {
        *error = "unknown option --" + name;
        return std::nullopt;
      }
      inv.options[name] = value;
      if (name == "usb-root") inv.usb_roots.push_back(value);
      continue;
    }
    if (inv.command.empty() && inv.address.empty() && inv.words.empty() && LooksLikeAddress(arg)) {
      inv.address = arg;
    } else if (inv.command.empty()) {
      inv.command = arg;
    } else {
      inv.words.push_back(arg);
    }
  }
  return inv;
}

}  // namespace termctl
