#include "bulk/terminal.h"

#include <algorithm>

#include "bulk/lzo.h"
#include "bulk/transfer.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

// Command codes of the piecewise read.
constexpr uint16_t kReadLargeBlock = 2018;
constexpr uint16_t kFreeLargeBlocks = 2019;

// `data` cut into data packets of `chunk` bytes, all carrying `connection_id`
// (or, when `numbered`, their own index) and the request's sequence number.
std::vector<Reply> Packetise(std::span<const uint8_t> data, uint32_t chunk, bool numbered,
                             uint16_t connection_id, uint16_t counter) {
  std::vector<Reply> packets;
  for (size_t offset = 0, index = 0; offset < data.size(); offset += chunk, ++index) {
    Reply p;
    p.code = wire::CMD_DATA;
    // The index travels in a 16-bit field: a data set of more than 65536
    // chunks cannot be streamed whole.
    p.connection_id = numbered ? static_cast<uint16_t>(index) : connection_id;
    p.reply_counter = counter;
    const auto piece = data.subspan(offset, std::min<size_t>(chunk, data.size() - offset));
    p.payload.assign(piece.begin(), piece.end());
    packets.push_back(std::move(p));
  }
  return packets;
}

}  // namespace

void BulkTerminal::SetDataSet(uint16_t command, Bytes request_prefix, Bytes bytes) {
  std::lock_guard lock(mu_);
  store_.Set(command, std::move(request_prefix), std::move(bytes));
}

void BulkTerminal::SetRecordSet(uint16_t command, RecordList records) {
  std::lock_guard lock(mu_);
  store_.SetRecords(command, std::move(records));
}

void BulkTerminal::ClearDataSets() {
  std::lock_guard lock(mu_);
  store_.Clear();
}

void BulkTerminal::SetOptions(const BulkOptions& options) {
  std::lock_guard lock(mu_);
  options_ = options;
}

void BulkTerminal::SetFaults(const BulkFaults& faults) {
  std::lock_guard lock(mu_);
  faults_.Set(faults);
}

size_t BulkTerminal::PreparedCount() const {
  std::lock_guard lock(mu_);
  return static_cast<size_t>(std::count_if(prepared_.begin(), prepared_.end(), [](const auto& p) {
    return p.second.memory.has_value() || p.second.records != nullptr;
  }));
}

bool BulkTerminal::Answer(uint16_t session, const wire::PacketView& request, size_t max_payload,
                          Reply& reply) {
  std::lock_guard lock(mu_);
  const uint16_t code = request.header.code;
  switch (code) {
    case wire::CMD_QUERY_DATA:
      if (!options_.buffered_reads) return false;
      Query(session, request.payload, max_payload, reply);
      return true;
    case wire::CMD_READ_DATA:
      ReadMemory(session, request, max_payload, reply);
      return true;
    case kReadLargeBlock:
      LargeBlock(session, request, max_payload, reply);
      return true;
    case kFreeLargeBlocks:
      prepared_[session].records.reset();
      reply.code = wire::CMD_ACK_OK;
      reply.payload.clear();
      return true;
    default:
      break;
  }
  if (auto records = store_.Records(code)) {
    CountRecords(session, std::move(records), reply);
    return true;
  }
  if (auto data = store_.Find(code, request.payload)) {
    const TransferFaults faults = faults_.NextTransfer();
    const std::span<const uint8_t> served = faults.data ? *faults.data : *data;
    Stream(served, request.header.reply_counter, faults, false, max_payload, reply);
    return true;
  }
  return false;
}

void BulkTerminal::Release(uint16_t session) {
  std::lock_guard lock(mu_);
  const auto it = prepared_.find(session);
  if (it == prepared_.end()) return;
  it->second.memory.reset();
  if (it->second.records == nullptr) prepared_.erase(it);
}

uint32_t BulkTerminal::ChunkSize(size_t max_payload) const {
  return static_cast<uint32_t>(
      std::clamp<size_t>(options_.chunk_size, 1, std::max<size_t>(max_payload, 1)));
}

// The data set of the asked command is prepared in memory, compressed when
// the terminal is set to, and described by its sizes and data hash.
void BulkTerminal::Query(uint16_t session, std::span<const uint8_t> payload, size_t max_payload,
                         Reply& reply) {
  wire::ByteReader r(payload);
  r.U8();
  const uint16_t command = r.U16();
  const auto params = r.View(8);
  if (!r.ok()) {
    Refuse(reply);
    return;
  }
  const auto found = store_.Find(command, params);
  const std::span<const uint8_t> data =
      found ? std::span<const uint8_t>(*found) : std::span<const uint8_t>();
  Prepared& prepared = prepared_[session];
  if (options_.inline_queries && !data.empty() && data.size() <= max_payload) {
    prepared.memory.reset();
    reply.code = wire::CMD_DATA;
    reply.payload.assign(data.begin(), data.end());
    return;
  }
  const bool compressed = options_.compress && !data.empty();
  Bytes stored = compressed ? LzoCompress(data) : Bytes(data.begin(), data.end());
  reply.code = wire::CMD_ACK_OK;
  reply.payload.assign(13, 0);
  wire::ByteWriter w(reply.payload);
  w.U8(compressed ? 1 : 0);
  w.U32(static_cast<uint32_t>(stored.size()));
  w.U32(static_cast<uint32_t>(static_cast<int64_t>(data.size()) + faults_.size_delta()));
  w.U32(wire::DataHash(stored));
  if (stored.empty()) {
    prepared.memory.reset();
  } else {
    prepared.memory = std::move(stored);
  }
}

// A block of the prepared data: inline when it fits one packet, else
// streamed like a data set.
void BulkTerminal::ReadMemory(uint16_t session, const wire::PacketView& request,
                              size_t max_payload, Reply& reply) {
  wire::ByteReader r(request.payload);
  const uint32_t offset = r.U32();
  const uint32_t count = r.U32();
  const auto it = prepared_.find(session);
  if (!r.ok() || it == prepared_.end() || !it->second.memory ||
      static_cast<uint64_t>(offset) + count > it->second.memory->size()) {
    Refuse(reply);
    return;
  }
  if (faults_.prepare_without_data()) {
    // Announced, and then the terminal says no more.
    reply.code = wire::CMD_PREPARE_DATA;
    reply.payload.assign(8, 0);
    wire::ByteWriter w(reply.payload);
    w.U32(count);
    w.U32(ChunkSize(max_payload));
    return;
  }
  const Bytes& memory = *it->second.memory;
  Bytes block(memory.begin() + offset, memory.begin() + offset + count);
  if (!block.empty() && faults_.TakeMisread()) block[block.size() / 2] ^= 0xA5;
  const bool damage = faults_.DamagesBlock(count);
  if (count <= max_payload && !damage) {
    if (!block.empty() && faults_.TakeShortInline()) block.pop_back();
    reply.code = wire::CMD_DATA;
    reply.payload = std::move(block);
    return;
  }
  Stream(block, request.header.reply_counter, faults_.NextTransfer(), damage, max_payload, reply);
}

// Announces the data with CMD_PREPARE_DATA (total and chunk size); the
// numbered chunks follow the reply.
void BulkTerminal::Stream(std::span<const uint8_t> data, uint16_t counter,
                          const TransferFaults& faults, bool damage_last, size_t max_payload,
                          Reply& reply) {
  const uint32_t chunk = ChunkSize(max_payload);
  reply.code = wire::CMD_PREPARE_DATA;
  reply.payload.assign(8, 0);
  wire::ByteWriter w(reply.payload);
  w.U32(static_cast<uint32_t>(data.size() + faults.announce_extra));
  w.U32(chunk);
  reply.trailer = ShapeTransfer(Packetise(data, chunk, true, 0, counter), faults, damage_last,
                                std::nullopt, options_);
}

void BulkTerminal::CountRecords(uint16_t session, std::shared_ptr<const RecordList> records,
                                Reply& reply) {
  reply.code = wire::CMD_ACK_OK;
  reply.payload.assign(4, 0);
  const int64_t forced = faults_.piecewise_count();
  wire::ByteWriter(reply.payload)
      .U32(forced >= 0 ? static_cast<uint32_t>(forced) : static_cast<uint32_t>(records->size()));
  prepared_[session].records = std::move(records);
}

// Records [start, start + count) as one block: its size and checksum in the
// reply, then its data packets, then CMD_ACK_OK.
void BulkTerminal::LargeBlock(uint16_t session, const wire::PacketView& request,
                              size_t max_payload, Reply& reply) {
  wire::ByteReader r(request.payload);
  const uint32_t start = r.U32();
  const uint32_t count = r.U32();
  const auto it = prepared_.find(session);
  if (!r.ok() || it == prepared_.end() || it->second.records == nullptr) {
    Refuse(reply);
    return;
  }
  const RecordList& records = *it->second.records;
  const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(start) + count, records.size());
  Bytes block;
  for (uint64_t i = start; i < end; ++i) {
    block.insert(block.end(), records[i].begin(), records[i].end());
  }
  TransferFaults faults = faults_.NextTransfer();
  if (faults.data) block = *faults.data;
  if (faults_.empty_blocks()) block.clear();

  const uint16_t counter = request.header.reply_counter;
  reply.code = wire::CMD_PREPARE_DATA;
  reply.payload.assign(6, 0);
  wire::ByteWriter w(reply.payload);
  w.U32(static_cast<uint32_t>(block.size() + faults.announce_extra));
  w.U16(wire::InternetChecksum(block));
  Reply closing;
  closing.code = wire::CMD_ACK_OK;
  closing.connection_id = session;
  closing.reply_counter = counter;
  if (faults_.prepare_without_data()) return;  // neither data nor the closing packet
  const uint32_t chunk = ChunkSize(max_payload);
  reply.trailer = ShapeTransfer(Packetise(block, chunk, false, session, counter), faults, false,
                                closing, options_);
}

}  // namespace termsim
