// Downloading fingerprint templates into the template view: all of them
// (bulk or piecewise), all of them piecewise only, or one user's.
#include <algorithm>
#include <array>
#include <climits>

#include "devapi.h"
#include "logs/read_buffer.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/fingerprint_quick_index.h"
#include "users/fingerprint_view.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"
#include "users/user_text_pin.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint32_t kAllTemplatesBuffer = 80u << 20;
constexpr uint32_t kLargeTemplatesBuffer = 70u << 20;
constexpr uint32_t kUserTemplatesBuffer = 20480;
// Below this capacity a buffer cannot hold a full download.
constexpr uint32_t kFullViewBuffer = 1u << 20;

constexpr uint16_t kCmdUserTemplates = 6;
constexpr uint16_t kCmdPiecewiseAvailable = 2221;
constexpr uint16_t kCmdPiecewiseTemplates = 2017;
constexpr uint8_t kDbKindTemplates = 2;
constexpr int32_t kPiecewiseTimeoutMs = 50000000;
constexpr int32_t kBulkTimeoutFactor = 300;
constexpr uint16_t kAckNoSuchData = 4989;
constexpr uint16_t kAckNoSuchRecord = 4991;
// The quick index states.
constexpr int32_t kQuickLoading = -1;
constexpr int32_t kQuickReady = 1;
constexpr int32_t kQuickUnused = 0;

int32_t BufferSize(const DeviceSession& s) {
  return static_cast<int32_t>(std::min<size_t>(s.read_buf.size(), INT32_MAX));
}

int32_t ScaledTimeout(int32_t timeout_ms, int32_t factor) {
  const int64_t t = static_cast<int64_t>(timeout_ms) * factor;
  return static_cast<int32_t>(std::clamp<int64_t>(t, 0, INT32_MAX));
}

// The buffer is about to be overwritten: no view may stay over it.
void PrepareBuffer(DeviceSession& s, uint32_t capacity) {
  devapi::EnsureReadBuffer(s, capacity);
  devapi::ResetViewsExcept(s, devapi::BufferView::kNone);
}

// The piecewise download (command 2017): the records from byte 0, as many
// as arrived. True when it completed.
bool ReadPiecewise(DeviceSession& s, devapi::ViewRange* view) {
  uint16_t code = kCmdPiecewiseTemplates;
  const int32_t n = READDATA_PICE_BY_PICE(s.engine, &code, s.read_buf.data(), 0, 0, BufferSize(s),
                                          0, kPiecewiseTimeoutMs, 0);
  if (code != devapi::kAckOk) return false;
  *view = devapi::BareView(s, n);
  return true;
}

int32_t ReadAllTemplates(DeviceSession& s) {
  PrepareBuffer(s, kAllTemplatesBuffer);
  s.quick_tmpl_state = kQuickLoading;
  s.read_buf[0] = kDbKindTemplates;

  const auto asked = devapi::SendCommand(s, kCmdPiecewiseAvailable, {}, 0, s.data_timeout_ms);
  if (asked.ok()) {
    devapi::ViewRange view;
    if (!ReadPiecewise(s, &view)) {
      s.quick_tmpl_state = kQuickUnused;
      return -2;
    }
    SetTemplateView(s, view, kQuickLoading);
    BuildQuickIndex(s);
    s.quick_tmpl_state = kQuickReady;
    return 1;
  }

  uint16_t code = wire::CMD_DB_RRQ;
  const int32_t request_length = IsOldFirmware(s) ? 0 : 1;
  const int32_t received =
      DEVWIRE_READDATA(s.engine, &code, s.read_buf.data(), BufferSize(s), request_length,
                       s.block_size, ScaledTimeout(s.data_timeout_ms, kBulkTimeoutFactor));
  if (code == devapi::kAckOk) {
    // The leading count is bounded by what arrived.
    SetTemplateView(s, devapi::CountedView(s, received), kQuickUnused);
    return 1;
  }
  s.quick_tmpl_state = kQuickUnused;
  // Cancelled: the download failed; nothing more is sent.
  if (s.cancel_requested != 0) return -2;
  if ((code == devapi::kAckError && received <= 0) || code == kAckNoSuchData ||
      code == kAckNoSuchRecord) {
    return 0;
  }
  // Older terminals answer only the data base read; what it brings is not
  // used.
  int32_t size = BufferSize(s);
  DEVWIRE_READDB(s.engine, kDbKindTemplates, s.block_size, s.read_buf.data(), &size);
  devapi::ResetViewsExcept(s, devapi::BufferView::kNone);
  return -2;
}

int32_t ReadLargeTemplates(DeviceSession& s) {
  PrepareBuffer(s, kLargeTemplatesBuffer);
  devapi::ViewRange view;
  if (!ReadPiecewise(s, &view)) return -2;
  SetTemplateView(s, view, kQuickUnused);
  return 1;
}

int32_t ReadUserTemplates(DeviceSession& s, const char* user) {
  if (s.read_buf.empty() || s.read_buf_cap == 0) devapi::EnsureReadBuffer(s, kUserTemplatesBuffer);
  if (s.read_buf_cap < kFullViewBuffer) {
    s.tmpl_len = 0;
    s.tmpl_loaded = false;
    s.quick_tmpl_state = kQuickUnused;
  }
  // A full download is not replaced by one user's templates.
  if (TemplateViewLoaded(s)) return -4;

  const int64_t pin = PinFromUserText(s, user);
  if (!IsValidPin(pin)) return 0;
  devapi::ResetViewsExcept(s, devapi::BufferView::kNone);
  wire::ByteWriter(s.read_buf).U16(static_cast<uint16_t>(pin));
  uint16_t code = kCmdUserTemplates;
  const int32_t request_length = IsOldFirmware(s) ? 0 : 2;
  const int32_t received = DEVWIRE_READDATA(s.engine, &code, s.read_buf.data(), BufferSize(s),
                                            request_length, s.block_size, s.data_timeout_ms);
  if (code == devapi::kAckOk) {
    devapi::ViewRange view = devapi::CountedView(s, received);
    if (view.len == 0) {
      // A user without templates: one empty placeholder record, so that
      // lookups see the user as loaded and find nothing.
      constexpr std::array<uint8_t, 8> kPlaceholder = {8, 0, 0, 0, 0, 0, 0, 0};
      std::copy(kPlaceholder.begin(), kPlaceholder.end(), s.read_buf.begin() + 4);
      view = {4, 1};
    }
    SetTemplateView(s, view, kQuickUnused);
    return 1;
  }
  if (code == devapi::kAckError && received <= 0) return 0;
  return -2;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_ReadTempData(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::ReadAllTemplates(*s);
  });
}

DEVAPI_API int32_t Q_ReadLargeTmp(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::ReadLargeTemplates(*s);
  });
}

DEVAPI_API int32_t Q_ReadUserTempData(DEVAPI_HANDLE handle, const char* user) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (user == nullptr) return 4;
    return users::ReadUserTemplates(*s, user);
  });
}

DEVAPI_API int32_t InitQuickUserTempEx(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    users::BuildQuickIndex(*s);
    return 1;
  });
}

}  // extern "C"
