#include "store/access_lines.h"

#include <charconv>
#include <map>

#include "store/line_fields.h"
#include "termsim/simulator.h"

namespace termsim {

namespace {

template <typename T>
bool Number(std::string_view text, unsigned long max, T* out) {
  unsigned long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > max) {
    return false;
  }
  *out = static_cast<T>(v);
  return true;
}

// "a,b,c": exactly `out.size()` numbers up to `max`.
template <typename T, size_t N>
bool List(std::string_view text, unsigned long max, std::array<T, N>* out) {
  std::array<T, N> values{};
  for (size_t i = 0; i < N; ++i) {
    const size_t comma = text.find(',');
    if ((comma == std::string_view::npos) != (i + 1 == N)) return false;
    if (!Number(text.substr(0, comma), max, &values[i])) return false;
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
  }
  *out = values;
  return true;
}

// Two decimal digits per byte.
template <size_t N>
bool DigitBytes(std::string_view text, std::array<uint8_t, N>* out) {
  if (text.size() != 2 * N) return false;
  for (size_t i = 0; i < N; ++i) {
    if (!Number(text.substr(2 * i, 2), 99, &(*out)[i])) return false;
  }
  return true;
}

bool ParseFace(std::map<std::string, std::string>& f, AccessLines* lines) {
  Face face;
  std::vector<uint8_t> bytes;
  uint8_t version = 0;
  if (!Number(f["pin"], 65534, &face.pin) || face.pin == 0 || !Number(f["index"], 255, &face.index) ||
      !HexBytes(f["data"], &bytes) || bytes.size() > kFaceRecordBytes - 16 ||
      (f.contains("version") && !Number(f["version"], 255, &version))) {
    return false;
  }
  face.record.assign(kFaceRecordBytes, 0);
  face.record[0] = static_cast<uint8_t>(bytes.size());
  face.record[1] = static_cast<uint8_t>(bytes.size() >> 8);
  face.record[5] = 1;
  face.record[6] = version == 8 ? 8 : 0;
  std::copy(bytes.begin(), bytes.end(), face.record.begin() + 16);
  lines->faces.push_back(std::move(face));
  return true;
}

bool ParseGroup(std::map<std::string, std::string>& f, AccessData* data) {
  uint8_t group = 0;
  if (!Number(f["group"], 99, &group)) return false;
  GroupZones g;
  if (f.contains("zones")) {
    if (!List(f["zones"], 0xFFFFFFFFul, &g.zones)) return false;
    g.mode = g.zones[0] != 0 ? 1 : 0;
  }
  if (f.contains("mode") && !Number(f["mode"], 0xFFFFFFFFul, &g.mode)) return false;
  if (f.contains("fixed") && !List(f["fixed"], 0xFFFF, &g.fixed_zones)) return false;
  uint8_t flag = 0, number = 0;
  if (f.contains("flag") && !Number(f["flag"], 1, &flag)) return false;
  if (f.contains("number") && !Number(f["number"], 127, &number)) return false;
  g.fixed_byte = static_cast<uint8_t>((flag << 7) | number);
  data->groups[group] = g;
  return true;
}

bool ParseMessage(std::map<std::string, std::string>& f, AccessData* data) {
  uint16_t number = 0;
  ShortMessage m;
  if (!Number(f["number"], 65535, &number) || f["text"].size() > 320) return false;
  m.content = f["text"];
  if (f.contains("tag") && !Number(f["tag"], 255, &m.tag)) return false;
  if (f.contains("minutes") && !Number(f["minutes"], 65535, &m.minutes)) return false;
  if (f.contains("start")) {
    DateTime start;
    if (!ParseDateTime(f["start"], &start)) return false;
    m.start = PackTime(start);
  }
  std::string_view users = f["users"];
  while (!users.empty()) {
    const size_t comma = users.find(',');
    uint16_t pin = 0;
    if (!Number(users.substr(0, comma), 65534, &pin)) return false;
    data->links.insert({pin, number});
    if (comma == std::string_view::npos) break;
    users.remove_prefix(comma + 1);
  }
  data->messages[number] = std::move(m);
  return true;
}

}  // namespace

bool IsAccessSection(std::string_view name) {
  return name == "faces" || name == "timezones" || name == "groups" || name == "holidays" ||
         name == "locks" || name == "messages";
}

bool ParseAccessLine(std::string_view name, std::string_view line, AccessLines* lines,
                     std::string* error) {
  auto f = LineFields(line);
  AccessData& data = lines->data;
  bool ok = false;
  std::string form;
  if (name == "faces") {
    form = "pin=N<TAB>index=I<TAB>data=HEX[<TAB>version=8]";
    ok = ParseFace(f, lines);
  } else if (name == "timezones") {
    form = "zone=1-50<TAB>text=56 digits";
    uint8_t zone = 0;
    std::array<uint8_t, 28> days{};
    ok = Number(f["zone"], 50, &zone) && zone >= 1 && DigitBytes(f["text"], &days);
    if (ok) data.zones[zone] = days;
  } else if (name == "groups") {
    form = "group=0-99[<TAB>zones=A,B,C][<TAB>mode=M][<TAB>fixed=A,B,C][<TAB>flag=0|1][<TAB>number=N]";
    ok = ParseGroup(f, &data);
  } else if (name == "holidays") {
    form = "number=1-99<TAB>dates=MMDDmmdd[<TAB>zone=Z]";
    uint8_t number = 0;
    Holiday h;
    ok = Number(f["number"], 99, &number) && number >= 1 && DigitBytes(f["dates"], &h.dates) &&
         (!f.contains("zone") || Number(f["zone"], 65535, &h.zone));
    if (ok) data.holidays[number] = h;
  } else if (name == "locks") {
    form = "unlock=TEXT, or combination=0-10<TAB>groups=A,B,C,D,E";
    if (f.contains("unlock")) {
      data.unlock_groups = f["unlock"];
      ok = data.unlock_groups.size() < 200;
    } else {
      uint8_t number = 0;
      std::array<uint8_t, 5> groups{};
      ok = Number(f["combination"], 10, &number) && List(f["groups"], 99, &groups);
      if (ok) data.combinations[number] = groups;
    }
  } else if (name == "messages") {
    form = "number=N<TAB>text=TEXT[<TAB>tag=T][<TAB>minutes=M][<TAB>start=YYYY-MM-DD hh:mm:ss]"
           "[<TAB>users=PIN,...]";
    ok = ParseMessage(f, &data);
  }
  if (!ok && error != nullptr) *error = "want " + form;
  return ok;
}

void TakeAccessSection(std::string_view name, const AccessData& from, AccessData* to) {
  if (name == "timezones") to->zones = from.zones;
  if (name == "groups") to->groups = from.groups;
  if (name == "holidays") to->holidays = from.holidays;
  if (name == "locks") {
    to->unlock_groups = from.unlock_groups;
    to->combinations = from.combinations;
  }
  if (name == "messages") {
    to->messages = from.messages;
    to->links = from.links;
  }
}

}  // namespace termsim
