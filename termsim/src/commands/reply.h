// A reply as the terminal model decides it, before it goes on the wire.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace termsim {

// Largest payload one UDP packet may carry (1032-byte packets); what fits
// every host on every link. TCP packets may carry more (packet_limit.h).
inline constexpr size_t kMaxPayload = 1024;

struct Trailer;  // bulk_trailer.h

struct Reply {
  uint16_t code = 0;
  uint16_t connection_id = 0;
  uint16_t reply_counter = 0;  // the request's sequence number, echoed
  std::vector<uint8_t> payload;
  bool end_session = false;  // the terminal forgets the conversation once answered
  // Packets that follow the reply (bulk data); shared, so a repeated answer
  // resends them without a copy.
  std::shared_ptr<const Trailer> trailer;
};

// How a reply is put on the wire; the defaults send it as decided.
struct WireShape {
  uint16_t counter_back = 0;  // subtracted from the sequence number
  bool corrupt_checksum = false;
};

// Accepts a command, with `payload` as the answer's data.
void Ok(Reply& reply, std::vector<uint8_t> payload = {});
// Turns a command down (CMD_ACK_ERROR, no data); a non-zero `reason` goes in
// the connection word, where hosts look for why.
void Refuse(Reply& reply, uint16_t reason = 0);

// The datagram for `reply`, shaped as asked.
std::vector<uint8_t> EncodeReply(const Reply& reply, const WireShape& shape = {});

}  // namespace termsim
