// termctl timezones, holidays and faces: access-control data and a user's
// faces, which move between terminals through a file.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"

namespace termctl {

namespace {

constexpr int32_t kZones = 50;
constexpr size_t kZoneText = 57;
constexpr size_t kHolidayText = 193;
constexpr int32_t kAllFaces = 50;
constexpr size_t kFaceRecord = 2576;
constexpr size_t kMostFaces = 50;  // room for every face a user may have

const char* const kDays[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

// "0800" -> "08:00".
std::string ClockOf(const std::string& digits) {
  return digits.substr(0, 2) + ":" + digits.substr(2, 2);
}

Record ZoneRecord(int32_t zone, const std::string& text) {
  Record r{Number("zone", zone)};
  for (size_t day = 0; day < 7; ++day) {
    const std::string group = text.substr(8 * day, 8);
    r.push_back(Text(kDays[day], ClockOf(group.substr(0, 4)) + "-" + ClockOf(group.substr(4))));
  }
  return r;
}

// Seven "HH:MM-HH:MM" ranges separated by commas, as the 56-digit text.
std::optional<std::string> ZoneDigits(const std::string& ranges) {
  std::string digits;
  std::istringstream in(ranges);
  std::string range;
  int days = 0;
  while (std::getline(in, range, ',')) {
    int h1 = 0, m1 = 0, h2 = 0, m2 = 0;
    char tail = 0;
    if (std::sscanf(range.c_str(), "%2d:%2d-%2d:%2d%c", &h1, &m1, &h2, &m2, &tail) != 4 ||
        h1 < 0 || h1 > 23 || h2 < 0 || h2 > 23 || m1 < 0 || m1 > 59 || m2 < 0 || m2 > 59) {
      return std::nullopt;
    }
    char group[9];
    std::snprintf(group, sizeof group, "%02d%02d%02d%02d", h1, m1, h2, m2);
    digits += group;
    ++days;
  }
  if (days != 7) return std::nullopt;
  return digits;
}

int ShowRecords(const Context& ctx, const std::vector<Record>& records) {
  Format format;
  if (!FormatOption(ctx, &format)) return kUsage;
  WriteRecords(stdout, records, format);
  return kOk;
}

bool Empty(const std::string& digits) { return digits.find_first_not_of('0') == std::string::npos; }

}  // namespace

int CmdTimeZones(Context& ctx) {
  const auto& w = ctx.inv.words;
  constexpr const char* kForms = "expected '[N]' or 'set N HH:MM-HH:MM,... (seven days)'";
  if (!w.empty() && w[0] == "set") {
    if (w.size() != 3) return Usage("timezones", kForms);
    const auto zone = ParseInt(w[1]);
    if (!zone || *zone < 1 || *zone > kZones) return Usage("timezones", "bad zone '" + w[1] + "'");
    const auto digits = ZoneDigits(w[2]);
    if (!digits) return Usage("timezones", "bad days '" + w[2] + "'");
    const int r = Q_SetTZInfo(ctx.handle, static_cast<int32_t>(*zone), digits->c_str());
    if (r != 1) return Fail(ctx, "Q_SetTZInfo", r);
    std::printf("time zone %lld set\n", *zone);
    return kOk;
  }
  if (w.size() > 1) return Usage("timezones", kForms);
  int32_t first = 1, last = kZones;
  if (w.size() == 1) {
    const auto zone = ParseInt(w[0]);
    if (!zone || *zone < 1 || *zone > kZones) return Usage("timezones", "bad zone '" + w[0] + "'");
    first = last = static_cast<int32_t>(*zone);
  }
  std::vector<Record> records;
  for (int32_t zone = first; zone <= last; ++zone) {
    char text[kZoneText] = {};
    const int r = Q_GetTZInfo(ctx.handle, zone, text);
    if (r != 1) return Fail(ctx, "Q_GetTZInfo", r);
    // Listing all: the zones that hold something.
    if (first == last || !Empty(text)) records.push_back(ZoneRecord(zone, text));
  }
  return ShowRecords(ctx, records);
}

int CmdHolidays(Context& ctx) {
  const auto& w = ctx.inv.words;
  constexpr const char* kForms = "expected nothing or 'set MMDDmmdd...'";
  if (!w.empty()) {
    if (w.size() != 2 || w[0] != "set") return Usage("holidays", kForms);
    const int r = Q_SetHoliday(ctx.handle, w[1].c_str());
    if (r == 4) return Usage("holidays", "bad holidays '" + w[1] + "'");
    if (r != 1) return Fail(ctx, "Q_SetHoliday", r);
    std::printf("holidays set\n");
    return kOk;
  }
  char text[kHolidayText] = {};
  int32_t length = 0;
  const int r = Q_GetHoliday(ctx.handle, text, &length);
  if (r != 1) return Fail(ctx, "Q_GetHoliday", r);
  std::vector<Record> records;
  const std::string all(text);
  for (size_t i = 0; i + 8 <= all.size(); i += 8) {
    const std::string group = all.substr(i, 8);
    if (Empty(group)) continue;
    records.push_back({Number("holiday", static_cast<long long>(i / 8 + 1)),
                       Text("from", group.substr(0, 2) + "-" + group.substr(2, 2)),
                       Text("to", group.substr(4, 2) + "-" + group.substr(6, 2))});
  }
  return ShowRecords(ctx, records);
}

int CmdFaces(Context& ctx) {
  const auto& w = ctx.inv.words;
  constexpr const char* kForms = "expected 'ID --save FILE', 'ID --load FILE' or 'ID --delete'";
  const int modes = (ctx.inv.Has("save") ? 1 : 0) + (ctx.inv.Has("load") ? 1 : 0) +
                    (ctx.inv.Has("delete") ? 1 : 0);
  if (w.size() != 1 || modes != 1) return Usage("faces", kForms);
  const char* id = w[0].c_str();
  if (ctx.inv.Has("delete")) {
    const int r = Q_DelUserFace(ctx.handle, id, kAllFaces);
    if (r == 0) {
      std::printf("%s has no faces\n", id);
      return kOk;
    }
    if (r != 1) return Fail(ctx, "Q_DelUserFace", r);
    std::printf("faces of %s deleted\n", id);
    return kOk;
  }
  if (ctx.inv.Has("save")) {
    const std::string file = ctx.inv.Get("save");
    if (file.empty()) return Usage("faces", "--save needs a file");
    std::vector<uint8_t> buffer(kMostFaces * kFaceRecord);
    int32_t length = static_cast<int32_t>(buffer.size());
    const int r = Q_GetUserFace(ctx.handle, id, kAllFaces, buffer.data(), &length);
    if (r == 0) {
      std::fprintf(stderr, "termctl: %s has no faces\n", id);
      return kFailed;
    }
    if (r != 1) return Fail(ctx, "Q_GetUserFace", r);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(buffer.data()), length);
    out.close();
    if (!out) {
      std::fprintf(stderr, "termctl: cannot write %s\n", file.c_str());
      return kFailed;
    }
    std::printf("%d face record(s) of %s saved to %s\n", static_cast<int>(length / kFaceRecord),
                id, file.c_str());
    return kOk;
  }
  const std::string file = ctx.inv.Get("load");
  std::ifstream in(file, std::ios::binary);
  if (file.empty() || !in) return Usage("faces", "cannot read '" + file + "'");
  const std::vector<uint8_t> records((std::istreambuf_iterator<char>(in)), {});
  if (records.empty() || records.size() % kFaceRecord != 0) {
    return Usage("faces", "'" + file + "' holds no whole face records");
  }
  const int r = Q_SetUserFace(ctx.handle, id, kAllFaces, records.data(),
                              static_cast<int32_t>(records.size()));
  if (r != 1) return Fail(ctx, "Q_SetUserFace", r);
  std::printf("%d face record(s) loaded for %s\n", static_cast<int>(records.size() / kFaceRecord),
              id);
  return kOk;
}

}  // namespace termctl
