// Parsing of the termsim program's flags.
#include "cli_options.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "termsim/demo_data.h"

namespace termsim_cli {

namespace {

// A late reply waits this long unless late_ms says otherwise.
constexpr uint32_t kDefaultLateMs = 2000;

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

// A whole decimal number within [0, max].
template <typename T>
bool ParseNumber(std::string_view text, T max, T* out) {
  T v{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < T{} || v > max) {
    return false;
  }
  *out = v;
  return true;
}

bool ParseAddressPort(const std::string& text, std::string* address, uint16_t* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  if (!ParseNumber<uint16_t>(std::string_view(text).substr(colon + 1), 65535, port)) return false;
  *address = text.substr(0, colon);
  return true;
}

bool ParseUsers(const std::string& text, std::vector<termsim::User>* users) {
  const size_t comma = text.find(',');
  uint32_t count = 0, seed = 0;
  if (comma == std::string::npos ||
      !ParseNumber<uint32_t>(std::string_view(text).substr(0, comma), 65534, &count) ||
      !ParseNumber<uint32_t>(std::string_view(text).substr(comma + 1),
                             std::numeric_limits<uint32_t>::max(), &seed)) {
    return false;
  }
  *users = termsim::GenerateUsers(count, seed);
  return true;
}

// The flags that take a value.
bool TakesValue(std::string_view flag) {
  static constexpr std::string_view kFlags[] = {
      "--udp",    "--tcp", "--profile", "--option",     "--set",  "--password", "--firmware",
      "--search", "--log", "--users",   "--users-file", "--data", "--fault", "--usb",  "--punch-every"};
  for (std::string_view f : kFlags) {
    if (f == flag) return true;
  }
  return false;
}

// One flag and its value.
bool ApplyFlag(const std::string& flag, const std::string& value, CommandLine* line,
               std::string* error) {
  std::string reason;
  if (flag == "--udp") {
    if (!ParseAddressPort(value, &line->address, &line->port)) {
      return Fail(error, "bad --udp value \"" + value + "\" (want ADDR:PORT)");
    }
    line->udp_given = true;
  } else if (flag == "--tcp") {
    if (!ParseAddressPort(value, &line->tcp_address, &line->tcp_port)) {
      return Fail(error, "bad --tcp value \"" + value + "\" (want ADDR:PORT)");
    }
    line->tcp = true;
  } else if (flag == "--usb") {
    if (value.empty()) return Fail(error, "bad --usb value (want a directory)");
    line->usb_dir = value;
  } else if (flag == "--password") {
    if (!ParseNumber<uint32_t>(value, std::numeric_limits<uint32_t>::max(),
                               &line->profile.comm_password)) {
      return Fail(error, "bad --password value \"" + value + "\"");
    }
  } else if (flag == "--firmware") {
    line->profile.firmware = value;
  } else if (flag == "--punch-every") {
    if (!ParseNumber<uint32_t>(value, 3600000, &line->punch_every_ms)) {
      return Fail(error, "bad --punch-every value \"" + value + "\" (milliseconds, 0 to 3600000)");
    }
  } else if (flag == "--profile") {
    if (!termsim::ProfileByName(value, &line->profile, &reason)) {
      return Fail(error, "bad --profile: " + reason);
    }
  } else if (flag == "--option" || flag == "--set") {
    const std::string setting = flag == "--option" ? "option." + value : value;
    if (!termsim::ApplyProfileSetting(setting, &line->profile, &reason)) {
      return Fail(error, "bad " + flag + ": " + reason);
    }
  } else if (flag == "--search") {
    line->search_address = value;
    line->search = true;
  } else if (flag == "--log") {
    ContentStep& step = line->content.emplace_back();
    step.kind = ContentStep::Kind::kLog;
    step.log_setting = value;
  } else if (flag == "--users") {
    ContentStep step;
    step.kind = ContentStep::Kind::kUsers;
    if (!ParseUsers(value, &step.users)) {
      return Fail(error, "bad --users value \"" + value + "\" (want COUNT,SEED)");
    }
    line->content.push_back(std::move(step));
  } else if (flag == "--users-file") {
    ContentStep step;
    step.kind = ContentStep::Kind::kUsers;
    if (!termsim::LoadUsers(value, &step.users, &reason)) {
      return Fail(error, "bad --users-file: " + reason);
    }
    line->content.push_back(std::move(step));
  } else if (flag == "--data") {
    ContentStep step;
    step.kind = ContentStep::Kind::kData;
    if (!termsim::ReadDataFile(value, &step.data, &reason)) {
      return Fail(error, "bad --data: " + reason);
    }
    termsim::ApplyDataOptions(step.data, &line->profile);
    line->content.push_back(std::move(step));
  } else if (flag == "--fault") {
    if (!ApplyFaultSwitch(value, &line->faults, &line->stream_faults, &line->usb_faults,
                          &line->bulk_faults, &reason)) {
      return Fail(error, "bad --fault: " + reason);
    }
  }
  return true;
}

}  // namespace

bool ApplyFaultSwitch(const std::string& text, termsim::Faults* faults,
                      termsim::StreamFaults* stream_faults, termsim::UsbFaults* usb_faults,
                      termsim::BulkFaults* bulk_faults, std::string* error) {
  const size_t eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const bool has_value = eq != std::string::npos;
  const std::string value = has_value ? text.substr(eq + 1) : std::string();
  const auto bad_value = [&] {
    return Fail(error, "bad value for " + name + ": \"" + value + "\"");
  };

  // Counted faults: a bare name counts one reply.
  struct Counted {
    std::string_view name;
    int termsim::Faults::*field;
  };
  static constexpr Counted kCounted[] = {
      {"drop", &termsim::Faults::drop_replies},
      {"duplicate", &termsim::Faults::duplicate_replies},
      {"late", &termsim::Faults::late_replies},
      {"corrupt", &termsim::Faults::corrupt_replies},
      {"stale", &termsim::Faults::stale_replies},
      {"retry", &termsim::Faults::retry_replies},
  };
  for (const Counted& c : kCounted) {
    if (name != c.name) continue;
    int count = 1;
    if (has_value && !ParseNumber<int>(value, std::numeric_limits<int>::max(), &count)) {
      return bad_value();
    }
    faults->*c.field = count;
    return true;
  }
  // The stream's counted faults: a bare name counts one.
  struct StreamCounted {
    std::string_view name;
    int termsim::StreamFaults::*field;
  };
  static constexpr StreamCounted kStreamCounted[] = {
      {"tcp_close", &termsim::StreamFaults::close_after},
      {"tcp_reset", &termsim::StreamFaults::reset_after},
      {"tcp_reset_data", &termsim::StreamFaults::reset_after_data},
      {"tcp_bad_magic", &termsim::StreamFaults::bad_magic},
      {"tcp_oversize", &termsim::StreamFaults::oversize},
  };
  for (const StreamCounted& c : kStreamCounted) {
    if (name != c.name) continue;
    int count = 1;
    if (has_value && !ParseNumber<int>(value, std::numeric_limits<int>::max(), &count)) {
      return bad_value();
    }
    stream_faults->*c.field = count;
    return true;
  }
  // The drive file's counted faults: a bare name counts one block.
  struct UsbCounted {
    std::string_view name;
    int termsim::UsbFaults::*field;
  };
  static constexpr UsbCounted kUsbCounted[] = {
      {"usb_bad_mark", &termsim::UsbFaults::bad_mark},
      {"usb_long_length", &termsim::UsbFaults::long_length},
      {"usb_zero_code", &termsim::UsbFaults::zero_code},
      {"usb_torn", &termsim::UsbFaults::torn},
  };
  for (const UsbCounted& c : kUsbCounted) {
    if (name != c.name) continue;
    int count = 1;
    if (has_value && !ParseNumber<int>(value, std::numeric_limits<int>::max(), &count)) {
      return bad_value();
    }
    usb_faults->*c.field = count;
    return true;
  }
  const auto flag = [&](bool* out) {
    if (has_value && value != "1" && value != "0") return bad_value();
    *out = !has_value || value == "1";
    return true;
  };
  if (name == "silent") {
    if (has_value && value != "1" && value != "0") return bad_value();
    faults->silent = !has_value || value == "1";
  } else if (name == "late_ms") {
    if (!ParseNumber<uint32_t>(value, 600000, &faults->late_ms)) return bad_value();
  } else if (name == "drop_ratio") {
    double ratio = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), ratio);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size() || !(ratio >= 0) ||
        ratio > 1) {
      return bad_value();
    }
    faults->drop_ratio = ratio;
  } else if (name == "tcp_split") {
    if (!ParseNumber<uint32_t>(value, 65544, &stream_faults->split_bytes)) return bad_value();
  } else if (name == "tcp_split_pause_ms") {
    if (!ParseNumber<uint32_t>(value, 10000, &stream_faults->split_pause_ms)) return bad_value();
  } else if (name == "usb_chunk_ms") {
    if (!ParseNumber<uint32_t>(value, 60000, &usb_faults->chunk_ms)) return bad_value();
  } else if (name == "usb_torn_pause_ms") {
    if (!ParseNumber<uint32_t>(value, 10000, &usb_faults->torn_pause_ms)) return bad_value();
  } else if (name == "tcp_coalesce") {
    return flag(&stream_faults->coalesce);
  } else if (name == "tcp_refuse") {
    return flag(&stream_faults->refuse);
  } else if (name == "short_reply") {
    // CMD:N
    const size_t colon = value.find(':');
    uint16_t command = 0;
    uint32_t bytes = 0;
    if (colon == std::string::npos ||
        !ParseNumber<uint16_t>(value.substr(0, colon), 65535, &command) || command == 0 ||
        !ParseNumber<uint32_t>(value.substr(colon + 1), 65536, &bytes)) {
      return bad_value();
    }
    faults->short_reply_command = command;
    faults->short_reply_bytes = bytes;
  } else if (name == "unanswered") {
    if (!ParseNumber<uint16_t>(value, 65535, &faults->unanswered_command)) return bad_value();
  } else if (name == "event_every") {
    if (!ParseNumber<uint32_t>(value, 600000, &faults->event_every_ms)) return bad_value();
  } else if (name == "prepare_no_data") {
    return flag(&bulk_faults->prepare_without_data);
  } else if (name == "empty_blocks") {
    return flag(&bulk_faults->empty_blocks);
  } else if (name == "piecewise_count") {
    uint32_t count = 0;
    if (!ParseNumber<uint32_t>(value, std::numeric_limits<uint32_t>::max(), &count)) {
      return bad_value();
    }
    bulk_faults->piecewise_count = count;
  } else if (name == "seed") {
    if (!ParseNumber<uint32_t>(value, std::numeric_limits<uint32_t>::max(), &faults->seed)) {
      return bad_value();
    }
  } else {
    return Fail(error, "unknown fault \"" + name +
                           "\" (drop, duplicate, late, late_ms, corrupt, stale, retry, silent, "
                           "drop_ratio, seed, tcp_close, tcp_reset, tcp_reset_data, tcp_split, "
                           "tcp_split_pause_ms, tcp_coalesce, tcp_bad_magic, tcp_oversize, "
                           "tcp_refuse, usb_bad_mark, usb_long_length, usb_zero_code, usb_torn, "
                           "usb_torn_pause_ms, usb_chunk_ms, short_reply, unanswered, "
                           "event_every, prepare_no_data, piecewise_count, empty_blocks)");
  }
  return true;
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* line, std::string* error) {
  CommandLine parsed;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      line->help = true;
      return true;
    } else if (flag == "--version") {
      line->version = true;
      return true;
    } else if (flag == "--no-search") {
      parsed.search = false;
    } else if (flag == "--demo") {
      // The demo terminal replaces the profile, as --profile does.
      parsed.profile = termsim::DemoProfile();
      parsed.content.push_back({ContentStep::Kind::kDemo, {}, {}, {}});
      parsed.punch_every_ms = termsim::kDemoPunchEveryMs;
    } else if (TakesValue(flag)) {
      if (i + 1 >= argc) return Fail(error, flag + " needs a value");
      if (!ApplyFlag(flag, argv[++i], &parsed, error)) return false;
    } else {
      return Fail(error, "unknown argument \"" + flag + "\"");
    }
  }
  if (parsed.faults.late_replies > 0 && parsed.faults.late_ms == 0) {
    parsed.faults.late_ms = kDefaultLateMs;
  }
  *line = std::move(parsed);
  return true;
}

}  // namespace termsim_cli
