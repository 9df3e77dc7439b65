#include "commands/access_commands.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kGetGroupZones = 25;
constexpr uint16_t kSetGroupZones = 26;
constexpr uint16_t kGetZone = 27;
constexpr uint16_t kSetZone = 28;
constexpr uint16_t kGetLocks = 29;
constexpr uint16_t kSetLocks = 30;
constexpr uint16_t kSetMessage = 70;
constexpr uint16_t kGetMessage = 71;
constexpr uint16_t kDeleteMessage = 72;
constexpr uint16_t kLinkMessage = 73;
constexpr uint16_t kUnlinkMessage = 74;
constexpr uint16_t kWriteCard = 76;
constexpr uint16_t kEmptyCard = 78;
constexpr uint16_t kGetHolidayZone = 91;
constexpr uint16_t kSetHolidayZone = 92;
constexpr uint16_t kGetHolidays = 300;
constexpr uint16_t kSetHolidays = 301;

constexpr uint16_t kReasonMalformed = 1;
constexpr uint16_t kReasonNotFound = 2;

constexpr int kClearEverything = 0;
constexpr int kClearMessages = 6;
constexpr int kClearLinks = 7;

constexpr uint32_t kFirstZone = 1, kLastZone = 50;
constexpr uint32_t kLastGroup = 99;
constexpr uint32_t kFirstHoliday = 1, kLastHoliday = 99;
constexpr size_t kTableHolidays = 24;  // the ones 300 and 301 carry
constexpr uint32_t kHolidayTable = 103;
constexpr uint32_t kLastCombination = 10;
constexpr size_t kZoneBytes = 28;
constexpr size_t kTftLead = 2;
constexpr size_t kFixedRecord = 8;
constexpr size_t kListRequest = 20;
constexpr size_t kKeyOnly = 4;
constexpr uint32_t kOwnZonesMode = 1;
constexpr size_t kMessageHead = 11;
constexpr size_t kTftContent = 320, kContent = 60;
constexpr size_t kCardHeader = 12;
constexpr size_t kSectionOffsets[4] = {0, 3, 6, 9};

}  // namespace

AccessCommands::AccessCommands(const Profile& profile)
    : tft_([&] {
        const auto platform = profile.options.find("~Platform");
        return platform != profile.options.end() &&
               platform->second.find("TFT") != std::string::npos;
      }()) {}

bool AccessCommands::Answer(uint16_t code, std::span<const uint8_t> data,
                            const UploadBuffer& upload, bool wide_numbers, Reply& reply) {
  std::lock_guard lock(mu_);
  switch (code) {
    case kGetZone:
      GetZone(data, reply);
      return true;
    case kSetZone:
      SetZone(data, reply);
      return true;
    case kGetGroupZones:
      GetGroup(data, reply);
      return true;
    case kSetGroupZones:
      SetGroup(data, reply);
      return true;
    case kGetHolidays:
      GetHolidays(data, reply);
      return true;
    case kSetHolidays:
      SetHolidays(data, reply);
      return true;
    case kGetHolidayZone:
      GetHolidayZone(data, reply);
      return true;
    case kSetHolidayZone:
      SetHolidayZone(data, reply);
      return true;
    case kGetLocks:
      GetLocks(data, reply);
      return true;
    case kSetLocks:
      SetLocks(data, reply);
      return true;
    case kSetMessage:
      SetMessage(data, reply);
      return true;
    case kGetMessage:
      GetMessage(data, reply);
      return true;
    case kDeleteMessage:
      DeleteMessage(data, reply);
      return true;
    case kLinkMessage:
    case kUnlinkMessage:
      Link(code, data, reply);
      return true;
    case kWriteCard:
      WriteCard(upload, wide_numbers, reply);
      return true;
    case kEmptyCard:
      ++data_.cards_emptied;
      Ok(reply);
      return true;
    default:
      return false;
  }
}

void AccessCommands::GetZone(std::span<const uint8_t> data, Reply& reply) const {
  wire::ByteReader r(data);
  const uint32_t zone = r.U32();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  if (zone < kFirstZone || zone > kLastZone) return Refuse(reply, kReasonNotFound);
  const size_t lead = tft_ ? kTftLead : 0;
  std::vector<uint8_t> out(lead + kZoneBytes, 0);
  if (const auto found = data_.zones.find(static_cast<uint8_t>(zone)); found != data_.zones.end()) {
    std::copy(found->second.begin(), found->second.end(), out.begin() + lead);
  }
  Ok(reply, std::move(out));
}

void AccessCommands::SetZone(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint32_t zone = r.U32();
  std::array<uint8_t, kZoneBytes> days{};
  if (!r.Bytes(days) || r.remaining() != 0) return Refuse(reply, kReasonMalformed);
  if (zone < kFirstZone || zone > kLastZone) return Refuse(reply, kReasonNotFound);
  data_.zones[static_cast<uint8_t>(zone)] = days;
  Ok(reply);
}

// Eight bytes ask for the fixed form; four for the list form.
void AccessCommands::GetGroup(std::span<const uint8_t> data, Reply& reply) const {
  const bool fixed = data.size() == kFixedRecord;
  wire::ByteReader r(data);
  const uint32_t group = fixed ? r.U8() : r.U32();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  if (group > kLastGroup) return Refuse(reply, kReasonNotFound);
  const auto found = data_.groups.find(static_cast<uint8_t>(group));
  const GroupZones g = found != data_.groups.end() ? found->second : GroupZones{};
  std::vector<uint8_t> out(fixed ? kFixedRecord : (tft_ ? 8 : 16), 0);
  wire::ByteWriter w(out);
  if (fixed) {
    w.U8(static_cast<uint8_t>(group));
    for (uint16_t zone : g.fixed_zones) w.U16(zone);
    w.U8(g.fixed_byte);
  } else if (tft_) {
    w.U16(static_cast<uint16_t>(g.mode));
    for (uint32_t zone : g.zones) w.U16(static_cast<uint16_t>(zone));
  } else {
    int32_t count = 0;
    while (count < 3 && g.zones[static_cast<size_t>(count)] != 0) ++count;
    w.I32(g.mode > 0 ? count : ~count);
    for (int32_t i = 0; i < count; ++i) w.U32(g.zones[static_cast<size_t>(i)]);
    out.resize(w.size());
  }
  Ok(reply, std::move(out));
}

void AccessCommands::SetGroup(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  if (data.size() == kFixedRecord) {
    const uint8_t group = r.U8();
    if (group > kLastGroup) return Refuse(reply, kReasonNotFound);
    GroupZones& g = data_.groups[group];
    for (auto& zone : g.fixed_zones) zone = r.U16();
    g.fixed_byte = r.U8();
    return Ok(reply);
  }
  if (data.size() != kListRequest && data.size() != kKeyOnly) {
    return Refuse(reply, kReasonMalformed);
  }
  const uint32_t group = r.U32();
  if (group > kLastGroup) return Refuse(reply, kReasonNotFound);
  GroupZones& g = data_.groups[static_cast<uint8_t>(group)];
  if (data.size() == kKeyOnly) {  // back to no zones of its own
    g.mode = 0;
    g.zones = {};
    return Ok(reply);
  }
  const uint32_t mode = r.U32();
  for (auto& zone : g.zones) zone = r.U32();
  g.mode = tft_ ? mode : (mode > 0 ? kOwnZonesMode : 0);
  Ok(reply);
}

void AccessCommands::GetHolidays(std::span<const uint8_t> data, Reply& reply) const {
  wire::ByteReader r(data);
  if (r.U32() != kHolidayTable || !r.ok()) return Refuse(reply, kReasonMalformed);
  std::vector<uint8_t> out(4 * kTableHolidays, 0);
  for (const auto& [number, h] : data_.holidays) {
    if (number >= kFirstHoliday && number <= kTableHolidays) {
      std::copy(h.dates.begin(), h.dates.end(), out.begin() + 4 * (number - 1));
    }
  }
  Ok(reply, std::move(out));
}

void AccessCommands::SetHolidays(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  if (r.U32() != kHolidayTable || r.remaining() != 4 * kTableHolidays) {
    return Refuse(reply, kReasonMalformed);
  }
  for (size_t i = 0; i < kTableHolidays; ++i) {
    std::array<uint8_t, 4> dates{};
    r.Bytes(dates);
    const auto number = static_cast<uint8_t>(i + 1);
    Holiday& h = data_.holidays[number];
    h.dates = dates;
    if (h == Holiday{}) data_.holidays.erase(number);  // an empty entry is no holiday
  }
  Ok(reply);
}

void AccessCommands::GetHolidayZone(std::span<const uint8_t> data, Reply& reply) const {
  wire::ByteReader r(data);
  const uint16_t number = r.U16();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  const auto found = data_.holidays.find(static_cast<uint8_t>(number));
  if (number < kFirstHoliday || number > kLastHoliday || found == data_.holidays.end()) {
    return Refuse(reply, kReasonNotFound);
  }
  std::vector<uint8_t> out(kFixedRecord, 0);
  wire::ByteWriter w(out);
  w.U16(number);
  w.Bytes(found->second.dates);
  w.U16(found->second.zone);
  Ok(reply, std::move(out));
}

void AccessCommands::SetHolidayZone(std::span<const uint8_t> data, Reply& reply) {
  if (data.size() != kFixedRecord) return Refuse(reply, kReasonMalformed);
  wire::ByteReader r(data);
  const uint16_t number = r.U16();
  if (number < kFirstHoliday || number > kLastHoliday) return Refuse(reply, kReasonNotFound);
  Holiday& h = data_.holidays[static_cast<uint8_t>(number)];
  r.Bytes(h.dates);
  h.zone = r.U16();
  Ok(reply);
}

// No data asks for the unlock groups, eight bytes for a combination.
void AccessCommands::GetLocks(std::span<const uint8_t> data, Reply& reply) const {
  if (data.empty()) {
    std::vector<uint8_t> out(data_.unlock_groups.begin(), data_.unlock_groups.end());
    out.push_back(0);
    return Ok(reply, std::move(out));
  }
  wire::ByteReader r(data);
  const uint32_t number = r.U32();
  if (data.size() != kFixedRecord) return Refuse(reply, kReasonMalformed);
  if (number > kLastCombination) return Refuse(reply, kReasonNotFound);
  std::vector<uint8_t> out(kFixedRecord, 0);
  out[0] = static_cast<uint8_t>(number);
  uint8_t count = 0;
  if (const auto found = data_.combinations.find(static_cast<uint8_t>(number));
      found != data_.combinations.end()) {
    std::copy(found->second.begin(), found->second.end(), out.begin() + 1);
    count = static_cast<uint8_t>(
        std::count_if(found->second.begin(), found->second.end(), [](uint8_t g) { return g > 0; }));
  }
  out[6] = count;
  Ok(reply, std::move(out));
}

// Eight bytes ending in a zero byte are a combination; anything else is the
// unlock-groups text.
void AccessCommands::SetLocks(std::span<const uint8_t> data, Reply& reply) {
  if (data.size() == kFixedRecord && data.back() == 0) {
    if (data[0] > kLastCombination) return Refuse(reply, kReasonNotFound);
    std::array<uint8_t, 5> groups{};
    std::copy(data.begin() + 1, data.begin() + 6, groups.begin());
    data_.combinations[data[0]] = groups;
    return Ok(reply);
  }
  const auto end = std::find(data.begin(), data.end(), uint8_t{0});
  data_.unlock_groups.assign(data.begin(), end);
  Ok(reply);
}

void AccessCommands::SetMessage(std::span<const uint8_t> data, Reply& reply) {
  const size_t content = tft_ ? kTftContent : kContent;
  if (data.size() < kMessageHead || data.size() > kMessageHead + content + 1) {
    return Refuse(reply, kReasonMalformed);
  }
  wire::ByteReader r(data);
  ShortMessage m;
  m.tag = r.U8();
  const uint16_t number = r.U16();
  m.minutes = r.U16();
  r.U16();
  m.start = r.U32();
  m.content = std::string(r.FixedText(std::min(r.remaining(), content)));
  data_.messages[number] = std::move(m);
  Ok(reply);
}

void AccessCommands::GetMessage(std::span<const uint8_t> data, Reply& reply) const {
  wire::ByteReader r(data);
  const uint16_t number = r.U16();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  const auto found = data_.messages.find(number);
  if (found == data_.messages.end()) return Refuse(reply, kReasonNotFound);
  const size_t content = tft_ ? kTftContent : kContent;
  std::vector<uint8_t> out(kMessageHead + content + 1, 0);
  wire::ByteWriter w(out);
  w.U8(found->second.tag);
  w.U16(number);
  w.U16(found->second.minutes);
  w.U16(0);
  w.U32(found->second.start);
  w.FixedText(found->second.content, content + 1);
  Ok(reply, std::move(out));
}

void AccessCommands::DeleteMessage(std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t number = r.U16();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  if (data_.messages.erase(number) == 0) return Refuse(reply, kReasonNotFound);
  std::erase_if(data_.links, [number](const auto& link) { return link.second == number; });
  Ok(reply);
}

void AccessCommands::Link(uint16_t code, std::span<const uint8_t> data, Reply& reply) {
  wire::ByteReader r(data);
  const uint16_t pin = r.U16();
  const uint16_t message = r.U16();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  if (code == kLinkMessage) {
    data_.links.insert({pin, message});
    return Ok(reply);
  }
  data_.links.erase({pin, message}) > 0 ? Ok(reply) : Refuse(reply, kReasonNotFound);
}

// The uploaded write: number, header, then exactly the sections the header
// announces. Hosts that have not asked for the user-number width yet send a
// 16-bit number even to a terminal with wide numbers: the length tells.
void AccessCommands::WriteCard(const UploadBuffer& upload, bool wide_numbers, Reply& reply) {
  if (!upload.complete()) return Refuse(reply, kReasonMalformed);
  const auto& bytes = upload.data();
  for (size_t number_bytes : {wide_numbers ? 4u : 2u, wide_numbers ? 2u : 4u}) {
    wire::ByteReader r(bytes);
    r.Skip(number_bytes);
    const auto header = r.View(kCardHeader);
    if (!r.ok()) continue;
    size_t sections = 0;
    for (size_t at : kSectionOffsets) sections += header[at] | (header[at + 1] << 8);
    if (r.remaining() != sections) continue;
    data_.card_writes.push_back(bytes);
    return Ok(reply);
  }
  Refuse(reply, kReasonMalformed);
}

void AccessCommands::Set(AccessData data) {
  std::lock_guard lock(mu_);
  data_ = std::move(data);
}

AccessData AccessCommands::Data() const {
  std::lock_guard lock(mu_);
  return data_;
}

void AccessCommands::DataCleared(int kind) {
  std::lock_guard lock(mu_);
  if (kind == kClearEverything || kind == kClearMessages) data_.messages.clear();
  if (kind == kClearEverything || kind == kClearLinks) data_.links.clear();
}

void AccessCommands::UserRemoved(uint16_t pin) {
  std::lock_guard lock(mu_);
  std::erase_if(data_.links, [pin](const auto& link) { return link.first == pin; });
}

}  // namespace termsim
