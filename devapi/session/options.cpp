// Options and device information.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "devapi.h"
#include "platform/dynlib.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "strtable/extract_field.h"

namespace devapi {
namespace {

constexpr size_t kSysOptionReplySize = 1024;
constexpr size_t kItemReplySize = 200;  // single-item and string-info reads
constexpr size_t kInfoReplySize = 100;  // Q_GetDeviceInfo, raw read 8999
constexpr size_t kBioCacheMax = 1023;   // texts of 1024 bytes
constexpr size_t kFirmwareReplySize = 50;

bool EqualsNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const auto lower = [](char c) {
      return static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    };
    if (lower(*a) != lower(*b)) return false;
    if (*a == '\0') return true;
  }
}

std::string Bounded(std::string text) {
  if (text.size() > kBioCacheMax) text.resize(kBioCacheMax);
  return text;
}

// Storage counter `index` (1-24), Q_GetDeviceStatus's exchange. Result 1 / -2
// / 4; *out only written on 1.
int32_t ReadStorageStatus(DeviceSession& s, int32_t index, int32_t* out) {
  const int32_t word = StatusWordOfIndex(index);
  if (word < 0) return 4;
  if (s.usb_like_transport == 1) {
    const uint8_t data[4] = {static_cast<uint8_t>(word), 0, 0, 0};
    const Reply r = SendCommand(s, 50, data, 200, s.cmd_timeout_ms);
    if (!r.HasAtLeast(4)) return -2;
    *out = static_cast<int32_t>(r.Word(0));
    return 1;
  }
  const Reply r = SendCommand(s, 50, {}, 200, s.cmd_timeout_ms);
  if (!r.HasAtLeast((static_cast<size_t>(word) + 1) * 4)) return -2;
  *out = static_cast<int32_t>(r.Word(static_cast<size_t>(word)));
  return 1;
}

// Q_GetSysOption, result and text.
int32_t GetSysOption(DeviceSession& s, const char* name, std::string& out) {
  const bool is_type = EqualsNoCase(name, "BiometricType");
  const bool is_version = EqualsNoCase(name, "BiometricVersion");
  const bool is_max = EqualsNoCase(name, "BiometricMaxCount");
  const bool is_used = EqualsNoCase(name, "BiometricUsedCount");

  // 1. Cached descriptions.
  if (is_type && !s.bio_type_cache.empty()) return out = s.bio_type_cache, 1;
  if (is_version && !s.bio_version_cache.empty()) return out = s.bio_version_cache, 1;
  if (is_max && !s.bio_maxcount_cache.empty()) return out = s.bio_maxcount_cache, 1;

  // 2. Ask the terminal.
  const OptionValue read = ReadOption(s, name, kSysOptionReplySize, s.cmd_timeout_ms);

  // 3. A value.
  if (read.ok() && !read.value.empty()) {
    std::string value = read.value;
    if (is_type) {
      if (value.size() == 8) value = "0" + value;
      s.bio_type_cache = Bounded(value);
      out = s.bio_type_cache;
      return 1;
    }
    if (is_version || is_max || is_used) {
      if (std::count(value.begin(), value.end(), ':') == 7) value = ":" + value;
      value = Bounded(value);
      if (is_version) s.bio_version_cache = value;
      if (is_max) s.bio_maxcount_cache = value;
      if (is_used) s.bio_usedcount_cache = value;
      out = value;
      return 1;
    }
    out = value;
    return 1;
  }

  // 4. No value: the biometric names are computed.
  if (is_max || is_used) {
    int32_t f = 0, g = 0;
    if (ReadStorageStatus(s, is_max ? 7 : 3, &f) != 1) return -2;
    if (ReadStorageStatus(s, is_max ? 22 : 21, &g) != 1) return -2;
    char text[64];
    std::snprintf(text, sizeof text, "0:%d:%d", f, g);
    (is_max ? s.bio_maxcount_cache : s.bio_usedcount_cache) = text;
    out = text;
    return 1;
  }
  if (is_type || is_version) {
    const int32_t t = s.cmd_timeout_ms;
    int32_t fp = 0;
    const OptionValue finger = ReadOption(s, "FingerFunOn", kSysOptionReplySize, t);
    if (finger.ok()) {
      fp = IntegerValue(finger.value);
      if (finger.value.empty()) {
        fp = IntegerValue(ReadOption(s, "~QXFPVersion", kSysOptionReplySize, t).value);
      }
    } else {
      const OptionValue rf = ReadOption(s, "~IsOnlyRFMachine", kSysOptionReplySize, t);
      if (rf.ok()) {
        fp = IntegerValue(rf.value) == 0
                 ? 1
                 : IntegerValue(ReadOption(s, "~QXFPVersion", kSysOptionReplySize, t).value);
      }
    }
    const OptionValue face_on = ReadOption(s, "FaceFunOn", kSysOptionReplySize, t);
    const int32_t face = face_on.ok() ? IntegerValue(face_on.value) : 0;
    char type_text[16];
    std::snprintf(type_text, sizeof type_text, "0%d%d", fp != 0 ? 1 : 0, face != 0 ? 1 : 0);
    char version_text[64];
    std::snprintf(version_text, sizeof version_text, "0:%d.0:%d.0", fp != 0 ? s.fp_version : 0,
                  face != 0 ? s.face_version : 0);
    s.bio_type_cache = type_text;
    s.bio_version_cache = version_text;
    out = is_type ? s.bio_type_cache : s.bio_version_cache;
    return 1;
  }
  out.clear();
  return read.ok() ? 1 : -2;
}

// Request text "name=value" of Q_SetDeviceInfo for a table type.
int32_t SetTableInfo(DeviceSession& s, int32_t type, int32_t value) {
  const char* name = InfoTypeName(type);
  int64_t sent = value;
  const bool old_firmware = FirmwareBelow(s, "Ver 5.04");
  if (type == 3) sent = LanguageToTerminal(value);
  if (type == 9) sent = BaudToTerminal(value);
  if (type >= 23 && type <= 25) sent = ThresholdToTerminal(value, old_firmware);
  const std::string text = std::to_string(sent);
  if (name[0] == '\0') return 4;  // type 12 is handled before; no nameless write
  return WriteOption(s, kCmdOptionsWrite, name, text, /*may_scramble=*/true);
}

int32_t ConvertFromTerminal(DeviceSession& s, int32_t type, const std::string& text) {
  const int32_t v = IntegerValue(text);
  if (type == 3) return LanguageFromTerminal(v);
  if (type == 9) return BaudFromTerminal(v);
  if (type >= 23 && type <= 25) {
    const int64_t c = ThresholdFromTerminal(v, FirmwareBelow(s, "Ver 5.04"));
    return static_cast<int32_t>(std::clamp<int64_t>(c, INT32_MIN, INT32_MAX));
  }
  return v;
}

// Copies an option value into a caller's buffer of `cap` bytes.
void CopyValue(const std::string& value, char* out, size_t cap) { CopyText(value, out, cap); }

// A single-item text read: `fallback` (may be null) on CMD_ACK_ERROR.
int32_t ReadItemText(void* handle, const char* option, char* out, const char* fallback) {
  DeviceSession* s = BeginCall(handle);
  if (s == nullptr) return -1;
  if (out == nullptr) return 4;
  const OptionValue v = ReadOption(*s, option, kItemReplySize, s->cmd_timeout_ms);
  if (v.ok()) {
    CopyValue(v.value, out, kItemReplySize);
    return 1;
  }
  if (v.code == kAckError && fallback != nullptr) {
    CopyText(fallback, out, kItemReplySize);
    return 1;
  }
  return -2;
}

// A single-item integer read.
int32_t ReadItemInteger(void* handle, const char* option, int32_t* out, bool as_u16) {
  DeviceSession* s = BeginCall(handle);
  if (s == nullptr) return -1;
  if (out == nullptr) return 4;
  const OptionValue v = ReadOption(*s, option, kItemReplySize, s->cmd_timeout_ms);
  if (!v.ok()) return -2;
  const int32_t n = IntegerValue(v.value);
  *out = as_u16 ? static_cast<int32_t>(static_cast<uint16_t>(n)) : n;
  return 1;
}

int32_t WriteItem(void* handle, const char* option, const std::string& value) {
  DeviceSession* s = BeginCall(handle);
  if (s == nullptr) return -1;
  return WriteOption(*s, kCmdOptionsWrite, option, value, /*may_scramble=*/false);
}

int32_t ReadVersionText(DeviceSession& s, uint16_t command, char* out) {
  if (out == nullptr) return 4;
  const Reply r = SendCommand(s, command, {}, kFirmwareReplySize, s.cmd_timeout_ms);
  if (!r.ok()) return -2;
  CopyText(r.Text(), out, kFirmwareReplySize);
  return 1;
}

// Any function of this library, for the module-handle queries.
void ModuleAnchor() {}

}  // namespace
}  // namespace devapi

using namespace devapi;  // NOLINT: the exported functions below are thin

extern "C" {

DEVAPI_API int32_t Q_GetSysOption(DEVAPI_HANDLE handle, const char* name, char* value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (name == nullptr || value == nullptr) return 4;
    if (!OptionNameFits(name, kSysOptionReplySize)) return 4;
    std::string out;
    const int32_t result = GetSysOption(*s, name, out);
    if (result == 1) CopyText(out, value, kSysOptionReplySize);
    return result;
  });
}

DEVAPI_API int32_t Q_SetSysOption(DEVAPI_HANDLE handle, const char* name, const char* value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (name == nullptr || name[0] == '\0') return 4;
    return WriteOption(*s, kCmdOptionsWrite, name, value != nullptr ? value : "", true);
  });
}

DEVAPI_API int32_t Q_SetManufacturerData(DEVAPI_HANDLE handle, const char* name,
                                         const char* value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (name == nullptr || name[0] == '\0') return 4;
    return WriteOption(*s, kCmdManufacturerWrite, name, value != nullptr ? value : "", true);
  });
}

DEVAPI_API int32_t Q_RefreshOptions(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return SendCommand(*s, 1014, {}, 0, s->cmd_timeout_ms).ok() ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_SendBackgroundCMD(DEVAPI_HANDLE handle, int32_t command, int32_t a, int32_t b,
                                       int32_t c) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    uint8_t data[12];
    const int32_t values[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
      const auto v = static_cast<uint32_t>(values[i]);
      for (int k = 0; k < 4; ++k) data[4 * i + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    const Reply r = SendCommand(*s, static_cast<uint16_t>(command), data, 160, s->cmd_timeout_ms);
    return r.ok() ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_GetDeviceInfo(DEVAPI_HANDLE handle, int32_t type, int32_t* value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (value == nullptr) return 4;
    switch (type) {
      case -6: {
        const uint8_t data[1] = {*reinterpret_cast<const uint8_t*>(value)};
        const Reply r = SendCommand(*s, 14, data, 4, AddTimeout(s->cmd_timeout_ms, 3000));
        if (!r.HasAtLeast(4)) return -2;  // a short answer holds no value
        std::memcpy(value, r.bytes.data(), 4);
        return 1;
      }
      case -5: {
        // Q_ReadData (attendance log) with the caller's buffer; its second 32-bit
        // word gives the size, so the buffer holds at least 8 bytes.
        const int32_t size = value[1];
        if (size < 8) return 4;
        return Q_ReadData(handle, value, size);
      }
      case -4:
        *value = static_cast<int32_t>(reinterpret_cast<uintptr_t>(s->engine));
        return 4;
      case -3:
        *value = static_cast<int32_t>(reinterpret_cast<uintptr_t>(s));
        return 4;
      case -2:
        *value = static_cast<int32_t>(reinterpret_cast<uintptr_t>(
            platform::ModuleOfAddress(reinterpret_cast<const void*>(&DEVWIRE_INIT))));
        return 4;
      case -1:
        *value = static_cast<int32_t>(reinterpret_cast<uintptr_t>(
            platform::ModuleOfAddress(reinterpret_cast<const void*>(&ModuleAnchor))));
        return 4;
      case 1:
        *value = 500;
        return 1;
      case 10:
      case 11:
        *value = 0;
        return 1;
      case 12:
        *value = 1;
        return 1;
      case 8999: {
        // Raw read: the 100-byte buffer holds a name; the reply text comes back.
        char* buffer = reinterpret_cast<char*>(value);
        const size_t name_len = strnlen(buffer, kInfoReplySize);
        if (name_len == 0 || name_len >= kInfoReplySize) return 4;
        const std::string name(buffer, name_len);
        std::vector<uint8_t> request(name.begin(), name.end());
        request.push_back(0);
        const Reply r =
            SendCommand(*s, kCmdOptionsRead, request, kInfoReplySize, s->cmd_timeout_ms);
        if (!r.ok()) return -2;
        CopyText(r.Text(), buffer, kInfoReplySize);
        return 1;
      }
      case 65:
        return 4;
      default:
        break;
    }
    const char* name = InfoTypeName(type);
    if (name == nullptr) return 4;
    const OptionValue v = ReadOption(*s, name, kInfoReplySize, s->cmd_timeout_ms);
    if (!v.ok()) return -2;
    *value = ConvertFromTerminal(*s, type, v.value);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetDeviceInfo(DEVAPI_HANDLE handle, int32_t type, int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    type %= 10000;  // remainder with the sign of the type
    switch (type) {
      case 1:
        return 1;
      case 10:
      case 11:
        return value == 0 ? 1 : -100;
      case 12:
        return value == 1 ? 1 : -100;
      case 8999: {
        // The value is the address of a name=value text: only where an
        // address fits in 32 bits.
        if constexpr (sizeof(void*) > sizeof(int32_t)) {
          return 4;
        } else {
          const char* text =
              reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(value)));
          if (text == nullptr) return 4;
          return WriteOptionText(*s, kCmdOptionsWrite, std::string(text, strnlen(text, 1024)));
        }
      }
      default:
        break;
    }
    if (InfoTypeName(type) == nullptr) return 4;
    return SetTableInfo(*s, type, value);
  });
}

DEVAPI_API int32_t Q_GetDeviceStrInfo(DEVAPI_HANDLE handle, int32_t type, char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    const char* name = InfoTypeName(type);
    if (name == nullptr || text == nullptr) return 4;
    const OptionValue v = ReadOption(*s, name, kItemReplySize, s->cmd_timeout_ms);
    if (!v.ok()) return -2;
    CopyText(v.value, text, kItemReplySize);
    return 1;
  });
}

DEVAPI_API int32_t Q_GetSerialNumber(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemText(handle, "~SerialNumber", text, "0"); });
}
DEVAPI_API int32_t Q_GetProductName(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemText(handle, "~DeviceName", text, ""); });
}
DEVAPI_API int32_t Q_GetVendor(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemText(handle, "~OEMVendor", text, "QXSoftware Inc."); });
}
DEVAPI_API int32_t Q_GetSensorSN(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded([&]() -> int32_t { return ReadItemText(handle, "GUID", text, ""); });
}
DEVAPI_API int32_t Q_GetWiegandFmt(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded([&]() -> int32_t { return ReadItemText(handle, "WiegandFmt", text, ""); });
}
DEVAPI_API int32_t Q_ReadCustData(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded([&]() -> int32_t { return ReadItemText(handle, "~CustData", text, ""); });
}
DEVAPI_API int32_t Q_GetIPAddress(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemText(handle, "IPAddress", text, nullptr); });
}
DEVAPI_API int32_t Q_GetLanguage(DEVAPI_HANDLE handle, int32_t* language) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemInteger(handle, "Language", language, false); });
}
DEVAPI_API int32_t Q_GetDevicePort(DEVAPI_HANDLE handle, int32_t* port) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemInteger(handle, "UDPPort", port, true); });
}
DEVAPI_API int32_t Q_GetDeviceNumber(DEVAPI_HANDLE handle, int32_t* number) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemInteger(handle, "DeviceID", number, true); });
}
DEVAPI_API int32_t Q_GetACFun(DEVAPI_HANDLE handle, int32_t* value) {
  return devapi::Guarded(
      [&]() -> int32_t { return ReadItemInteger(handle, "~LockFunOn", value, false); });
}

DEVAPI_API int32_t Q_SetLanguage(DEVAPI_HANDLE handle, int32_t language) {
  return devapi::Guarded(
      [&]() -> int32_t { return WriteItem(handle, "Language", std::to_string(language)); });
}
DEVAPI_API int32_t Q_SetIPAddress(DEVAPI_HANDLE handle, const char* address) {
  return devapi::Guarded([&]() -> int32_t {
    if (SessionFromHandle(handle) != nullptr && address == nullptr) return 4;
    return WriteItem(handle, "IPAddress", address != nullptr ? address : "");
  });
}
DEVAPI_API int32_t Q_SetDevicePort(DEVAPI_HANDLE handle, int32_t port) {
  return devapi::Guarded([&]() -> int32_t {
    return WriteItem(handle, "UDPPort", std::to_string(static_cast<uint16_t>(port)));
  });
}
DEVAPI_API int32_t Q_SetDeviceNumber(DEVAPI_HANDLE handle, int32_t number) {
  return devapi::Guarded([&]() -> int32_t {
    return WriteItem(handle, "DeviceID", std::to_string(static_cast<uint16_t>(number)));
  });
}
DEVAPI_API int32_t Q_SetDeviceCommPwd(DEVAPI_HANDLE handle, int32_t password) {
  return devapi::Guarded(
      [&]() -> int32_t { return WriteItem(handle, "COMKey", std::to_string(password)); });
}
DEVAPI_API int32_t Q_SetWiegandFmt(DEVAPI_HANDLE handle, const char* format) {
  return devapi::Guarded([&]() -> int32_t {
    if (SessionFromHandle(handle) != nullptr && format == nullptr) return 4;
    return WriteItem(handle, "WiegandFmt", format != nullptr ? format : "");
  });
}
DEVAPI_API int32_t Q_WriteCustData(DEVAPI_HANDLE handle, const char* data) {
  return devapi::Guarded([&]() -> int32_t {
    if (SessionFromHandle(handle) != nullptr && data == nullptr) return 4;
    return WriteItem(handle, "~CustData", data != nullptr ? data : "");
  });
}

DEVAPI_API int32_t Q_GetFirmwareVersion(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return ReadVersionText(*s, 1100, text);
  });
}

DEVAPI_API int32_t Q_GetDeviceFirmwareVersion(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = SessionFromHandle(handle);  // leaves the cancel flag
    if (s == nullptr) return -1;
    return ReadVersionText(*s, 10019, text);
  });
}

DEVAPI_API int32_t Q_IsNewFirmwareMachine(DEVAPI_HANDLE handle, int32_t* is_new) {
  return devapi::Guarded([&]() -> int32_t {
    if (is_new != nullptr) *is_new = 0;
    if (SessionFromHandle(handle) == nullptr) return -1;
    if (is_new == nullptr) return 4;
    // Through Q_GetSysOption, into a bounded 64-byte buffer of its own.
    DeviceSession* s = BeginCall(handle);
    std::string platform;
    if (GetSysOption(*s, "~Platform", platform) == 1) {
      char buffer[64];
      CopyText(platform, buffer, sizeof buffer);
      if (std::strstr(buffer, "RVM") != nullptr) *is_new = 1;
    }
    return 1;
  });
}

DEVAPI_API int32_t Q_GetKeyOptions(DEVAPI_HANDLE handle, int32_t* pair) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (pair == nullptr) return 4;
    pair[0] = s->fp_version;
    pair[1] = s->face_version;
    return 1;
  });
}

DEVAPI_API int32_t Q_GetTime(DEVAPI_HANDLE handle, int32_t* year, int32_t* month, int32_t* day,
                             int32_t* hour, int32_t* minute, int32_t* second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (!year || !month || !day || !hour || !minute || !second) return 4;
    const Reply r = SendCommand(*s, 201, {}, 4, s->cmd_timeout_ms);
    if (!r.HasAtLeast(4)) return -2;  // a short record is no time
    const UnpackedTime t = UnpackTime(r.Word(0));
    *year = t.year;
    *month = t.month;
    *day = t.day;
    *hour = t.hour;
    *minute = t.minute;
    *second = t.second;
    return 1;
  });
}

DEVAPI_API int32_t Q_SetTime(DEVAPI_HANDLE handle, int32_t year, int32_t month, int32_t day,
                             int32_t hour, int32_t minute, int32_t second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
      return 4;
    }
    const uint32_t t = PackTime(2000 + year % 100, month, day, hour, minute, second);
    const uint8_t data[4] = {static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8),
                             static_cast<uint8_t>(t >> 16), static_cast<uint8_t>(t >> 24)};
    return SendCommand(*s, 202, data, 4, s->cmd_timeout_ms).ok() ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_GetPINWidth(DEVAPI_HANDLE handle, int32_t* width) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (width == nullptr) return 4;
    uint16_t last = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
      const uint8_t data[2] = {0, 0};
      const Reply r = SendCommand(*s, 69, data, 2, s->cmd_timeout_ms);
      last = r.code;
      // Accepted, but no width came: nothing to report, the output stays.
      if (r.ok() && !r.HasAtLeast(1)) return -2;
      if (r.ok()) {
        *width = static_cast<int8_t>(r.bytes[0]);
        s->pin_width = *width;
        return 1;
      }
      // No answer at all (nothing came back, nothing went out, or a line
      // failure that left the command code): asking again only waits longer.
      if (r.code == kAckNo || r.code == kAckErrorCmd || r.code == 69) break;
    }
    *width = 5;  // the narrow width, when the terminal cannot tell
    return (last == kAckError || last == kAckUnknown) ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_GetCardFun(DEVAPI_HANDLE handle, int32_t* card_fun) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (card_fun == nullptr) return 4;
    const OptionValue only_rf =
        ReadOption(*s, "~IsOnlyRFMachine", kItemReplySize, s->cmd_timeout_ms);
    if (only_rf.ok()) {
      *card_fun = IntegerValue(only_rf.value);
      if (*card_fun == 1) return 1;
    }
    const OptionValue rf = ReadOption(*s, "~RFCardOn", kItemReplySize, s->cmd_timeout_ms);
    if (!rf.ok()) return -2;
    *card_fun = IntegerValue(rf.value) == 1 ? 2 : 0;
    return 1;
  });
}

DEVAPI_API int32_t Q_GetDeviceStatus(DEVAPI_HANDLE handle, int32_t index, int32_t* value) {
  return devapi::Guarded([&]() -> int32_t {
    if (StatusWordOfIndex(index) < 0) return 4;
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (value == nullptr) return 4;
    return ReadStorageStatus(*s, index, value);
  });
}

DEVAPI_API int32_t Q_QueryDevStatus(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return 0;
    const Reply r = SendCommand(*s, 2998, {}, 256, 3000);
    if (!r.ok()) return 0;
    char text[256];
    std::memcpy(text, r.bytes.data(), 255);
    text[255] = '\0';
    char value[256];
    const int n = strtable::ExtractFieldBounded(text, "~DeviceStatus", '\n',
                                                std::span<char>(value, sizeof value));
    if (n == strtable::kFieldNotFound) return 0;
    return IntegerValue(value);
  });
}

}  // extern "C"
