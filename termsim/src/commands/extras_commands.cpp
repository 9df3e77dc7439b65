#include "commands/extras_commands.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kSetWorkCode = 82;
constexpr uint16_t kGetWorkCode = 83;
constexpr uint16_t kDeleteWorkCode = 84;
constexpr uint16_t kSetShortKey = 85;
constexpr uint16_t kReadShortKeys = 86;
constexpr uint16_t kSetState = 1703;
constexpr uint16_t kSetVoice = 1704;
constexpr uint16_t kEnableState = 1705;
constexpr uint16_t kEnableVoice = 1706;
constexpr uint16_t kDeleteState = 1707;
constexpr uint16_t kDeleteVoice = 1708;
constexpr uint16_t kSetNewShortKey = 2225;
constexpr uint16_t kReadNewShortKeys = 2226;
constexpr uint16_t kSetStateMap = 2227;
constexpr uint16_t kReadStateMap = 2228;
constexpr uint16_t kBellCount = 10014;
constexpr uint16_t kGetBell = 10015;
constexpr uint16_t kSetBell = 10016;
constexpr uint16_t kReadBells = 10017;
constexpr uint16_t kMaxBell = 10018;
constexpr uint16_t kSetWorkCodeEx = 10022;
constexpr uint16_t kGetWorkCodeEx = 10023;
constexpr uint16_t kDeleteWorkCodeEx = 10024;
constexpr uint16_t kGetWorkCodeExById = 10025;
constexpr uint16_t kWorkCodeIdByName = 10035;
constexpr uint16_t kFirstTipLabor = 20000;
constexpr uint16_t kLastTipLabor = 20008;

// This terminal's "no such data" answer to a plain work-code deletion.
constexpr uint16_t kAckNoData = 4989;
constexpr uint16_t kReasonMalformed = 1;
constexpr uint16_t kReasonNotFound = 2;
constexpr int kClearPlainCodes = 9;
constexpr int kClearTextCodes = 17;

constexpr size_t kField = 24;
constexpr size_t kExRecord = 58;
constexpr size_t kTextRecord = 36;
constexpr size_t kBellRecord = 24;
constexpr size_t kNamedRecord = 33;
constexpr size_t kNewKeyRecord = 286;

// A text in a fixed field: up to its first NUL.
std::string FieldText(std::span<const uint8_t> data, size_t at, size_t n) {
  if (at >= data.size()) return {};
  const auto field = data.subspan(at, std::min(n, data.size() - at));
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return std::string(field.begin(), end);
}

std::vector<uint8_t> Counted(const std::vector<uint8_t>& records) {
  std::vector<uint8_t> out(4 + records.size());
  wire::ByteWriter w(out);
  w.U32(static_cast<uint32_t>(records.size()));
  w.Bytes(records);
  return out;
}

std::vector<uint8_t> ExRecord(const TextWorkCode& c) {
  std::vector<uint8_t> out(kExRecord, 0);
  out[1] = static_cast<uint8_t>(c.id);
  out[2] = static_cast<uint8_t>(c.id >> 8);
  out[3] = static_cast<uint8_t>(c.id >> 16);
  std::memcpy(out.data() + 4, c.code.data(), std::min(c.code.size(), kField));
  std::memcpy(out.data() + 29, c.name.data(), kField);
  return out;
}

std::vector<uint8_t> EncodeKey(const ShortKeyEntry& k, bool wide) {
  std::vector<uint8_t> out(wide ? 44 : 32, 0);
  wire::ByteWriter w(out);
  w.U8(k.number);
  w.U8(k.function);
  w.U8(k.state);
  for (int i = 0; i < 3; ++i) w.U32(k.values[i]);
  if (wide) {
    w.U32(k.values[3]);
    w.Bytes(std::array<uint8_t, 10>{});
  } else {
    w.U16(static_cast<uint16_t>(k.values[3]));
  }
  for (uint16_t t : k.times) w.U16(t);
  w.U8(k.auto_switch);
  return out;
}

std::vector<uint8_t> EncodeNewKey(const ShortKeyEntry& k) {
  std::vector<uint8_t> out(kNewKeyRecord, 0);
  wire::ByteWriter w(out);
  w.U8(k.number);
  w.U8(k.function);
  w.U8(k.state);
  for (uint32_t v : k.values) w.U32(v);
  w.Bytes(std::array<uint8_t, 10>{});
  for (uint16_t t : k.slot_times) w.U16(t);
  for (const auto& day : k.slot_days) {
    for (uint16_t t : day) w.U16(t);
  }
  w.U8(k.auto_switch);
  return out;
}

std::vector<uint8_t> EncodeBell(const Bell& b) {
  std::vector<uint8_t> out(kBellRecord, 0);
  wire::ByteWriter w(out);
  w.U32(b.number);
  w.U8(b.first_byte);
  w.U8(b.second_byte);
  w.U8(0);
  w.U8(b.third_byte);
  w.U32(b.first_value);
  w.U32(b.time);
  w.U32(b.second_value);
  w.U32(b.third_value);
  return out;
}

Bell DecodeBell(std::span<const uint8_t> data) {
  wire::ByteReader r(data);
  Bell b;
  b.number = r.U32();
  b.first_byte = r.U8();
  b.second_byte = r.U8();
  r.U8();
  b.third_byte = r.U8();
  b.first_value = r.U32();
  b.time = r.U32();
  b.second_value = r.U32();
  b.third_value = r.U32();
  return b;
}

}  // namespace

void ExtrasCommands::Set(ExtrasData data) {
  std::lock_guard lock(mu_);
  data_ = std::move(data);
}

ExtrasData ExtrasCommands::Data() const {
  std::lock_guard lock(mu_);
  return data_;
}

void ExtrasCommands::DataCleared(int kind) {
  std::lock_guard lock(mu_);
  if (kind == kClearPlainCodes) data_.work_codes.clear();
  if (kind == kClearTextCodes) data_.text_work_codes.clear();
}

bool ExtrasCommands::Answer(const wire::PacketView& request, BulkTerminal& bulk, Reply& reply) {
  uint16_t command = request.header.code;
  const auto data = request.payload;
  if (command == wire::CMD_QUERY_DATA) {
    // A buffered read names the command after one byte.
    wire::ByteReader r(data);
    r.U8();
    command = r.U16();
    if (!r.ok()) return false;
    if (command != kReadShortKeys && command != kReadNewShortKeys && command != kReadStateMap &&
        command != kReadBells) {
      return false;
    }
  }
  std::lock_guard lock(mu_);
  switch (command) {
    case kSetWorkCode:
      SetWorkCode(data, reply);
      return true;
    case kGetWorkCode:
      GetWorkCode(data, reply);
      return true;
    case kDeleteWorkCode:
      DeleteWorkCode(data, reply);
      return true;
    case kSetWorkCodeEx:
      SetWorkCodeEx(data, reply);
      return true;
    case kGetWorkCodeEx:
    case kGetWorkCodeExById:
    case kWorkCodeIdByName:
      GetWorkCodeEx(command, data, reply);
      return true;
    case kDeleteWorkCodeEx:
      DeleteWorkCodeEx(data, reply);
      return true;
    case kSetState:
    case kSetVoice:
    case kEnableState:
    case kEnableVoice:
    case kDeleteState:
    case kDeleteVoice:
      StatesAndVoices(command, data, reply);
      return true;
    case kSetShortKey:
      SetShortKey(data, reply);
      return true;
    case kSetNewShortKey:
      SetNewShortKey(data, reply);
      return true;
    case kSetStateMap:
      SetStateMap(data, reply);
      return true;
    case kReadShortKeys:
    case kReadNewShortKeys:
    case kReadStateMap:
    case kReadBells: {
      const auto raw = data_.raw_tables.find(command);
      bulk.SetDataSet(command, {},
                      raw != data_.raw_tables.end() ? raw->second : Counted(Table(command)));
      return false;
    }
    default:
      break;
  }
  if (command >= kBellCount && command <= kMaxBell) return Bells(command, data, reply);
  if (command >= kFirstTipLabor && command <= kLastTipLabor) {
    TipAndLabor(command, data, reply);
    return true;
  }
  return false;
}

std::vector<uint8_t> ExtrasCommands::Table(uint16_t command) const {
  std::vector<uint8_t> out;
  auto append = [&out](const std::vector<uint8_t>& r) { out.insert(out.end(), r.begin(), r.end()); };
  switch (command) {
    case kReadShortKeys:
      for (const auto& [n, k] : data_.short_keys) append(EncodeKey(k, wide_keys_));
      break;
    case kReadNewShortKeys:
      for (const auto& [n, k] : data_.short_keys) append(EncodeNewKey(k));
      break;
    case kReadStateMap:
      for (const auto& [key, value] : data_.state_map) {
        std::vector<uint8_t> e(8, 0);
        wire::ByteWriter w(e);
        w.U16(key);
        w.I32(value);
        append(e);
      }
      break;
    case kReadBells:
      for (const auto& [k, b] : data_.bells) append(EncodeBell(b));
      break;
    default:
      break;
  }
  return out;
}

void ExtrasCommands::SetWorkCode(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  if (data.size() == 8) {
    const uint16_t index = r.U16();
    data_.work_codes[index] = r.U32();
    return Ok(reply);
  }
  if (data.size() != kTextRecord) return Refuse(reply, kReasonMalformed);
  const std::string code = FieldText(data, 2, 9);
  if (code.empty()) return Refuse(reply, kReasonMalformed);
  auto& table = data_.text_work_codes;
  auto it = std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.code == code; });
  if (it == table.end()) {
    table.push_back({data_.next_work_code_id++, code, {}});
    it = table.end() - 1;
  }
  std::memcpy(it->name.data(), data.data() + 11, kField);
  Ok(reply);
}

void ExtrasCommands::GetWorkCode(std::span<const uint8_t> data, Reply& reply) const {
  if (data.size() == 2) {
    const uint16_t index = wire::ByteReader(data).U16();
    const auto it = data_.work_codes.find(index);
    if (it == data_.work_codes.end()) return Refuse(reply, kReasonNotFound);
    std::vector<uint8_t> out(8, 0);
    wire::ByteWriter w(out);
    w.U16(index);
    w.U32(it->second);
    return Ok(reply, std::move(out));
  }
  if (data.size() != 10) return Refuse(reply, kReasonMalformed);
  const std::string code = FieldText(data, 2, 8);
  const auto& table = data_.text_work_codes;
  const auto it =
      std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.code == code; });
  if (code.empty() || it == table.end()) return Refuse(reply, kReasonNotFound);
  std::vector<uint8_t> out(kTextRecord, 0);
  std::memcpy(out.data() + 2, code.data(), std::min<size_t>(code.size(), 8));
  std::memcpy(out.data() + 11, it->name.data(), kField);
  Ok(reply, std::move(out));
}

void ExtrasCommands::DeleteWorkCode(std::span<const uint8_t> data, Reply& reply) {
  if (data.size() == 2) {
    const uint16_t index = wire::ByteReader(data).U16();
    if (data_.work_codes.erase(index) == 0) {
      reply.code = kAckNoData;
      reply.payload.clear();
      return;
    }
    return Ok(reply);
  }
  if (data.size() != 9) return Refuse(reply, kReasonMalformed);
  const std::string code = FieldText(data, 0, 9);
  auto& table = data_.text_work_codes;
  const auto n = std::erase_if(table, [&](const auto& c) { return c.code == code; });
  if (code.empty() || n == 0) return Refuse(reply, kReasonNotFound);
  Ok(reply);
}

void ExtrasCommands::SetWorkCodeEx(std::span<const uint8_t> data, Reply& reply) {
  if (data.size() < kExRecord) return Refuse(reply, kReasonMalformed);
  const std::string code = FieldText(data, 4, kField);
  if (code.empty()) return Refuse(reply, kReasonMalformed);
  auto& table = data_.text_work_codes;
  auto it = std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.code == code; });
  if (it == table.end()) {
    table.push_back({data_.next_work_code_id++, code, {}});
    it = table.end() - 1;
  }
  std::memcpy(it->name.data(), data.data() + 29, kField);
  Ok(reply);
}

void ExtrasCommands::GetWorkCodeEx(uint16_t command, std::span<const uint8_t> data,
                                   Reply& reply) const {
  const auto& table = data_.text_work_codes;
  auto found = table.end();
  if (command == kGetWorkCodeEx) {
    const std::string code = FieldText(data, 4, 26);
    found = std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.code == code; });
  } else if (command == kGetWorkCodeExById) {
    if (data.size() < 4) return Refuse(reply, kReasonMalformed);
    const uint32_t id = data[1] | (data[2] << 8) | (data[3] << 16);
    found = std::find_if(table.begin(), table.end(), [&](const auto& c) { return c.id == id; });
  } else {
    const std::string name = FieldText(data, 0, 25);
    found = std::find_if(table.begin(), table.end(), [&](const auto& c) {
      return FieldText(c.name, 0, kField) == name;
    });
    if (found != table.end()) {
      std::vector<uint8_t> out(4, 0);
      wire::ByteWriter(out).U32(found->id);
      return Ok(reply, std::move(out));
    }
  }
  if (found == table.end()) return Refuse(reply, kReasonNotFound);
  Ok(reply, ExRecord(*found));
}

void ExtrasCommands::DeleteWorkCodeEx(std::span<const uint8_t> data, Reply& reply) {
  const std::string code = FieldText(data, 0, kField);
  const auto n = std::erase_if(data_.text_work_codes, [&](const auto& c) { return c.code == code; });
  if (code.empty() || n == 0) return Refuse(reply, kReasonNotFound);
  Ok(reply);
}

void ExtrasCommands::StatesAndVoices(uint16_t command, std::span<const uint8_t> data,
                                     Reply& reply) {
  wire::ByteReader r(data);
  const bool voice = command == kSetVoice || command == kEnableVoice || command == kDeleteVoice;
  const uint32_t index = (command == kDeleteState || command == kDeleteVoice) ? r.U32() : r.U16();
  if (!r.ok() || index > (voice ? 20u : 7u)) return Refuse(reply, kReasonMalformed);
  const auto at = static_cast<uint8_t>(index);
  switch (command) {
    case kSetState: {
      CustomState& s = data_.states[at];
      s.value = r.U16();
      s.enabled = r.U16() != 0;
      break;
    }
    case kEnableState:
      if (!data_.states.contains(at)) return Refuse(reply, kReasonNotFound);
      data_.states[at].enabled = r.U16() != 0;
      break;
    case kDeleteState:
      if (data_.states.erase(at) == 0) return Refuse(reply, kReasonNotFound);
      break;
    case kSetVoice: {
      r.Skip(8);
      CustomVoice& v = data_.voices[at];
      v.file = FieldText(data, 10, 20);
      r.Skip(20);
      v.enabled = r.U16() != 0;
      break;
    }
    case kEnableVoice:
      if (!data_.voices.contains(at)) return Refuse(reply, kReasonNotFound);
      data_.voices[at].enabled = r.U16() != 0;
      break;
    case kDeleteVoice:
      if (data_.voices.erase(at) == 0) return Refuse(reply, kReasonNotFound);
      break;
    default:
      break;
  }
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  Ok(reply);
}

void ExtrasCommands::SetShortKey(std::span<const uint8_t> data, Reply& reply) {
  if (data.size() != (wide_keys_ ? 44u : 32u)) return Refuse(reply, kReasonMalformed);
  wire::ByteReader r(data);
  ShortKeyEntry& k = data_.short_keys[data[0]];
  k.number = r.U8();
  k.function = r.U8();
  k.state = r.U8();
  for (int i = 0; i < 3; ++i) k.values[i] = r.U32();
  if (wide_keys_) {
    k.values[3] = r.U32();
    r.Skip(10);
  } else {
    k.values[3] = r.U16();
  }
  for (uint16_t& t : k.times) t = r.U16();
  k.auto_switch = r.U8();
  Ok(reply);
}

void ExtrasCommands::SetNewShortKey(std::span<const uint8_t> data, Reply& reply) {
  if (data.size() != kNewKeyRecord) return Refuse(reply, kReasonMalformed);
  wire::ByteReader r(data);
  ShortKeyEntry& k = data_.short_keys[data[0]];
  k.number = r.U8();
  k.function = r.U8();
  k.state = r.U8();
  for (uint32_t& v : k.values) v = r.U32();
  r.Skip(10);
  for (uint16_t& t : k.slot_times) t = r.U16();
  for (auto& day : k.slot_days) {
    for (uint16_t& t : day) t = r.U16();
  }
  k.auto_switch = r.U8();
  Ok(reply);
}

bool ExtrasCommands::Bells(uint16_t command, std::span<const uint8_t> data, Reply& reply) {
  switch (command) {
    case kBellCount: {
      std::vector<uint8_t> out(4, 0);
      wire::ByteWriter(out).U32(static_cast<uint32_t>(data_.bells.size()));
      Ok(reply, std::move(out));
      return true;
    }
    case kMaxBell: {
      // No bells: nothing to report.
      if (data_.bells.empty()) {
        Ok(reply);
        return true;
      }
      uint32_t highest = 0;
      for (const auto& [k, b] : data_.bells) highest = std::max(highest, b.number);
      std::vector<uint8_t> out(4, 0);
      wire::ByteWriter(out).U32(highest);
      Ok(reply, std::move(out));
      return true;
    }
    case kGetBell:
    case kSetBell: {
      if (data.size() < kBellRecord) {
        Refuse(reply, kReasonMalformed);
        return true;
      }
      const Bell b = DecodeBell(data);
      const auto key = std::make_pair(b.number, b.second_byte);
      if (command == kSetBell) {
        data_.bells[key] = b;
        Ok(reply);
        return true;
      }
      const auto it = data_.bells.find(key);
      if (it == data_.bells.end()) {
        Refuse(reply, kReasonNotFound);
      } else {
        Ok(reply, EncodeBell(it->second));
      }
      return true;
    }
    default:
      return false;
  }
}

namespace {

// Tip codes, labor groups and labor codes share one shape: a keyed table whose
// set stores a named record, whose get answers it and whose delete drops it.
template <class Table, class Key, class Store, class Encode>
void ServeNamedTable(int op, Table& table, const Key& key, std::span<const uint8_t> data,
                     Reply& reply, Store store, Encode encode) {
  if (op == 1) {
    if (data.size() < kNamedRecord) return Refuse(reply, kReasonMalformed);
    store(table[key]);
    return Ok(reply);
  }
  const auto it = table.find(key);
  if (it == table.end()) return Refuse(reply, kReasonNotFound);
  if (op == 2) {
    table.erase(it);
    return Ok(reply);
  }
  std::vector<uint8_t> out(kNamedRecord, 0);
  wire::ByteWriter w(out);
  encode(w, it->second);
  Ok(reply, std::move(out));
}

}  // namespace

void ExtrasCommands::TipAndLabor(uint16_t command, std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint32_t number = r.U32();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  const int op = (command - kFirstTipLabor) % 3;  // get, set, delete
  const int family = (command - kFirstTipLabor) / 3;
  if (family == 2) {
    const uint32_t second = r.U32();
    if (!r.ok()) return Refuse(reply, kReasonMalformed);
    return ServeNamedTable(
        op, data_.labor_codes, std::make_pair(number, second), data, reply,
        [&](std::string& name) { name = FieldText(data, 8, 25); },
        [&](wire::ByteWriter& w, const std::string& name) {
          w.U32(number);
          w.U32(second);
          w.FixedText(name, 25);
        });
  }
  auto& table = family == 0 ? data_.tip_codes : data_.labor_groups;
  ServeNamedTable(
      op, table, number, data, reply,
      [&](NamedCode& c) {
        c.name = FieldText(data, 4, 25);
        c.value = wire::ByteReader(data.subspan(29)).U32();
      },
      [&](wire::ByteWriter& w, const NamedCode& c) {
        w.U32(number);
        w.FixedText(c.name, 25);
        w.U32(c.value);
      });
}

void ExtrasCommands::SetStateMap(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t key = r.U16();
  const int32_t value = r.I32();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  data_.state_map[key] = value;
  Ok(reply);
}

}  // namespace termsim
