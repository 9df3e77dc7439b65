// Terminal profiles: the built-in terminals, and the "key=value" settings
// that profile files and command-line flags are made of.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string_view>

#include "termsim/simulator.h"

namespace termsim {

namespace {

constexpr std::string_view kOptionPrefix = "option.";
constexpr std::string_view kStoragePrefix = "storage.";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// A whole decimal number within [low, high].
template <typename T>
bool ParseNumber(std::string_view text, long long low, long long high, T* out) {
  long long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
  *out = static_cast<T>(v);
  return true;
}

bool ParseFlag(std::string_view text, bool* out) {
  if (text == "1" || text == "true" || text == "yes") {
    *out = true;
    return true;
  }
  if (text == "0" || text == "false" || text == "no") {
    *out = false;
    return true;
  }
  return false;
}

bool ParseCodes(std::string_view text, std::set<uint16_t>* out) {
  std::set<uint16_t> codes;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    uint16_t code = 0;
    if (!ParseNumber(Trim(text.substr(0, comma)), 0, 65535, &code)) return false;
    codes.insert(code);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  *out = std::move(codes);
  return true;
}

bool ParseProbe(std::string_view text, ProbeAnswer* out) {
  static constexpr std::pair<std::string_view, ProbeAnswer> kNames[] = {
      {"values", ProbeAnswer::kValues},
      {"unknown", ProbeAnswer::kUnknown},
      {"error", ProbeAnswer::kError},
      {"empty", ProbeAnswer::kEmpty},
      {"garbage", ProbeAnswer::kGarbage}};
  for (const auto& [name, answer] : kNames) {
    if (text == name) {
      *out = answer;
      return true;
    }
  }
  return false;
}

bool Fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

// The options every built-in terminal shares.
std::map<std::string, std::string> CommonOptions() {
  return {{"DeviceID", "1"},
          {"UDPPort", "4370"},
          {"TCPPort", "4370"},
          {"IPAddress", "192.168.1.201"},
          {"Language", "69"},
          {"NewLng", "69"},
          {"MThreshold", "55"},
          {"EThreshold", "45"},
          {"VThreshold", "35"},
          {"RS232BaudRate", "115200"},
          {"LockOn", "150"},
          {"IdleMinute", "0"},
          {"VoiceOn", "1"},
          {"WiegandFmt", "26"},
          {"~OEMVendor", "Sundial Works"},
          {"~RFCardOn", "1"},
          {"~LockFunOn", "1"},
          {"~IsOnlyRFMachine", "0"}};
}

}  // namespace

Profile Profile::Old() {
  Profile p;
  p.firmware = "Ver 4.52 Mar 15 2006";
  p.options = CommonOptions();
  p.options["~Platform"] = "ZEM100";
  p.options["~DeviceName"] = "F4";
  p.options["~SerialNumber"] = "0000123456";
  p.options["~RFCardOn"] = "0";
  // No "~OS", "~ExtendFmt", "ExtendOPLog", "~QXFPVersion" or face options.
  p.unknown_commands = {501, 69, 2998, 10019};
  p.pin_width = 5;
  p.mac = "00:17:61:01:04:52";
  return p;
}

Profile Profile::Ver660() {
  Profile p;
  p.firmware = "Ver 6.60 Oct 26 2009";
  p.options = CommonOptions();
  p.options["~OS"] = "1";
  p.options["~ExtendFmt"] = "1";
  p.options["ExtendOPLog"] = "1";
  p.options["~Platform"] = "ZEM510";
  p.options["~QXFPVersion"] = "10";
  p.options["~DeviceName"] = "B3-C";
  p.options["~SerialNumber"] = "3512009110023";
  p.options["~PIN2Width"] = "9";
  p.options["~UserExtFmt"] = "1";
  p.options["~SSR"] = "0";
  p.options["WorkCode"] = "0";
  p.options["BuildVersion"] = "20091026";
  p.options["CompatOldFirmware"] = "0";
  p.pin_width = 9;
  p.mac = "00:17:61:06:60:01";
  return p;
}

Profile Profile::Tft() {
  Profile p;
  p.firmware = "Ver 6.60 Mar 15 2011";
  p.options = CommonOptions();
  p.options["~OS"] = "1";
  p.options["~ExtendFmt"] = "1";
  p.options["ExtendOPLog"] = "1";
  p.options["~Platform"] = "ZEM560_TFT";
  p.options["~QXFPVersion"] = "10";
  p.options["QXFaceVersion"] = "7";
  p.options["FaceFunOn"] = "1";
  p.options["~DeviceName"] = "iFace302";
  p.options["~SerialNumber"] = "OGT2011060012";
  p.options["~PIN2Width"] = "9";
  p.options["~UserExtFmt"] = "1";
  p.options["~SSR"] = "1";
  p.options["WorkCode"] = "1";
  p.options["AttPhotoForSDK"] = "1";
  p.options["CameraOpen"] = "1";
  p.options["IsSupportPull"] = "1";
  p.options["BuildVersion"] = "20110315";
  p.pin_width = 9;
  p.storage = {{20, 15}, {22, 800}};
  p.mac = "00:17:61:0F:AC:E1";
  p.piecewise_templates = true;
  return p;
}

bool ParseDateTime(std::string_view text, DateTime* out) {
  DateTime t;
  char tail = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &t.second, &tail) != 6)
    return false;
  const bool valid = t.year >= 2000 && t.year <= 2133 && t.month >= 1 && t.month <= 12 &&
                     t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
                     t.minute <= 59 && t.second >= 0 && t.second <= 59;
  if (!valid) return false;
  *out = t;
  return true;
}

bool ApplyProfileSetting(const std::string& line, Profile* profile, std::string* error) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return Fail(error, "no '=' in \"" + line + "\"");
  const std::string_view key = Trim(std::string_view(line).substr(0, eq));
  const std::string_view value = Trim(std::string_view(line).substr(eq + 1));
  Profile& p = *profile;
  bool ok = true;

  if (key.substr(0, kOptionPrefix.size()) == kOptionPrefix) {
    const std::string_view name = key.substr(kOptionPrefix.size());
    if (name.empty()) return Fail(error, "option without a name");
    p.options[std::string(name)] = std::string(value);
  } else if (key.substr(0, kStoragePrefix.size()) == kStoragePrefix) {
    int word = 0;
    uint32_t count = 0;
    ok = ParseNumber(key.substr(kStoragePrefix.size()), 0, 24, &word) &&
         ParseNumber(value, 0, std::numeric_limits<uint32_t>::max(), &count);
    if (ok) p.storage[word] = count;
  } else if (key == "base") {
    if (value == "old") {
      p = Profile::Old();
    } else if (value == "ver660") {
      p = Profile::Ver660();
    } else if (value == "tft") {
      p = Profile::Tft();
    } else {
      ok = false;
    }
  } else if (key == "firmware") {
    p.firmware = value;
  } else if (key == "device_firmware") {
    p.device_firmware = value;
  } else if (key == "password") {
    ok = ParseNumber(value, 0, std::numeric_limits<uint32_t>::max(), &p.comm_password);
  } else if (key == "pin_width") {
    ok = ParseNumber(value, -128, 127, &p.pin_width);
  } else if (key == "device_status") {
    ok = ParseNumber(value, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max(), &p.device_status);
  } else if (key == "door_state") {
    ok = ParseNumber(value, 0, 255, &p.door_state);
  } else if (key == "machine_state") {
    ok = ParseNumber(value, 0, 65535, &p.machine_state);
  } else if (key == "clock") {
    ok = ParseDateTime(value, &p.clock);
  } else if (key == "clock_runs") {
    ok = ParseFlag(value, &p.clock_runs);
  } else if (key == "option_probe") {
    ok = ParseProbe(value, &p.option_probe);
  } else if (key == "unknown_commands") {
    ok = ParseCodes(value, &p.unknown_commands);
  } else if (key == "refused_commands") {
    ok = ParseCodes(value, &p.refused_commands);
  } else if (key == "mac") {
    p.mac = value;
  } else if (key == "search_ip") {
    p.search_ip = value;
  } else if (key == "search_answer") {
    p.search_answer = value;
  } else if (key == "piecewise_templates") {
    ok = ParseFlag(value, &p.piecewise_templates);
  } else if (key == "batch_ops") {
    if (value == "pin") {
      p.batch_ops = Profile::BatchOps::kPin;
    } else if (value == "id_text") {
      p.batch_ops = Profile::BatchOps::kIdText;
    } else {
      ok = false;
    }
  } else if (key == "max_packet") {
    // 0 (by platform), or a header and at least one byte, up to a TCP frame's packet.
    ok = ParseNumber(value, 0, 65544, &p.max_packet) && (p.max_packet == 0 || p.max_packet > 8);
  } else {
    return Fail(error, "unknown setting \"" + std::string(key) + "\"");
  }
  if (!ok)
    return Fail(error, "bad value for " + std::string(key) + ": \"" + std::string(value) + "\"");
  return true;
}

bool LoadProfile(const std::string& path, Profile* profile, std::string* error) {
  std::ifstream in(path);
  if (!in) return Fail(error, path + ": cannot be read");
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    std::string reason;
    if (!ApplyProfileSetting(std::string(text), profile, &reason))
      return Fail(error, path + ":" + std::to_string(number) + ": " + reason);
  }
  return true;
}

bool ProfileByName(const std::string& name_or_path, Profile* profile, std::string* error) {
  if (name_or_path == "old") {
    *profile = Profile::Old();
  } else if (name_or_path == "ver660") {
    *profile = Profile::Ver660();
  } else if (name_or_path == "tft") {
    *profile = Profile::Tft();
  } else {
    Profile loaded;
    if (!LoadProfile(name_or_path, &loaded, error)) return false;
    *profile = std::move(loaded);
  }
  return true;
}

}  // namespace termsim
