// Work codes in three forms: plain (index and 32-bit code), the text form
// keyed by the number's decimal text, and the extended form of colour-screen
// terminals {code text, name} with an ID the terminal assigns.
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "devapi.h"
#include "extras/extras_io.h"
#include "wire/le_bytes.h"

namespace devapi::extras {

namespace {

constexpr uint16_t kCmdSetWorkCode = 82;
constexpr uint16_t kCmdGetWorkCode = 83;
constexpr uint16_t kCmdDeleteWorkCode = 84;
constexpr uint16_t kCmdClearData = 14;
constexpr uint16_t kCmdSetWorkCodeEx = 10022;
constexpr uint16_t kCmdGetWorkCodeEx = 10023;
constexpr uint16_t kCmdDeleteWorkCodeEx = 10024;
constexpr uint16_t kCmdGetWorkCodeExById = 10025;
constexpr uint16_t kCmdWorkCodeIdByName = 10035;
constexpr uint8_t kClearPlainCodes = 9;
constexpr uint8_t kClearTextCodes = 17;
constexpr int32_t kDeleteExtraMs = 4000;
constexpr int32_t kClearExtraMs = 3000;
constexpr int32_t kLookupExtraMs = 4000;
constexpr uint16_t kAckNoData1 = 4989;
constexpr uint16_t kAckNoData2 = 4991;
constexpr int32_t kReasonNotFound = 2;

constexpr size_t kPlainReply = 12;
constexpr size_t kPlainRecordEnd = 6;  // the code at bytes 2-5
constexpr size_t kTextRecord = 36;
constexpr size_t kTextReply = 40;
constexpr size_t kTextValuesAt = 11;
constexpr size_t kGetNumberRoom = 8;   // after two zero bytes, 10 data bytes
constexpr size_t kSetNumberRoom = 9;   // bytes 2-10 of the record; the delete's 9 bytes
constexpr size_t kExRecord = 58;
constexpr size_t kExReply = 60;
constexpr size_t kExRequest = 30;
constexpr size_t kExFirstAt = 4;
constexpr size_t kExSecondAt = 29;
constexpr size_t kFieldSize = 24;   // six 32-bit values
constexpr size_t kFieldValues = 6;
constexpr size_t kRecordValues = 7;  // the caller's record: six and a seventh
constexpr size_t kNameField = 25;
constexpr uint32_t kMaxExId = 0xFFFFFF;

// The number's "%d" text when it and its terminator fit `room` bytes.
std::optional<std::string> NumberText(int32_t number, size_t room) {
  char text[16];
  const int n = std::snprintf(text, sizeof(text), "%d", number);
  if (n < 0 || static_cast<size_t>(n) + 1 > room) return std::nullopt;
  return std::string(text, static_cast<size_t>(n));
}

void PutField(wire::ByteWriter& w, const int32_t* values) {
  for (size_t i = 0; i < kFieldValues; ++i) w.I32(values[i]);
}

// Six values from a field of the reply; the seventh is the caller's
// unless `seventh` asks for 0.
void TakeField(std::span<const uint8_t> field, int32_t* out, bool seventh) {
  wire::ByteReader r(field);
  for (size_t i = 0; i < kFieldValues; ++i) out[i] = r.I32();
  if (seventh) out[kFieldValues] = 0;
}

// A text argument that must fit a 24-character field.
bool FieldTextFits(const char* text) {
  return text != nullptr && ::strnlen(text, kFieldSize + 1) <= kFieldSize;
}

int32_t DeleteResult(const Reply& r, bool plain) {
  if (r.ok()) return 1;
  if (r.code == kAckError && r.result == kReasonNotFound) return 0;
  if (plain && (r.code == kAckNoData1 || r.code == kAckNoData2)) return 0;
  return -2;
}

int32_t Clear(DeviceSession& s, uint8_t kind) {
  const uint8_t data[1] = {kind};
  return SendCommand(s, kCmdClearData, data, 0, AddTimeout(s.cmd_timeout_ms, kClearExtraMs)).ok()
             ? 1
             : -2;
}

}  // namespace

}  // namespace devapi::extras

namespace x = devapi::extras;
using devapi::DeviceSession;

DEVAPI_API int32_t Q_GetWorkCode(DEVAPI_HANDLE handle, int32_t index, int32_t* code) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (code == nullptr || !x::Fits(index, 0xFFFF)) return 4;
    std::array<uint8_t, 2> data{};
    wire::ByteWriter(data).U16(static_cast<uint16_t>(index));
    const devapi::Reply r =
        devapi::SendCommand(*s, x::kCmdGetWorkCode, data, x::kPlainReply, s->cmd_timeout_ms);
    if (!r.HasAtLeast(x::kPlainRecordEnd)) return -2;
    wire::ByteReader rd(r.bytes);
    rd.Skip(2);
    *code = rd.I32();
    return 1;
  });
}

DEVAPI_API int32_t Q_SetWorkCode(DEVAPI_HANDLE handle, int32_t index, int32_t code) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::Fits(index, 0xFFFF)) return 4;
    std::array<uint8_t, 8> data{};
    wire::ByteWriter w(data);
    w.U16(static_cast<uint16_t>(index));
    w.I32(code);
    return x::SendSimple(*s, x::kCmdSetWorkCode, data);
  });
}

DEVAPI_API int32_t Q_DeleteWorkCode(DEVAPI_HANDLE handle, int32_t index) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::Fits(index, 0xFFFF)) return 4;
    std::array<uint8_t, 2> data{};
    wire::ByteWriter(data).U16(static_cast<uint16_t>(index));
    return x::DeleteResult(
        devapi::SendCommand(*s, x::kCmdDeleteWorkCode, data, 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, x::kDeleteExtraMs)),
        true);
  });
}

DEVAPI_API int32_t Q_ClearWorkCode(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return x::Clear(*s, x::kClearPlainCodes);
  });
}

DEVAPI_API int32_t Q_SSR_GetWorkCode(DEVAPI_HANDLE handle, int32_t number, int32_t* record) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = x::NumberText(number, x::kGetNumberRoom);
    if (record == nullptr || !text) return 4;
    std::array<uint8_t, 2 + x::kGetNumberRoom> data{};
    std::memcpy(data.data() + 2, text->data(), text->size());
    const devapi::Reply r =
        devapi::SendCommand(*s, x::kCmdGetWorkCode, data, x::kTextReply, s->cmd_timeout_ms);
    if (!r.HasAtLeast(x::kTextRecord)) return -2;
    x::TakeField(std::span<const uint8_t>(r.bytes).subspan(x::kTextValuesAt, x::kFieldSize),
                 record, true);
    return 1;
  });
}

DEVAPI_API int32_t Q_SSR_SetWorkCode(DEVAPI_HANDLE handle, int32_t number, const int32_t* record) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = x::NumberText(number, x::kSetNumberRoom);
    if (record == nullptr || !text) return 4;
    std::array<uint8_t, x::kTextRecord> data{};
    wire::ByteWriter w(data);
    w.U16(0);
    w.FixedText(*text, x::kSetNumberRoom);
    x::PutField(w, record);
    return x::SendSimple(*s, x::kCmdSetWorkCode, data);
  });
}

DEVAPI_API int32_t Q_SSR_DeleteWorkCode(DEVAPI_HANDLE handle, int32_t number) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = x::NumberText(number, x::kSetNumberRoom);
    if (!text) return 4;
    std::array<uint8_t, x::kSetNumberRoom> data{};
    std::memcpy(data.data(), text->data(), text->size());
    return x::DeleteResult(
        devapi::SendCommand(*s, x::kCmdDeleteWorkCode, data, 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, x::kDeleteExtraMs)),
        false);
  });
}

DEVAPI_API int32_t Q_SSR_ClearWorkCode(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return x::Clear(*s, x::kClearTextCodes);
  });
}

DEVAPI_API int32_t Q_SSR_GetWorkCodeEx(DEVAPI_HANDLE handle, const char* code_text,
                                       int32_t* record) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (record == nullptr || !x::FieldTextFits(code_text)) return 4;
    std::array<uint8_t, x::kExRequest> data{};
    std::memcpy(data.data() + 4, code_text, std::strlen(code_text));
    const devapi::Reply r =
        devapi::SendCommand(*s, x::kCmdGetWorkCodeEx, data, x::kExReply, s->cmd_timeout_ms);
    if (!r.HasAtLeast(x::kExRecord)) return -2;
    x::TakeField(std::span<const uint8_t>(r.bytes).subspan(x::kExSecondAt, x::kFieldSize), record,
                 true);
    return 1;
  });
}

DEVAPI_API int32_t Q_SSR_GetWorkCodeExByID(DEVAPI_HANDLE handle, int32_t number, int32_t* first,
                                           int32_t* second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    // The request carries 24 bits of the number.
    if (first == nullptr || second == nullptr || !x::Fits(number, x::kMaxExId)) return 4;
    std::array<uint8_t, x::kExRequest> data{};
    data[1] = static_cast<uint8_t>(number);
    data[2] = static_cast<uint8_t>(number >> 8);
    data[3] = static_cast<uint8_t>(number >> 16);
    const devapi::Reply r =
        devapi::SendCommand(*s, x::kCmdGetWorkCodeExById, data, x::kExReply, s->cmd_timeout_ms);
    if (!r.HasAtLeast(x::kExRecord)) return -2;
    const std::span<const uint8_t> bytes(r.bytes);
    x::TakeField(bytes.subspan(x::kExFirstAt, x::kFieldSize), first, false);
    x::TakeField(bytes.subspan(x::kExSecondAt, x::kFieldSize), second, true);
    return 1;
  });
}

DEVAPI_API int32_t Q_SSR_SetWorkCodeEx(DEVAPI_HANDLE handle, const int32_t* first,
                                       const int32_t* second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (first == nullptr || second == nullptr) return 4;
    std::array<uint8_t, x::kExRecord> data{};
    wire::ByteWriter w(data);
    w.U32(0);
    x::PutField(w, first);
    w.U8(0);
    x::PutField(w, second);
    return x::SendSimple(*s, x::kCmdSetWorkCodeEx, data);
  });
}

DEVAPI_API int32_t Q_SSR_DeleteWorkCodeEx(DEVAPI_HANDLE handle, const int32_t* first) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (first == nullptr) return 4;
    std::array<uint8_t, x::kFieldSize + 1> data{};
    wire::ByteWriter w(data);
    x::PutField(w, first);
    return x::DeleteResult(
        devapi::SendCommand(*s, x::kCmdDeleteWorkCodeEx, data, 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, x::kDeleteExtraMs)),
        false);
  });
}

DEVAPI_API int32_t Q_SSR_GetWorkCodeIDByName(DEVAPI_HANDLE handle, const char* name,
                                             int32_t* number) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (number == nullptr || !x::FieldTextFits(name)) return 4;
    std::array<uint8_t, x::kNameField> data{};
    std::memcpy(data.data(), name, std::strlen(name));
    const devapi::Reply r =
        devapi::SendCommand(*s, x::kCmdWorkCodeIdByName, data, x::kNameField,
                            devapi::AddTimeout(s->cmd_timeout_ms, x::kLookupExtraMs));
    if (!r.HasAtLeast(4)) return -2;
    *number = static_cast<int32_t>(r.Word(0));
    return 1;
  });
}
