// `termctl` with no command: a short tour of what the tool does.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "moment.h"

namespace termctl {

namespace {

constexpr size_t kUsersShown = 5;
constexpr size_t kPunchesShown = 8;

std::string Trim(const char* text) {
  std::string s(text);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

int CmdDemo(Context& ctx) {
  DEVAPI_HANDLE h = ctx.handle;
  char firmware[64] = {};
  const int r = Q_GetFirmwareVersion(h, firmware);
  if (r != 1) return Fail(ctx, "Q_GetFirmwareVersion", r);
  char serial[256] = {};
  Q_GetSerialNumber(h, serial);
  int32_t users = 0, records = 0;
  Q_GetDeviceStatus(h, 2, &users);
  Q_GetDeviceStatus(h, 6, &records);
  int32_t y = 0, mo = 0, d = 0, hh = 0, mi = 0, s = 0;
  Q_GetTime(h, &y, &mo, &d, &hh, &mi, &s);
  std::printf("== termctl info\n");
  std::printf("firmware       %s\nserial number  %s\nclock          %s\n", Trim(firmware).c_str(),
              Trim(serial).c_str(), FormatMoment({y, mo, d, hh, mi, s}).c_str());
  std::printf("users          %d\nrecords        %d\n\n", users, records);

  std::printf("== termctl users (first %zu)\n", kUsersShown);
  const int u = Q_ReadUserInfo(h);
  if (u < 0) return Fail(ctx, "Q_ReadUserInfo", u);
  std::vector<Record> rows;
  while (rows.size() < kUsersShown) {
    int32_t pin = 0, privilege = 0, enabled = 0, pin2 = 0, group = 0, tz[4] = {};
    char name[32] = {}, password[16] = {};
    uint8_t card[8] = {};
    if (Q_GetUserInfo(h, &pin, name, &privilege, &enabled, password, card, &pin2, &group, tz) !=
        1) {
      break;
    }
    rows.push_back({Number("pin", pin), Number("pin2", pin2), Text("name", name),
                    Number("privilege", privilege), Number("enabled", enabled)});
  }
  WriteRecords(stdout, rows, Format::kTable);

  std::printf("\n== termctl logs (latest %zu)\n", kPunchesShown);
  const int l = Q_ReadLog(h, 0);
  if (l < 0) return Fail(ctx, "Q_ReadLog", l);
  std::vector<Record> punches;
  for (;;) {
    int32_t user = 0, work = 0, reserved = 0;
    uint8_t verify = 0, state = 0;
    if (Q_GetExtLog(h, &user, &verify, &state, &y, &mo, &d, &hh, &mi, &s, &work, &reserved) != 1) {
      break;
    }
    punches.push_back({Number("user", user), Text("time", FormatMoment({y, mo, d, hh, mi, s})),
                       Number("verify_mode", verify), Number("state", state)});
  }
  if (punches.size() > kPunchesShown) {
    punches.erase(punches.begin(), punches.end() - static_cast<long>(kPunchesShown));
  }
  WriteRecords(stdout, punches, Format::kTable);
  std::printf(
      "\nMore: termctl --help   (e.g. termctl logs --format csv, termctl users --format "
      "json)\n");
  return kOk;
}

}  // namespace termctl
