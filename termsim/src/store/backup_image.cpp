#include "store/backup_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr std::string_view kMemoryMagic = "TSIMAGE1";
constexpr std::string_view kDatabaseMagic = "TSDB";
constexpr std::array<uint8_t, 4> kDatabaseSlotHead = {4, 0, 0, 0};
constexpr size_t kMemoryHeader = 16;

std::span<const uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Payload(const BackupContent& c) {
  std::string out = "[users]\n";
  for (const User& u : c.users) out += FormatUserLine(u) + "\n";
  out += "[templates]\n";
  for (const FingerTemplate& t : c.templates) out += FormatTemplateLine(t) + "\n";
  out += "[logs]\n";
  for (const auto& a : c.logs.attendance) out += FormatLogLine(a) + "\n";
  for (const auto& o : c.logs.operations) out += FormatLogLine(o) + "\n";
  return out;
}

bool ParsePayload(std::string_view text, BackupContent* out) {
  std::string section;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return false;  // every line is ended
    const std::string line(text.substr(0, end));
    text.remove_prefix(end + 1);
    if (!line.empty() && line.front() == '[') {
      section = line;
      continue;
    }
    bool ok = false;
    if (section == "[users]") {
      ok = ParseUserLine(line, &out->users.emplace_back(), nullptr);
    } else if (section == "[templates]") {
      ok = ParseTemplateLine(line, &out->templates.emplace_back(), nullptr);
    } else if (section == "[logs]") {
      ok = ParseLogLine(line, &out->logs);
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::vector<std::vector<uint8_t>> MemoryBlocks(const BackupContent& content) {
  const std::string payload = Payload(content);
  std::vector<uint8_t> memory(kMemoryHeader + payload.size());
  wire::ByteWriter w(memory);
  w.Bytes(AsBytes(kMemoryMagic));
  w.U32(static_cast<uint32_t>(payload.size()));
  w.U32(wire::DataHash(AsBytes(payload)));
  w.Bytes(AsBytes(payload));
  std::vector<std::vector<uint8_t>> blocks;
  for (size_t at = 0; at < memory.size(); at += kBackupBlock) {
    std::vector<uint8_t> block(kBackupBlock, 0xFF);
    const size_t n = std::min(kBackupBlock, memory.size() - at);
    std::memcpy(block.data(), memory.data() + at, n);
    blocks.push_back(std::move(block));
  }
  return blocks;
}

std::vector<uint8_t> DatabaseBlock(size_t blocks) {
  std::vector<uint8_t> out(kDatabaseMagic.size() + 4);
  wire::ByteWriter w(out);
  w.Bytes(AsBytes(kDatabaseMagic));
  w.U32(static_cast<uint32_t>(blocks));
  return out;
}

std::optional<BackupContent> ParseRestoreImage(std::span<const uint8_t> image) {
  if (image.empty() || image.size() % kBackupBlock != 0) return std::nullopt;
  std::vector<uint8_t> memory;
  bool database_seen = false;
  for (size_t at = 0; at < image.size(); at += kBackupBlock) {
    const auto slot = image.subspan(at, kBackupBlock);
    const bool database =
        std::equal(kDatabaseSlotHead.begin(), kDatabaseSlotHead.end(), slot.begin()) &&
        std::equal(kDatabaseMagic.begin(), kDatabaseMagic.end(), slot.begin() + 4);
    if (database) {
      database_seen = true;
      continue;
    }
    // Blocks in front of the memory (all 0xFF) hold nothing of it.
    if (memory.empty() && std::all_of(slot.begin(), slot.end(), [](uint8_t b) { return b == 0xFF; }))
      continue;
    memory.insert(memory.end(), slot.begin(), slot.end());
  }
  wire::ByteReader r(memory);
  const auto magic = r.View(kMemoryMagic.size());
  const uint32_t length = r.U32();
  const uint32_t hash = r.U32();
  const auto payload = r.View(length);
  if (!database_seen || !r.ok() ||
      !std::equal(magic.begin(), magic.end(), kMemoryMagic.begin()) ||
      wire::DataHash(payload) != hash) {
    return std::nullopt;
  }
  BackupContent content;
  if (!ParsePayload({reinterpret_cast<const char*>(payload.data()), payload.size()}, &content)) {
    return std::nullopt;
  }
  return content;
}

}  // namespace termsim
