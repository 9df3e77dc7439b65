#include "commands/reply.h"

#include "wire/codes.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace termsim {

void Ok(Reply& reply, std::vector<uint8_t> payload) {
  reply.code = wire::CMD_ACK_OK;
  reply.payload = std::move(payload);
}

void Refuse(Reply& reply, uint16_t reason) {
  reply.code = wire::CMD_ACK_ERROR;
  reply.payload.clear();
  if (reason != 0) reply.connection_id = reason;
}

std::vector<uint8_t> EncodeReply(const Reply& reply, const WireShape& shape) {
  std::vector<uint8_t> out(wire::kHeaderSize + reply.payload.size());
  const auto counter = static_cast<uint16_t>(reply.reply_counter - shape.counter_back);
  const size_t size =
      wire::BuildPacket(reply.code, reply.connection_id, counter, reply.payload, out);
  out.resize(size);
  if (shape.corrupt_checksum && size >= wire::kHeaderSize) {
    auto field = std::span<uint8_t>(out).subspan<2, 2>();
    // Any change of the stored sum breaks it; this one never maps to itself.
    wire::StoreU16(field, static_cast<uint16_t>(wire::LoadU16(field) ^ 0x5A5A));
  }
  return out;
}

}  // namespace termsim
