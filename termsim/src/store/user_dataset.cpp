// User data sets: generated from a seed, or read from and written to files.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

#include "store/line_fields.h"
#include "termsim/simulator.h"

namespace termsim {

namespace {

constexpr const char* kFirstNames[] = {"Ann",   "Bo",     "Carla", "Dieter",  "Eve",
                                       "Femke", "Gustav", "Hanna", "Ibrahim", "Jo"};
constexpr const char* kLastNames[] = {"Ng",       "Lopez",     "Schmidt",         "Okafor",
                                      "Nakamura", "Johansson", "Kowalczyk-Brandt"};

// Name lengths vary so that some fill the narrow 8-byte field exactly and
// some the 24-byte field.
std::string NameFor(std::mt19937& rng, uint16_t pin) {
  const std::string first = kFirstNames[rng() % std::size(kFirstNames)];
  const std::string last = kLastNames[rng() % std::size(kLastNames)];
  switch (rng() % 4) {
    case 0:
      return first;
    case 1:
      return (first + last).substr(0, 8);
    case 2:
      return (first + " " + last + " " + std::to_string(pin)).substr(0, 24);
    default:
      return first + " " + last;
  }
}

std::string Digits(std::mt19937& rng, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out.push_back(static_cast<char>('0' + rng() % 10));
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

template <typename T>
bool Number(std::string_view text, T* out) {
  unsigned long long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() ||
      v > static_cast<unsigned long long>(std::numeric_limits<T>::max())) {
    return false;
  }
  *out = static_cast<T>(v);
  return true;
}

bool Zones(std::string_view text, std::array<uint16_t, 3>* out) {
  std::array<uint16_t, 3> zones{};
  for (size_t i = 0; i < 3; ++i) {
    const size_t comma = text.find(',');
    if ((comma == std::string_view::npos) != (i == 2)) return false;
    if (!Number(text.substr(0, comma), &zones[i])) return false;
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
  }
  *out = zones;
  return true;
}

// "a,b,c,d": the four words at offset 40 of the colour-screen record, which
// attendance reads as the user's time slots (tz_mode and the three zones).
bool Slots(std::string_view text, User* u) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  uint16_t first = 0;
  std::array<uint16_t, 3> rest{};
  if (!Number(text.substr(0, comma), &first) || !Zones(text.substr(comma + 1), &rest)) return false;
  u->tz_mode = first;
  u->time_zones = rest;
  return true;
}

// "V1,V2,START,END" with the moments as "YYYY-MM-DD hh:mm:ss".
bool Validity(std::string_view text, User* u) {
  std::vector<std::string_view> parts;
  for (size_t comma; (comma = text.find(',')) != std::string_view::npos;) {
    parts.push_back(text.substr(0, comma));
    text.remove_prefix(comma + 1);
  }
  parts.push_back(text);
  ValidityPeriod v;
  DateTime start, end;
  if (parts.size() != 4 || !Number(parts[0], &v.value1) || !Number(parts[1], &v.value2) ||
      !ParseDateTime(parts[2], &start) || !ParseDateTime(parts[3], &end)) {
    return false;
  }
  v.start = PackTime(start);
  v.end = PackTime(end);
  u->valid = v;
  return true;
}

std::string FormatMoment(uint32_t packed) {
  const DateTime t = UnpackTime(packed);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

bool ApplyField(std::string_view key, std::string_view value, User* u) {
  if (key == "pin") return Number(value, &u->pin);
  if (key == "pin2") return Number(value, &u->pin2);
  if (key == "privilege") return Number(value, &u->privilege);
  if (key == "card") return Number(value, &u->card);
  if (key == "card_extra") return Number(value, &u->card_extra);
  if (key == "group") return Number(value, &u->group);
  if (key == "tz_mode") return Number(value, &u->tz_mode);
  if (key == "verify") return Number(value, &u->verify_style);
  if (key == "tz") return Zones(value, &u->time_zones);
  if (key == "slots") return Slots(value, u);
  if (key == "id_card") {
    u->id_card.clear();
    return HexBytes(value, &u->id_card);
  }
  if (key == "valid") return Validity(value, u);
  const auto text = [&](std::string* out, size_t width) {
    if (value.size() > width) return false;
    out->assign(value);
    return true;
  };
  if (key == "id") return text(&u->id_text, 24);
  if (key == "name") return text(&u->name, 24);
  if (key == "password") return text(&u->password, 8);
  return false;
}

}  // namespace

std::vector<User> GenerateUsers(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  count = std::min<size_t>(count, 65534);
  std::vector<User> users;
  users.reserve(count);
  std::set<uint32_t> pin2s;
  for (size_t i = 0; i < count; ++i) {
    User u;
    u.pin = static_cast<uint16_t>(i + 1);
    do {
      u.pin2 = 1 + rng() % 999999999u;
    } while (!pin2s.insert(u.pin2).second);
    u.id_text = std::to_string(u.pin2);
    u.name = NameFor(rng, u.pin);
    if (rng() % 3 != 0) u.password = Digits(rng, 1 + rng() % 8);
    static constexpr uint8_t kPrivileges[] = {0, 0, 0, 0, 0, 0, 2, 6, 14, 1};
    u.privilege = kPrivileges[rng() % std::size(kPrivileges)];
    if (rng() % 2 == 0) u.card = rng();
    u.group = static_cast<uint8_t>(1 + rng() % 4);
    if (rng() % 4 == 0) {
      u.tz_mode = 1;
      u.time_zones = {static_cast<uint16_t>(1 + rng() % 50), static_cast<uint16_t>(rng() % 50), 0};
    }
    users.push_back(std::move(u));
  }
  return users;
}

bool ParseUserLine(std::string_view line, User* user, std::string* error) {
  User u;
  std::string_view rest = line;
  while (!rest.empty()) {
    const size_t tab = rest.find('\t');
    const std::string_view field = rest.substr(0, tab);
    const size_t eq = field.find('=');
    if (eq == std::string_view::npos ||
        !ApplyField(field.substr(0, eq), field.substr(eq + 1), &u)) {
      if (error != nullptr) *error = "bad field \"" + std::string(field) + "\"";
      return false;
    }
    if (tab == std::string_view::npos) break;
    rest.remove_prefix(tab + 1);
  }
  if (u.pin == 0 || u.pin == 0xFFFF) {
    if (error != nullptr) *error = "pin must be 1-65534";
    return false;
  }
  *user = std::move(u);
  return true;
}

bool LoadUsers(const std::string& path, std::vector<User>* users, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error != nullptr) *error = path + ": cannot be read";
    return false;
  }
  std::vector<User> loaded;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::string reason;
    if (!ParseUserLine(line, &loaded.emplace_back(), &reason)) {
      if (error != nullptr) *error = path + ":" + std::to_string(number) + ": " + reason;
      return false;
    }
  }
  *users = std::move(loaded);
  return true;
}

std::string FormatUserLine(const User& u) {
  std::ostringstream out;
  out << "pin=" << u.pin << "\tpin2=" << u.pin2 << "\tid=" << u.id_text << "\tname=" << u.name
      << "\tpassword=" << u.password << "\tprivilege=" << int{u.privilege} << "\tcard=" << u.card
      << "\tcard_extra=" << int{u.card_extra} << "\tgroup=" << int{u.group}
      << "\ttz_mode=" << u.tz_mode << "\ttz=" << u.time_zones[0] << "," << u.time_zones[1] << ","
      << u.time_zones[2] << "\tverify=" << int{u.verify_style} << "\tid_card=" << Hex(u.id_card);
  if (u.valid) {
    out << "\tvalid=" << u.valid->value1 << "," << u.valid->value2 << ","
        << FormatMoment(u.valid->start) << "," << FormatMoment(u.valid->end);
  }
  return out.str();
}

bool SaveUsers(const std::string& path, const std::vector<User>& users, std::string* error) {
  std::ofstream out(path, std::ios::trunc);
  if (!out) {
    if (error != nullptr) *error = path + ": cannot be written";
    return false;
  }
  for (const User& u : users) out << FormatUserLine(u) << "\n";
  out.close();
  if (!out) {
    if (error != nullptr) *error = path + ": write failed";
    return false;
  }
  return true;
}

}  // namespace termsim
