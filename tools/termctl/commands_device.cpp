// Device facts, clock, options and the control commands.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "moment.h"

namespace termctl {

namespace {

std::string Trimmed(const char* text) {
  std::string s(text);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

// An option's value, or "" when the terminal does not know it.
std::string OptionOrEmpty(DEVAPI_HANDLE h, const char* name) {
  char value[1024] = {};
  return Q_GetSysOption(h, name, value) == 1 ? Trimmed(value) : "";
}

// The storage counters, by their status numbers.
struct Counter {
  int index;
  const char* name;
};
constexpr Counter kCounters[] = {
    {2, "users"},
    {1, "administrators"},
    {3, "fingerprints"},
    {6, "attendance_records"},
    {5, "operation_records"},
    {8, "user_capacity"},
    {7, "fingerprint_capacity"},
    {9, "record_capacity"},
};

}  // namespace

// Reads everything worth knowing; items the terminal lacks are left empty.
int CmdInfo(Context& ctx) {
  Format format;
  if (!FormatOption(ctx, &format)) return kUsage;
  DEVAPI_HANDLE h = ctx.handle;
  Record info;
  char firmware[64] = {};
  const int r = Q_GetFirmwareVersion(h, firmware);
  if (r != 1) return Fail(ctx, "Q_GetFirmwareVersion", r);
  info.push_back(Text("firmware", Trimmed(firmware)));
  char text[256] = {};
  info.push_back(Text("serial_number", Q_GetSerialNumber(h, text) == 1 ? Trimmed(text) : ""));
  text[0] = 0;
  info.push_back(Text("product", Q_GetProductName(h, text) == 1 ? Trimmed(text) : ""));
  info.push_back(Text("platform", OptionOrEmpty(h, "~Platform")));
  info.push_back(Text("device_name", OptionOrEmpty(h, "~DeviceName")));
  for (const Counter& c : kCounters) {
    int32_t value = 0;
    if (Q_GetDeviceStatus(h, c.index, &value) == 1) info.push_back(Number(c.name, value));
  }
  int32_t y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0;
  if (Q_GetTime(h, &y, &mo, &d, &hh, &mi, &s) == 1) {
    info.push_back(Text("clock", FormatMoment(Moment{y, mo, d, hh, mi, s})));
  }
  int32_t flag = 0;
  if (Q_IsTFTMachine(h, &flag) == 1) info.push_back(Number("colour_screen", flag));
  int32_t width = 0;
  if (Q_GetPINWidth(h, &width) == 1) info.push_back(Number("pin_width", width));
  int32_t card = 0;
  if (Q_GetCardFun(h, &card) == 1) info.push_back(Number("card_reader", card));
  int32_t algorithms[2] = {};
  if (Q_GetKeyOptions(h, algorithms) == 1) {
    info.push_back(Number("fingerprint_algorithm", algorithms[0]));
    info.push_back(Number("face_algorithm", algorithms[1]));
  }
  if (format == Format::kJson) {
    std::printf("%s\n", JsonLine(info).c_str());
  } else {
    for (const Field& f : info) std::printf("%-22s %s\n", f.name.c_str(), f.value.c_str());
  }
  return kOk;
}

int CmdTime(Context& ctx) {
  const auto& w = ctx.inv.words;
  if (w.empty()) {
    int32_t y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0;
    const int r = Q_GetTime(ctx.handle, &y, &mo, &d, &hh, &mi, &s);
    if (r != 1) return Fail(ctx, "Q_GetTime", r);
    std::printf("%s\n", FormatMoment(Moment{y, mo, d, hh, mi, s}).c_str());
    return kOk;
  }
  Moment m;
  if (w[0] == "sync" && w.size() == 1) {
    m = LocalNow();
  } else if (w[0] == "set" && (w.size() == 2 || w.size() == 3)) {
    const std::string text = w.size() == 3 ? w[1] + " " + w[2] : w[1];
    const auto parsed = ParseMoment(text);
    if (!parsed) return Usage("time", "bad time '" + text + "' (YYYY-MM-DD HH:MM:SS)");
    m = *parsed;
  } else {
    return Usage("time", "expected no word, 'set YYYY-MM-DD HH:MM:SS' or 'sync'");
  }
  const int r = Q_SetTime(ctx.handle, m.year, m.month, m.day, m.hour, m.minute, m.second);
  if (r != 1) return Fail(ctx, "Q_SetTime", r);
  std::printf("clock set to %s\n", FormatMoment(m).c_str());
  return kOk;
}

int CmdOptions(Context& ctx) {
  const auto& w = ctx.inv.words;
  if (w.size() == 2 && w[0] == "get") {
    char value[1024] = {};
    const int r = Q_GetSysOption(ctx.handle, w[1].c_str(), value);
    if (r != 1) return Fail(ctx, "Q_GetSysOption", r);
    std::printf("%s\n", Trimmed(value).c_str());
    return kOk;
  }
  if (w.size() == 2 && w[0] == "set") {
    const size_t eq = w[1].find('=');
    if (eq == std::string::npos || eq == 0) return Usage("options", "expected NAME=VALUE");
    const std::string name = w[1].substr(0, eq);
    const std::string value = w[1].substr(eq + 1);
    const int r = Q_SetSysOption(ctx.handle, name.c_str(), value.c_str());
    if (r != 1) return Fail(ctx, "Q_SetSysOption", r);
    std::printf("%s=%s\n", name.c_str(), value.c_str());
    return kOk;
  }
  return Usage("options", "expected 'get NAME' or 'set NAME=VALUE'");
}

int CmdControl(Context& ctx) {
  const std::string& c = ctx.inv.command;
  if (!ctx.inv.words.empty()) return Usage(c, "takes no words");
  int r = 0;
  const char* call = "";
  if (c == "enable") {
    call = "Q_EnableDevice";
    r = Q_EnableDevice(ctx.handle);
  } else if (c == "disable") {
    call = "Q_DisableDevice";
    r = Q_DisableDevice(ctx.handle, 0);
  } else if (c == "restart") {
    call = "Q_RebootDevice";
    r = Q_RebootDevice(ctx.handle);
    // A successful restart closes the session.
    if (r == 1) ctx.handle = nullptr;
  } else if (c == "unlock") {
    const auto seconds = ParseInt(ctx.inv.Get("seconds", "5"));
    if (!seconds || *seconds < 1 || *seconds > 255) return Usage(c, "--seconds takes 1-255");
    call = "Q_Unlock";
    r = Q_Unlock(ctx.handle, static_cast<int32_t>(*seconds));
  } else if (c == "beep") {
    const auto ms = ParseInt(ctx.inv.Get("ms", "200"));
    if (!ms || *ms < 0 || *ms > 5100) return Usage(c, "--ms takes 0-5100");
    call = "Q_Beep";
    r = Q_Beep(ctx.handle, static_cast<int32_t>(*ms));
  }
  if (r != 1) return Fail(ctx, call, r);
  std::printf("%s: done\n", c.c_str());
  return kOk;
}

}  // namespace termctl
