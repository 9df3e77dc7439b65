// termctl workcodes, bells and shortkeys: the terminal's small tables.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"

namespace termctl {

namespace {

constexpr int kMaxListedKey = 32;  // keys listed by `shortkeys` without a number

bool ColourScreen(DEVAPI_HANDLE h) {
  int32_t flag = 0;
  return Q_IsTFTMachine(h, &flag) == 1 && flag != 0;
}

std::string Clock(int hour, int minute) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d:%02d", hour, minute);
  return text;
}

// "HH:MM" with an hour 0-23 and a minute 0-59.
bool ParseClock(const std::string& text, int* hour, int* minute) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const auto h = ParseInt(text.substr(0, colon));
  const auto m = ParseInt(text.substr(colon + 1));
  if (!h || !m || *h < 0 || *h > 23 || *m < 0 || *m > 59) return false;
  *hour = static_cast<int>(*h);
  *minute = static_cast<int>(*m);
  return true;
}

std::optional<int32_t> Word(const std::string& text, long long min, long long max) {
  const auto v = ParseInt(text);
  if (!v || *v < min || *v > max) return std::nullopt;
  return static_cast<int32_t>(*v);
}

int Show(const Context& ctx, std::vector<Record> records) {
  Format format;
  if (!FormatOption(ctx, &format)) return kUsage;
  WriteRecords(stdout, records, format);
  return kOk;
}

}  // namespace

int CmdWorkCodes(Context& ctx) {
  const auto& w = ctx.inv.words;
  constexpr const char* kForms = "expected 'get N', 'set N CODE', 'delete N' or 'clear'";
  if (w.empty()) return Usage("workcodes", kForms);
  const bool text_form = ColourScreen(ctx.handle);
  if (w[0] == "clear" && w.size() == 1) {
    const int r = text_form ? Q_SSR_ClearWorkCode(ctx.handle) : Q_ClearWorkCode(ctx.handle);
    if (r != 1) return Fail(ctx, text_form ? "Q_SSR_ClearWorkCode" : "Q_ClearWorkCode", r);
    std::printf("work codes cleared\n");
    return kOk;
  }
  if (w.size() < 2) return Usage("workcodes", kForms);
  const auto number = Word(w[1], text_form ? 0 : 0, text_form ? 99999999 : 65535);
  if (!number) return Usage("workcodes", "bad number '" + w[1] + "'");
  if (w[0] == "get" && w.size() == 2) {
    if (text_form) {
      int32_t record[7] = {};
      const int r = Q_SSR_GetWorkCode(ctx.handle, *number, record);
      if (r != 1) return Fail(ctx, "Q_SSR_GetWorkCode", r);
      const char* text = reinterpret_cast<const char*>(record);
      return Show(ctx, {{Number("number", *number), Text("code", std::string(text, ::strnlen(text, 24)))}});
    }
    int32_t code = 0;
    const int r = Q_GetWorkCode(ctx.handle, *number, &code);
    if (r != 1) return Fail(ctx, "Q_GetWorkCode", r);
    return Show(ctx, {{Number("number", *number), Number("code", code)}});
  }
  if (w[0] == "set" && w.size() == 3) {
    int r = 0;
    if (text_form) {
      if (w[2].size() > 24) return Usage("workcodes", "a code of at most 24 characters");
      int32_t record[7] = {};
      std::memcpy(record, w[2].data(), w[2].size());
      r = Q_SSR_SetWorkCode(ctx.handle, *number, record);
    } else {
      const auto code = Word(w[2], INT32_MIN, INT32_MAX);
      if (!code) return Usage("workcodes", "bad code '" + w[2] + "'");
      r = Q_SetWorkCode(ctx.handle, *number, *code);
    }
    if (r != 1) return Fail(ctx, text_form ? "Q_SSR_SetWorkCode" : "Q_SetWorkCode", r);
    std::printf("work code %d set\n", *number);
    return kOk;
  }
  if (w[0] == "delete" && w.size() == 2) {
    const int r = text_form ? Q_SSR_DeleteWorkCode(ctx.handle, *number)
                            : Q_DeleteWorkCode(ctx.handle, *number);
    if (r == 0) {
      std::fprintf(stderr, "termctl: no work code %d\n", *number);
      return kFailed;
    }
    if (r != 1) return Fail(ctx, text_form ? "Q_SSR_DeleteWorkCode" : "Q_DeleteWorkCode", r);
    std::printf("work code %d deleted\n", *number);
    return kOk;
  }
  return Usage("workcodes", kForms);
}

int CmdBells(Context& ctx) {
  const auto& w = ctx.inv.words;
  if (w.size() == 3 && w[0] == "set") {
    const auto number = Word(w[1], 0, INT32_MAX);
    if (!number) return Usage("bells", "bad bell number '" + w[1] + "'");
    int hour = 0, minute = 0;
    if (!ParseClock(w[2], &hour, &minute)) {
      return Usage("bells", "bad time '" + w[2] + "' (HH:MM, 00:00 to 23:59)");
    }
    const int r = Q_SetBellSetting(ctx.handle, 0, *number, 0, hour, minute, 0, 0, 0, 0);
    if (r != 1) return Fail(ctx, "Q_SetBellSetting", r);
    std::printf("bell %d rings at %s\n", *number, Clock(hour, minute).c_str());
    return kOk;
  }
  if (!w.empty()) return Usage("bells", "expected no word or 'set N HH:MM'");
  const int loaded = Q_ReadAllBell(ctx.handle);
  if (loaded < 0) return Fail(ctx, "Q_ReadAllBell", loaded);
  std::vector<Record> records;
  for (;;) {
    int32_t v[9] = {};
    const int r = Q_GetBellInfo(ctx.handle, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                                &v[7], &v[8]);
    if (r == 0) break;
    if (r != 1) return Fail(ctx, "Q_GetBellInfo", r);
    records.push_back({Number("number", v[1]), Number("kind", v[0]), Text("time", Clock(v[3], v[4]))});
  }
  return Show(ctx, std::move(records));
}

int CmdShortKeys(Context& ctx) {
  const auto& w = ctx.inv.words;
  if (!w.empty() && w[0] == "set") {
    if (w.size() != 2) return Usage("shortkeys", "expected 'set N --state S [--times TEXT]'");
    const auto number = Word(w[1], 0, 255);
    const auto state = Word(ctx.inv.Get("state"), 0, 255);
    if (!number || !state) return Usage("shortkeys", "needs a key number and --state 0-255");
    const std::string times = ctx.inv.Get("times");
    const int32_t values[4] = {};
    const int r = Q_SSR_SetShortKey(ctx.handle, *number, 1, *state, values, times.empty() ? 0 : 1,
                                    times.c_str());
    if (r == 4) {
      return Usage("shortkeys",
                   "refused: a bad time text (H:M; seven times) or a key that conflicts with "
                   "another");
    }
    if (r != 1) return Fail(ctx, "Q_SSR_SetShortKey", r);
    std::printf("key %d selects state %d\n", *number, *state);
    return kOk;
  }
  if (w.size() > 1) return Usage("shortkeys", "expected no word, N or 'set N --state S'");
  int first = 1, last = kMaxListedKey;
  if (w.size() == 1) {
    const auto number = Word(w[0], 0, 255);
    if (!number) return Usage("shortkeys", "bad key number '" + w[0] + "'");
    first = last = *number;
  }
  std::vector<Record> records;
  for (int n = first; n <= last; ++n) {
    int32_t function = 0, state = 0, values[4] = {}, flag = 0;
    char times[43] = {};
    const int r = Q_SSR_GetShortKey(ctx.handle, n, &function, &state, values, &flag, times);
    if (r == 0) continue;
    if (r != 1) return Fail(ctx, "Q_SSR_GetShortKey", r);
    records.push_back({Number("number", n), Number("function", function), Number("state", state),
                       Number("auto", flag), Text("times", times)});
  }
  if (records.empty() && w.size() == 1) {
    std::fprintf(stderr, "termctl: no key %d\n", first);
    return kFailed;
  }
  return Show(ctx, std::move(records));
}

}  // namespace termctl
