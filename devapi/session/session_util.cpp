#include "session/session_util.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstring>

#include "platform/tick.h"

namespace devapi {

void NormaliseFirmware(char* text, size_t size) {
  if (text == nullptr || size < 21) return;
  static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char old[21];
  std::memcpy(old, text, sizeof old);
  int month = 12;
  for (int i = 0; i < 12; ++i) {
    if (std::memcmp(old + 9, kMonths[i], 3) == 0) {
      month = i;
      break;
    }
  }
  std::memcpy(text + 9, old + 16, 4);   // year
  std::memcpy(text + 15, old + 13, 2);  // day
  text[17] = '\0';
  text[13] = static_cast<char>('0' + (month + 1) / 10);
  text[14] = static_cast<char>('0' + (month + 1) % 10);
  text[size - 1] = '\0';
}

SerialTimeouts SerialTimeoutsForBaud(int32_t baud) {
  switch (baud) {
    case 9600:
      return {12000, 12000};
    case 19200:
      return {10000, 10000};
    case 38400:
      return {8000, 8000};
    case 57600:
      return {6000, 6000};
    case 115200:
      return {5000, 5000};
    default:
      break;
  }
  if (baud == 0) return {0, 0};
  // Any other rate: in 64 bits, so tiny or negative rates cannot overflow.
  const int64_t unit = 115200000LL / baud;
  const auto clamp = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return {clamp(2 * unit), clamp(3 * unit)};
}

uint32_t PackTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                  int32_t second) {
  uint32_t t = static_cast<uint32_t>(year - 2000) * 12u + static_cast<uint32_t>(month - 1);
  t = t * 31u + static_cast<uint32_t>(day - 1);
  t = t * 24u + static_cast<uint32_t>(hour);
  t = t * 60u + static_cast<uint32_t>(minute);
  t = t * 60u + static_cast<uint32_t>(second);
  return t;
}

int32_t WeekdayOf(int32_t year, int32_t day_of_year) {
  const auto floor_div = [](int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
  };
  const int64_t days =
      floor_div(year - 2001, 4) + static_cast<int64_t>(year) * 365 + day_of_year - 730364;
  int64_t w = days % 7;
  if (w < 0) w += 7;
  return static_cast<int32_t>((w + 6) % 7);
}

UnpackedTime UnpackTime(uint32_t t) {
  UnpackedTime u{};
  u.second = static_cast<int32_t>(t % 60);
  u.minute = static_cast<int32_t>((t / 60) % 60);
  u.hour = static_cast<int32_t>((t / 3600) % 24);
  u.day = static_cast<int32_t>((t / 86400) % 31 + 1);
  u.month = static_cast<int32_t>((t / 2678400) % 12 + 1);
  u.year = static_cast<int32_t>(t / 32140800 + 2000);
  static constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int yday = 0;
  for (int m = 1; m < u.month; ++m) yday += (m == 2 && u.year % 4 == 0) ? 29 : kMonthDays[m - 1];
  u.day_of_year = yday + u.day;
  u.weekday = WeekdayOf(u.year, u.day_of_year);
  return u;
}

int32_t LanguageToTerminal(int32_t value) {
  switch (value) {
    case 0:
      return 69;
    case 2:
      return 84;
    case 3:
      return 76;
    default:
      return 83;
  }
}

int32_t LanguageFromTerminal(int32_t value) {
  switch (value) {
    case 69:
      return 0;
    case 84:
      return 2;
    case 76:
      return 3;
    default:
      return 1;
  }
}

namespace {
constexpr int32_t kBaudRates[7] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};
}

int32_t BaudToTerminal(int32_t value) {
  return (value >= 0 && value <= 6) ? kBaudRates[value] : 115200;
}

int32_t BaudFromTerminal(int32_t value) {
  for (int32_t i = 0; i < 7; ++i) {
    if (kBaudRates[i] == value) return i;
  }
  return 7;
}

int64_t ThresholdToTerminal(int32_t value, bool old_firmware) {
  if (old_firmware) return static_cast<int64_t>(value) + 20;
  if (value < 0) return 0;
  if (value < 10) return 3 * value;
  if (value <= 50) return value + 20;
  return 70;
}

int64_t ThresholdFromTerminal(int32_t value, bool old_firmware) {
  if (old_firmware) return static_cast<int64_t>(value) - 20;
  if (value < 0) return 0;
  if (value < 30) return value / 3;
  if (value <= 70) return value - 20;
  return 50;
}

const char* InfoTypeName(int32_t type) {
  static constexpr const char* kNames[82] = {nullptr,
                                             "~ProductTime",
                                             "DeviceID",
                                             "NewLng",
                                             "IdleMinute",
                                             "LockOn",
                                             "AlarmAttLog",
                                             "AlarmOpLog",
                                             "AlarmReRec",
                                             "RS232BaudRate",
                                             "RS232CRC",
                                             "RS232Stop",
                                             "",
                                             "NetworkOn",
                                             "RS232On",
                                             "RS485On",
                                             "VoiceOn",
                                             "MSpeed",
                                             "IdlePower",
                                             "AutoPowerOff",
                                             "AutoPowerOn",
                                             "AutoPowerSuspend",
                                             "AutoAlarm1",
                                             "MThreshold",
                                             "EThreshold",
                                             "VThreshold",
                                             "ShowScore",
                                             "UnlockPerson",
                                             "OnlyPINCard",
                                             "HiSpeedNet",
                                             "MustEnroll",
                                             "TOState",
                                             "TOPin",
                                             "TOMenu",
                                             "DtFmt",
                                             "Must1To1",
                                             "AutoAlarm2",
                                             "AutoAlarm3",
                                             "AutoAlarm4",
                                             "AutoAlarm5",
                                             "AutoAlarm6",
                                             "AS1",
                                             "AS2",
                                             "AS3",
                                             "AS4",
                                             "AS5",
                                             "AS6",
                                             "AS7",
                                             "AS8",
                                             "AS9",
                                             "AS10",
                                             "AS11",
                                             "AS12",
                                             "AS13",
                                             "AS14",
                                             "AS15",
                                             "AS16",
                                             "WGFailedID",
                                             "WGDuressID",
                                             "WGSiteCode",
                                             "WGPulseWidth",
                                             "WGPulseInterval",
                                             "~RFSStart",
                                             "~RFSLen",
                                             "~RFFPC",
                                             "CardKey",
                                             "~ShowState",
                                             "ControlOn",
                                             "ControlStartTime",
                                             "ControlMinute",
                                             "TCPPort",
                                             "UDPPort",
                                             "~QXFPVersion",
                                             "QXFaceVersion",
                                             "~QXFVVersion",
                                             "FaceFunOn",
                                             "~PIN2Width",
                                             "IsSupportABCPin",
                                             "IMEFunOn",
                                             "isSupportAlarmExt",
                                             "~DCTZ",
                                             "~DOTZ"};
  if (type < 1 || type > 81) return nullptr;
  return kNames[type];
}

int32_t StatusWordOfIndex(int32_t index) {
  static constexpr int32_t kWords[25] = {-1, 12, 4, 6, 13, 10, 8, 14, 15, 16, 17, 18, 19,
                                         0,  1,  2, 3, 5,  7,  9, 11, 20, 22, 23, 24};
  if (index < 1 || index > 24) return -1;
  return kWords[index];
}

int32_t IntegerValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string ScrambleValue(std::string_view value, uint8_t key) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(2 * (value.size() + 1));
  uint8_t b = key;
  for (size_t i = 0;; ++i) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0x0F]);
    if (i == value.size()) break;
    b = static_cast<uint8_t>(b ^ static_cast<uint8_t>(value[i]));
  }
  return out;
}

uint8_t ScrambleKey() {
  // A small pseudo-random generator of our own: rand() is not thread-safe.
  static std::atomic<uint32_t> state{0x9E3779B9u};
  uint32_t x = state.load(std::memory_order_relaxed);
  x = x * 1103515245u + 12345u;
  state.store(x, std::memory_order_relaxed);
  const uint32_t random = (x >> 16) & 0x7FFF;
  return static_cast<uint8_t>((platform::TickCount() + random) * 1000u);
}

void CopyText(std::string_view text, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace devapi
