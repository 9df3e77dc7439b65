// Template files: one template per line as tab-separated key=value fields.
#include <charconv>
#include <fstream>
#include <limits>
#include <string_view>

#include "termsim/templates.h"

namespace termsim {

namespace {

template <typename T>
bool Number(std::string_view text, T* out) {
  unsigned long long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      v > static_cast<unsigned long long>(std::numeric_limits<T>::max())) {
    return false;
  }
  *out = static_cast<T>(v);
  return true;
}

bool FromHex(std::string_view text, std::vector<uint8_t>* out) {
  if (text.size() % 2 != 0) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    uint8_t b = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, b, 16);
    if (ec != std::errc() || end != text.data() + i + 2) return false;
    bytes.push_back(b);
  }
  *out = std::move(bytes);
  return true;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

bool Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

bool ParseTemplateLine(const std::string& line, FingerTemplate* out, std::string* error) {
  FingerTemplate t;
  bool has_pin = false;
  bool has_data = false;
  std::string_view rest = line;
  if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
  while (!rest.empty()) {
    const size_t tab = rest.find('\t');
    const std::string_view field = rest.substr(0, tab);
    const size_t eq = field.find('=');
    const std::string_view key = field.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? "" : field.substr(eq + 1);
    const bool assigns = eq != std::string_view::npos;
    bool ok = false;
    if (assigns && key == "pin") {
      ok = Number(value, &t.pin) && t.pin != 0 && t.pin != 0xFFFF;
      has_pin = true;
    } else if (assigns && key == "finger") {
      ok = Number(value, &t.finger);
    } else if (assigns && key == "flag") {
      ok = Number(value, &t.flag);
    } else if (assigns && key == "data") {
      ok = FromHex(value, &t.bytes);
      has_data = true;
    }
    if (!ok) return Fail(error, "bad field \"" + std::string(field) + "\"");
    if (tab == std::string_view::npos) break;
    rest.remove_prefix(tab + 1);
  }
  if (!has_pin) return Fail(error, "no pin");
  if (!has_data || t.bytes.empty()) return Fail(error, "no template data");
  *out = std::move(t);
  return true;
}

std::string FormatTemplateLine(const FingerTemplate& t) {
  return "pin=" + std::to_string(t.pin) + "\tfinger=" + std::to_string(t.finger) +
         "\tflag=" + std::to_string(t.flag) + "\tdata=" + Hex(t.bytes);
}

bool LoadTemplates(const std::string& path, std::vector<FingerTemplate>* templates,
                   std::string* error) {
  std::ifstream in(path);
  if (!in) return Fail(error, path + ": cannot be read");
  std::vector<FingerTemplate> loaded;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    FingerTemplate t;
    std::string reason;
    if (!ParseTemplateLine(line, &t, &reason)) {
      return Fail(error, path + ":" + std::to_string(number) + ": " + reason);
    }
    loaded.push_back(std::move(t));
  }
  *templates = std::move(loaded);
  return true;
}

bool SaveTemplates(const std::string& path, const std::vector<FingerTemplate>& templates,
                   std::string* error) {
  std::ofstream out(path, std::ios::trunc);
  if (!out) return Fail(error, path + ": cannot be written");
  for (const FingerTemplate& t : templates) out << FormatTemplateLine(t) << "\n";
  out.close();
  if (!out) return Fail(error, path + ": write failed");
  return true;
}

}  // namespace termsim
