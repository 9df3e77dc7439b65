// Looking up one template in the template view, falling back to the
// terminal when no view is loaded.
#include <cstdarg>
#include <cstdio>

#include "devapi.h"
#include "platform/debug.h"
#include "session/session_io.h"
#include "templates/template_codec.h"
#include "users/fingerprint_device_reads.h"
#include "users/fingerprint_quick_index.h"
#include "users/fingerprint_view.h"
#include "users/user_numbers.h"
#include "users/user_text_pin.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr int32_t kQuickReady = 1;

void Trace(const char* format, ...) {
  if (!platform::DebugOutputEnabled()) return;
  char line[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  platform::DebugOutput(line);
}

// The flag byte as the caller sees it (signed).
void PutFlag(int32_t* flag, uint8_t value) {
  if (flag != nullptr) *flag = static_cast<int8_t>(value);
}

int32_t QueryByNumber(DeviceSession& s, int64_t pin, int32_t finger, uint8_t* buffer,
                      int32_t* length) {
  const auto ref = FindTemplateRecord(TemplateViewBytes(s), pin, finger);
  if (!ref) return 0;
  // The record may hold more than the template; the template says how long
  // it is.
  const size_t n = templates::TemplateLength(ref->bytes);
  return CopyTemplateOut(ref->bytes.first(n), buffer, length);
}

int32_t QueryByIdText(DeviceSession& s, int64_t pin, int32_t finger, uint8_t* buffer,
                      int32_t* length) {
  if ((pin & 0xFFFF) == 0) return 0;
  const auto ref = FindTemplateRecord(TemplateViewBytes(s), pin, finger);
  if (!ref) return 0;
  return CopyTemplateOut(ref->bytes, buffer, length);
}

int32_t QueryWithFlag(DeviceSession& s, void* handle, int64_t pin, int32_t finger, int32_t* flag,
                      uint8_t* buffer, int32_t* length) {
  Trace("handle=%ld,h=%ld\r\n", reinterpret_cast<long>(handle), reinterpret_cast<long>(&s));
  if ((pin & 0xFFFF) == 0) return 0;
  Trace("handle=%ld,h=%ld\r\n", reinterpret_cast<long>(handle), reinterpret_cast<long>(&s));
  const auto view = TemplateViewBytes(s);
  Trace("TmpSize=%d\r\n", static_cast<int>(view.size()));
  Trace("libusb_flag=%d\r\n", static_cast<int>(s.usb_like_transport));
  Trace("IsTFTMachine=%d\r\n", static_cast<int>(s.is_tft));
  Trace("isfingerquick=%d\r\n", static_cast<int>(s.quick_tmpl_state));

  if (s.quick_tmpl_state == kQuickReady) {
    const QuickLookup quick = QuickFindTemplate(s, pin, finger);
    if (quick.answer == QuickAnswer::kNone) return 0;
    if (quick.answer == QuickAnswer::kFound) {
      const TemplateRef& ref = quick.ref;
      Trace("TmpData=%d,Size=%d,tmp=%d\r\n", static_cast<int>(ref.record),
            static_cast<int>(ref.bytes.size() + kTemplateHeaderSize),
            static_cast<int>(ref.record + kTemplateHeaderSize));
      if (ref.bytes.empty()) {
        *length = 0;
        return 1;
      }
      const int32_t result = CopyTemplateOut(ref.bytes, buffer, length);
      if (result == 1) PutFlag(flag, ref.flag);
      return result;
    }
    // A PIN the index does not cover: walk.
  }

  if (s.usb_like_transport != 0) {
    const auto ref = FindTemplateSlot(view, pin, finger);
    if (!ref) return 0;
    const int32_t result = CopyTemplateOut(ref->bytes, buffer, length);
    if (result == 1) PutFlag(flag, ref->flag);
    return result;
  }
  Trace("TmpBuffer=%d\r\n", static_cast<int>(s.tmpl_start));
  const auto ref = FindTemplateRecord(view, pin, finger);
  if (!ref) return 0;
  Trace("TmpData=%d,Size=%d,tmp=%d,sizeOffset=%d\r\n", static_cast<int>(ref->record),
        static_cast<int>(ref->bytes.size() + kTemplateHeaderSize),
        static_cast<int>(ref->record + kTemplateHeaderSize), static_cast<int>(ref->record));
  if (ref->bytes.empty()) {
    *length = 0;
    return 1;
  }
  const int32_t result = CopyTemplateOut(ref->bytes, buffer, length);
  if (result == 1) PutFlag(flag, ref->flag);
  return result;
}

bool FingerByte(int32_t finger) { return finger >= 0 && finger <= 255; }

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_QueryUserTemp(DEVAPI_HANDLE handle, int32_t user, int32_t finger,
                                   uint8_t* buffer, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (buffer == nullptr || length == nullptr || *length < 0 || !users::FingerByte(finger)) {
      return 4;
    }
    // Mapped first: a mapping that has to load the user table drops the
    // view, and then the terminal is asked.
    const int64_t pin = users::PinFromPin2(*s, user);
    if (!users::TemplateViewLoaded(*s)) {
      return users::ReadTemplateByPin(*s, pin, static_cast<uint8_t>(finger), buffer, length);
    }
    return users::QueryByNumber(*s, pin, finger, buffer, length);
  });
}

DEVAPI_API int32_t SSR_Q_QueryUserTemp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger,
                                       uint8_t* buffer, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text || buffer == nullptr || length == nullptr || *length < 0 ||
        !users::FingerByte(finger)) {
      return 4;
    }
    const int32_t pin = users::PinFromIdText(*s, *text);  // first, as above
    if (!users::TemplateViewLoaded(*s)) {
      return users::ReadTemplateByIdText(*s, *text, static_cast<uint8_t>(finger), buffer, length);
    }
    return users::QueryByIdText(*s, pin, finger, buffer, length);
  });
}

DEVAPI_API int32_t Q_QueryUserTempEx(DEVAPI_HANDLE handle, const char* user, int32_t finger,
                                     int32_t* flag, uint8_t* buffer, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (user == nullptr || buffer == nullptr || length == nullptr || *length < 0 ||
        !users::FingerByte(finger)) {
      return 4;
    }
    const int64_t pin = users::PinFromUserText(*s, user);  // first, as above
    if (!users::TemplateViewLoaded(*s)) {
      return users::ReadTemplateWithFlag(*s, user, static_cast<uint8_t>(finger), flag, buffer,
                                         length);
    }
    return users::QueryWithFlag(*s, handle, pin, finger, flag, buffer, length);
  });
}

}  // extern "C"
