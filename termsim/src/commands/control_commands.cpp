#include "commands/control_commands.h"

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

// Data lengths the terminal needs to make sense of a command.
constexpr size_t kDelayBytes = 4;        // unlock: how long, 32-bit
constexpr size_t kEnrollMinBytes = 3;    // user number (16-bit at least) and index
constexpr size_t kVerifyBytes = 3;       // user number 16-bit and index
constexpr size_t kLcdHeaderBytes = 3;    // row, column, a zero byte
constexpr size_t kSoundHeaderBytes = 4;  // kind, length, two zero bytes
constexpr size_t kMaxVoiceBytes = 2;

// The sound request's data length must match what came.
bool SoundRequestWhole(std::span<const uint8_t> data) {
  wire::ByteReader r(data);
  r.U8();  // kind
  const uint8_t length = r.U8();
  return r.Skip(2) && r.remaining() >= length;
}

bool Acceptable(uint16_t code, std::span<const uint8_t> data) {
  switch (code) {
    case kUnlock:
      return data.size() >= kDelayBytes;
    case kStartEnroll:
      return data.size() >= kEnrollMinBytes;
    case kStartVerify:  // no data: identify whoever comes
      return data.empty() || data.size() >= kVerifyBytes;
    case kWriteLcd:
      return data.size() >= kLcdHeaderBytes;
    case kSound:
      return data.size() >= kSoundHeaderBytes && SoundRequestWhole(data);
    case kPlayVoice:
      return !data.empty() && data.size() <= kMaxVoiceBytes;
    case kEnableClock:
      return data.size() == 1;
    default:
      return true;
  }
}

bool IsControlCommand(uint16_t code) {
  switch (code) {
    case wire::CMD_ENABLEDEVICE:
    case wire::CMD_DISABLEDEVICE:
    case kRestart:
    case kPowerOff:
    case kSleep:
    case kResume:
    case kRefreshData:
    case kRefreshOptions:
    case kPlayVoice:
    case kSound:
    case kSuspend:
    case kUnlock:
    case kEnableClock:
    case kStartVerify:
    case kStartEnroll:
    case kCancelOperation:
    case kQueryState:
    case kWriteLcd:
    case kClearLcd:
    case kDoorState:
    case kSaveCurrentTime:
    case kTurnOffAlarm:
    case kCloseAlarm:
      return true;
    default:
      return false;
  }
}

}  // namespace

DeviceControl::DeviceControl(const Profile& profile)
    : door_state(profile.door_state), machine_state(profile.machine_state) {}

bool DeviceControl::Handle(uint16_t code, std::span<const uint8_t> data, Reply& reply) {
  if (!IsControlCommand(code)) return false;
  received.push_back(ControlCommand{code, std::vector<uint8_t>(data.begin(), data.end())});
  reply.payload.clear();
  if (!Acceptable(code, data)) {
    reply.code = wire::CMD_ACK_ERROR;
    return true;
  }
  reply.code = wire::CMD_ACK_OK;
  switch (code) {
    case wire::CMD_ENABLEDEVICE:
      enabled = true;
      break;
    case wire::CMD_DISABLEDEVICE:
      enabled = false;
      break;
    case kRestart:
      // The terminal goes down: the conversation is over.
      ++restarts;
      enabled = true;
      reply.end_session = true;
      break;
    case kDoorState:
      reply.payload = {door_state};
      break;
    case kQueryState:
      // The state travels in the reply header's connection word.
      reply.connection_id = machine_state;
      break;
    default:
      break;
  }
  return true;
}

}  // namespace termsim
