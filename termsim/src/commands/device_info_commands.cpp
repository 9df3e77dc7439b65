#include "commands/device_info_commands.h"

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

std::vector<uint8_t> Terminated(const std::string& text) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

void Answer(Reply& reply, uint16_t code, std::vector<uint8_t> payload = {}) {
  reply.code = code;
  reply.payload = std::move(payload);
}

}  // namespace

DeviceInfo::DeviceInfo(const Profile& profile)
    : clock(PackTime(profile.clock), profile.clock_runs),
      storage(MakeStorageWords(profile.storage)),
      pin_width(profile.pin_width),
      device_status(profile.device_status),
      device_firmware_(profile.device_firmware.empty() ? profile.firmware
                                                       : profile.device_firmware) {}

bool DeviceInfo::Handle(uint16_t code, std::span<const uint8_t> data, Reply& reply) {
  switch (code) {
    case kGetTime: {
      std::vector<uint8_t> stamp(4);
      wire::ByteWriter(stamp).U32(clock.Now());
      Answer(reply, wire::CMD_ACK_OK, std::move(stamp));
      return true;
    }
    case kSetTime: {
      wire::ByteReader r(data);
      const uint32_t stamp = r.U32();
      if (!r.ok()) {
        Answer(reply, wire::CMD_ACK_ERROR);
        return true;
      }
      clock.Set(stamp);
      Answer(reply, wire::CMD_ACK_OK);
      return true;
    }
    case wire::CMD_GET_FREE_SIZES:
      AnswerFreeSizes(storage, data, reply);
      return true;
    case kPinWidth:
      // The request's two bytes carry nothing this terminal needs.
      Answer(reply, wire::CMD_ACK_OK, {static_cast<uint8_t>(pin_width)});
      return true;
    case kDeviceStatus:
      Answer(reply, wire::CMD_ACK_OK,
             Terminated("~Busy=0\n~DeviceStatus=" + std::to_string(device_status) + "\n"));
      return true;
    case kDeviceFirmware:
      Answer(reply, wire::CMD_ACK_OK, Terminated(device_firmware_));
      return true;
    default:
      return false;
  }
}

}  // namespace termsim
