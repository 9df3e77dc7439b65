// The six connect functions, the connect probe, Q_Close and the
// small session functions.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "session/session_util.h"

// The engine's modem open may not be built into devwire yet: bound weakly,
// so devapi loads without it and the modem connect then fails cleanly.
#pragma weak DEVWIRE_INITEX

namespace devapi {
namespace {

constexpr uint16_t kCmdRegisterEvents = 500;
constexpr uint16_t kCmdFirmwareVersion = 1100;
constexpr size_t kFirmwareReplySize = 50;
constexpr int32_t kAllEventsMask = 0x7FFF;

// Case-insensitive equality of ASCII texts.
bool EqualsNoCase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    const auto lower = [](char c) {
      return static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Kinds that read "ExtendOPLog" and look for the AK3750 family.
bool IsNetworkKind(ConnectKind kind) {
  return kind == ConnectKind::kNet || kind == ConnectKind::kNetEx || kind == ConnectKind::kP4P;
}

void UseUsbLikeTransport(DeviceSession& s) {
  s.usb_like_transport = 1;
  DEVWIRE_SetParameter(s.engine, 0, 1);
}

// Registers for all events (command 500 with the mask, 32-bit LE).
void RegisterAllEvents(DeviceSession& s) {
  const uint8_t mask[4] = {static_cast<uint8_t>(kAllEventsMask & 0xFF),
                           static_cast<uint8_t>((kAllEventsMask >> 8) & 0xFF), 0, 0};
  SendCommand(s, kCmdRegisterEvents, mask, 4, s.cmd_timeout_ms);  // result ignored
}

// Steps 4 to 16 of the connect sequence, after the engine opened. False when
// the firmware version could not be read (the caller closes the session).
bool ProbeTerminal(DeviceSession& s) {
  // 4. Announce the SDK and ask the face version.
  WriteOption(s, kCmdOptionsWrite, "SDKBuild", "1", /*may_scramble=*/false);
  const OptionValue face = ReadProbeOption(s, "QXFaceVersion");
  if (!face.value.empty() && !EqualsNoCase(face.value, "NONE")) {
    s.face_version = IntegerValue(face.value);
  }

  // 5. The firmware version.
  const Reply version =
      SendCommand(s, kCmdFirmwareVersion, {}, kFirmwareReplySize, s.cmd_timeout_ms);
  if (!version.ok()) return false;
  std::memset(s.firmware_version, 0, sizeof s.firmware_version);
  std::memcpy(s.firmware_version, version.bytes.data(),
              std::min(version.bytes.size(), sizeof s.firmware_version - 1));

  // 6. USB_STD.
  if (s.kind == ConnectKind::kUsbStd) UseUsbLikeTransport(s);

  // 7. Normalise.
  NormaliseFirmware(s.firmware_version, sizeof s.firmware_version);

  // 8-10. Options.
  s.has_os_option = ReadProbeOption(s, "~OS").value.empty() ? 0 : 1;
  s.extend_fmt = IntegerValue(ReadProbeOption(s, "~ExtendFmt").value);
  if (IsNetworkKind(s.kind)) s.extend_oplog = IntegerValue(ReadProbeOption(s, "ExtendOPLog").value);

  // 11. Old firmware pushes events only when registered.
  if (FirmwareBelow(s, "Ver 6.01")) RegisterAllEvents(s);

  // 12.
  s.rt_seq = 0;

  // 13. Platform.
  const std::string platform = ReadProbeOption(s, "~Platform").value;
  s.is_tft = s.is_tft_alt = 0;
  if (!platform.empty()) {
    if (Contains(platform, "TFT")) s.is_tft = s.is_tft_alt = 1;
    if (IsNetworkKind(s.kind)) {
      if (Contains(platform, "AK3750")) UseUsbLikeTransport(s);
      if (Contains(platform, "3750WIFI")) {
        s.is_3750wifi = 1;
        UseUsbLikeTransport(s);
      }
    }
    if (s.kind != ConnectKind::kUsbStd) s.is_rvm_platform = Contains(platform, "RVM") ? 1 : 0;
  } else if (s.kind != ConnectKind::kUsbStd) {
    s.is_rvm_platform = 0;
  }

  // 14.
  s.rt_long_record = (FirmwareAbove(s, "Ver 6.18 20070807") && s.is_tft == 0) ? 1 : 0;

  // 15.
  const std::string fp = ReadProbeOption(s, "~QXFPVersion").value;
  s.fp_version = fp.empty() ? 9 : IntegerValue(fp);

  // 16. TCP on the AK3750 family.
  if (s.kind == ConnectKind::kNetEx) {
    if (s.usb_like_transport == 1) {
      s.block_size = 40880;
      s.data_timeout_ms = 20000;
      SetBuffLen(s.engine, 512);
    }
    if (s.is_3750wifi == 1) {
      s.block_size = 4080;
      SetBuffLen(s.engine, 4000);
    }
  }
  return true;
}

struct ConnectRequest {
  ConnectKind kind = ConnectKind::kNone;
  const char* plugin = nullptr;
  std::string address;
  int32_t p1 = 0;
  int32_t p2 = 0;
  DEVAPI_EVENT_CALLBACK callback = nullptr;
  void* context = nullptr;
  int32_t comm_password = 0;
  int32_t* peer_limit = nullptr;
  std::string phone;  // serial modem; empty = none
  int32_t cmd_timeout_ms = 4000;
  int32_t data_timeout_ms = 4000;
  int32_t block_size = 0;
};

DEVAPI_HANDLE Connect(const ConnectRequest& r) {
  // 1. A zero-filled record.
  std::unique_ptr<DeviceSession> s(new (std::nothrow) DeviceSession());
  if (!s) return nullptr;
  try {
    CopyText("Ver 5.04", s->firmware_version, sizeof s->firmware_version);
    s->kind = r.kind;
    // 2. Settings, then the engine.
    s->block_size = r.block_size;
    if (!r.phone.empty()) {
      s->com_extra = 1;
      CopyText(r.phone, s->com_extra_text, sizeof s->com_extra_text);
    }
    s->cmd_timeout_ms = r.cmd_timeout_ms;
    s->data_timeout_ms = r.data_timeout_ms;
    if (!r.phone.empty()) {
      if (&DEVWIRE_INITEX == nullptr) return nullptr;
      s->engine = DEVWIRE_INITEX(r.plugin, r.address.c_str(), r.p1, r.p2, r.callback, r.context,
                                 r.comm_password, r.phone.c_str());
    } else {
      s->engine = DEVWIRE_INIT(r.plugin, r.address.c_str(), r.p1, r.p2, r.callback, r.context,
                               r.comm_password, r.peer_limit);
    }
    // 3.
    if (s->engine == nullptr) return nullptr;
    RegisterSession(s.get());  // may throw: the catch below closes the engine
    DeviceSession* session = s.release();
    // 4-16.
    bool probed = false;
    try {
      probed = ProbeTerminal(*session);
    } catch (...) {
      probed = false;
    }
    if (!probed) {
      CloseSession(session);
      return nullptr;
    }
    return session;
  } catch (...) {
    // Out of memory while setting up: nothing stays allocated.
    if (s && s->engine != nullptr) DEVWIRE_CLOSE(s->engine);
    return nullptr;
  }
}

std::string TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace
// The request fields every connect fills the same way.
ConnectRequest BaseRequest(ConnectKind kind, const char* plugin, DEVAPI_EVENT_CALLBACK callback,
                           void* context, int32_t comm_password, int32_t block_size) {
  ConnectRequest r;
  r.kind = kind;
  r.plugin = plugin;
  r.callback = callback;
  r.context = context;
  r.comm_password = comm_password;
  r.block_size = block_size;
  return r;
}

// Builds the request and connects; nothing is thrown across the C border.
// The engine's dial string holds 19 characters: a longer phone number would
// be dialled cut, so it is refused.
template <typename Build>
DEVAPI_HANDLE GuardedConnect(Build&& build) {
  try {
    const ConnectRequest r = build();
    if (r.phone.size() > 19) return nullptr;
    return Connect(r);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace devapi

using devapi::BeginCall;
using devapi::ConnectKind;
using devapi::ConnectRequest;
using devapi::DeviceSession;
using devapi::SessionFromHandle;

extern "C" {

DEVAPI_API DEVAPI_HANDLE Q_Connect_NET(const char* address, int32_t port,
                                       DEVAPI_EVENT_CALLBACK callback, void* context,
                                       int32_t comm_password) {
  return devapi::GuardedConnect([&] {
    ConnectRequest r = devapi::BaseRequest(ConnectKind::kNet, "comms.dll", callback, context,
                                           comm_password, 16384);
    r.address = devapi::TextOrEmpty(address);
    r.p1 = port;
    return r;
  });
}

DEVAPI_API DEVAPI_HANDLE Q_Connect_NETEX(const char* address, int32_t port,
                                         DEVAPI_EVENT_CALLBACK callback, void* context,
                                         int32_t comm_password) {
  return devapi::GuardedConnect([&] {
    ConnectRequest r = devapi::BaseRequest(ConnectKind::kNetEx, "tcplink.dll", callback, context,
                                           comm_password, 65472);
    r.address = devapi::TextOrEmpty(address);
    r.p1 = port;
    return r;
  });
}

DEVAPI_API DEVAPI_HANDLE Q_Connect_COM(const char* port, int32_t device_number, int32_t baud,
                                       DEVAPI_EVENT_CALLBACK callback, void* context,
                                       int32_t comm_password, const char* phone) {
  if (baud == 0) return nullptr;
  return devapi::GuardedConnect([&] {
    ConnectRequest r = devapi::BaseRequest(ConnectKind::kCom, "lineport.dll", callback, context,
                                           comm_password, 4096);
    r.phone = devapi::TextOrEmpty(phone);
    r.address = devapi::TextOrEmpty(port);
    r.p1 = device_number;
    r.p2 = baud;
    const devapi::SerialTimeouts t = devapi::SerialTimeoutsForBaud(baud);
    r.cmd_timeout_ms = t.cmd_ms;
    r.data_timeout_ms = t.data_ms;
    return r;
  });
}

DEVAPI_API DEVAPI_HANDLE Q_Connect_USB(int32_t device_number, DEVAPI_EVENT_CALLBACK callback,
                                       void* context, int32_t comm_password) {
  return devapi::GuardedConnect([&] {
    ConnectRequest r = devapi::BaseRequest(ConnectKind::kUsb, "usblink.dll", callback, context,
                                           comm_password, 1024);
    r.p1 = device_number;
    return r;
  });
}

DEVAPI_API DEVAPI_HANDLE Q_Connect_USB_STD(int32_t device_number, DEVAPI_EVENT_CALLBACK,
                                           void* context, int32_t comm_password) {
  return devapi::GuardedConnect([&] {
    // This transport reads for itself: no event callback.
    ConnectRequest r = devapi::BaseRequest(ConnectKind::kUsbStd, "usbdirect.dll", nullptr, context,
                                           comm_password, 1024);
    r.p1 = device_number;
    return r;
  });
}

DEVAPI_API DEVAPI_HANDLE Q_Connect_P4P(const char* peer, DEVAPI_EVENT_CALLBACK callback,
                                       void* context, int32_t comm_password, int32_t* peer_limit) {
  return devapi::GuardedConnect([&] {
    ConnectRequest r = devapi::BaseRequest(ConnectKind::kP4P, "peerlink.dll", callback, context,
                                           comm_password, 16384);
    r.address = devapi::TextOrEmpty(peer);
    r.peer_limit = peer_limit;
    r.cmd_timeout_ms = 12000;
    r.data_timeout_ms = 12000;
    return r;
  });
}

DEVAPI_API int32_t Q_Close(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = SessionFromHandle(handle);
    if (s == nullptr) return -1;
    return devapi::CloseSession(s) ? 1 : -1;
  });
}

DEVAPI_API int32_t Q_LastError(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = SessionFromHandle(handle);
    return DEVWIRE_LASTERROR(s != nullptr ? s->engine : nullptr);
  });
}

DEVAPI_API int32_t Q_ConnectStatus(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return DEVWIRE_CONNECTSTATUS(s->engine);
  });
}

DEVAPI_API int32_t Q_SetCommuTimeOut(DEVAPI_HANDLE handle, int32_t seconds) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (seconds >= 0) {
      const int32_t ms = seconds > INT32_MAX / 1000 ? (INT32_MAX / 1000) * 1000 : seconds * 1000;
      s->cmd_timeout_ms = ms;
      s->data_timeout_ms = ms;
    }
    return 1;
  });
}

DEVAPI_API int32_t Q_SetParameters(DEVAPI_HANDLE handle, int32_t kind, int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (kind == 1) s->privilege_raw = value == 0 ? 1 : 0;
    return 1;
  });
}

DEVAPI_API void Q_CancelByUser(DEVAPI_HANDLE handle) {
  try {
    DeviceSession* s = SessionFromHandle(handle);
    if (s != nullptr) {
      s->cancel_requested = 1;
      DEVWIRE_SetOperate(s->engine, 1);
    }
  } catch (...) {
  }
}

DEVAPI_API int32_t Q_IsTFTMachine(DEVAPI_HANDLE handle, int32_t* is_tft) {
  return devapi::Guarded([&]() -> int32_t {
    if (is_tft != nullptr) *is_tft = 0;
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (is_tft == nullptr) return 4;
    *is_tft = s->is_tft != 0 ? 1 : 0;
    return 1;
  });
}

}  // extern "C"
