#include "connection/option_cache.h"

#include <algorithm>
#include <array>
#include <vector>

#include "connection/engine_connection.h"
#include "exchange/send_command.h"
#include "wire/codes.h"

namespace devwire {
namespace {

// Asked for in this order by the probe.
constexpr std::array<std::string_view, kOptionProbeKeyCount> kProbeKeys = {
    "~OS",
    "ExtendFmt",
    "~ExtendFmt",
    "ExtendOPLog",
    "~ExtendOPLog",
    "~Platform",
    "~QXFPVersion",
    "WorkCode",
    "~SSR",
    "~PIN2Width",
    "~UserExtFmt",
    "BuildVersion",
    "AttPhotoForSDK",
    "~IsOnlyRFMachine",
    "CameraOpen",
    "CompatOldFirmware",
    "IsSupportPull",
    "Language",
    "~SerialNumber",
    "FaceFunOn",
    "~DeviceName",
};

constexpr char kSeparator[] = "=";
constexpr char kProbeEntryDelimiter[] = ",";

// The table is filled from what a terminal sends and grows with every
// changed value; these ceilings keep a misbehaving terminal or a host that
// writes in a loop from taking unbounded memory. Reaching them compacts the
// table.
constexpr strtable::StringTableLimits kCacheLimits{4096, 1 << 20};

// Text of a payload up to its first NUL, never past its end.
std::string TextOf(std::span<const uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

// The answer a terminal would give, terminated inside the caller's buffer.
void CopyAnswer(const std::string& text, std::span<uint8_t> reply) {
  std::fill(reply.begin(), reply.end(), 0);
  if (reply.empty()) return;
  const size_t n = std::min(text.size(), reply.size() - 1);
  std::copy_n(text.begin(), n, reply.begin());
}

std::string_view KeyOf(const char* entry) {
  const std::string_view text(entry);
  return text.substr(0, text.find(kSeparator[0]));
}

// Loads the probe's answer ("key=value,key=value,...") into the table and
// keeps only well-formed entries of the keys the probe asked for. True when
// at least one such entry came: an answer with nothing usable is no answer.
bool LoadProbeAnswer(strtable::StringTable& table, const std::string& answer) {
  if (table.Split(answer, kProbeEntryDelimiter) < 0) return false;
  for (int i = table.Count() - 1; i >= 0; --i) {
    const char* entry = table.EntryAt(i);
    const bool usable =
        entry != nullptr && table.ValueAt(i) != nullptr && IsOptionProbeKey(KeyOf(entry));
    if (!usable) table.RemoveAt(i);
  }
  return table.Count() > 0;
}

// Rebuilds the table from its live entries, which frees the space that
// replaced values still take. False when that is not possible.
bool Compact(OptionCache& cache) {
  std::unique_ptr<strtable::StringTable> fresh =
      strtable::StringTable::Create(kSeparator, kCacheLimits);
  if (!fresh) return false;
  for (int i = 0; i < cache.table->Count(); ++i) {
    if (fresh->Add(cache.table->EntryAt(i)) < 0) return false;
  }
  cache.table = std::move(fresh);
  return true;
}

// The cached value of `key` can no longer be trusted: forget it, and let
// later reads ask the terminal.
void ReadLive(OptionCache& cache, std::string_view key) {
  const int index = cache.table->FindKey(key);
  if (index >= 0) cache.table->RemoveAt(index);
  cache.live_keys.emplace(key);
}

// Asks the terminal for all probe keys at once. The probe is an exchange of
// its own; the error it may leave is the engine's business, not the
// caller's, so the caller's last error is kept.
void RunProbe(EngineConnection& c) {
  OptionCache& cache = c.option_cache;
  cache.probe_done = true;
  if (!cache.table) return;

  const std::string request = OptionProbeRequest();
  std::vector<uint8_t> buffer(kOptionProbeReplyBytes, 0);
  std::copy(request.begin(), request.end(), buffer.begin());
  std::vector<uint8_t> payload;
  uint16_t code = wire::kOptionProbe;
  const int32_t error_before = c.last_error;
  SendCommand(c, code, std::span<const uint8_t>(buffer).first(request.size()), buffer,
              kOptionProbeTimeoutMs, &payload);
  c.last_error = error_before;
  if (code != wire::CMD_ACK_OK) return;

  // The reply may be cut to the buffer; the text never runs past either.
  payload.resize(std::min(payload.size(), buffer.size()));
  if (!LoadProbeAnswer(*cache.table, TextOf(payload))) {
    cache.table->Clear();
    return;
  }
  ++cache.fills;
  const char* os = cache.table->ValueOf("~OS");
  cache.terminal_has_os = os != nullptr && *os != '\0';
}

bool ProbeSucceeded(const OptionCache& cache) { return cache.fills > 0 && cache.table; }

}  // namespace

OptionCache::OptionCache() : table(strtable::StringTable::Create(kSeparator, kCacheLimits)) {}

bool IsOptionProbeKey(std::string_view key) {
  return std::find(kProbeKeys.begin(), kProbeKeys.end(), key) != kProbeKeys.end();
}

std::string OptionProbeRequest() {
  std::string text;
  for (std::string_view key : kProbeKeys) {
    if (!text.empty()) text += ',';
    text.append(key);
    text += "=?";
  }
  return text;
}

bool IsOptionWrite(uint16_t command) {
  return command == wire::CMD_OPTIONS_WRQ || command == kManufacturerOptionWrite;
}

bool AnswerOptionRead(EngineConnection& c, uint16_t& code, std::span<const uint8_t> request,
                      std::span<uint8_t> reply) {
  OptionCache& cache = c.option_cache;
  // A terminal that could not answer the probe is asked directly.
  if (cache.probe_done && cache.fills == 0) return false;
  if (!cache.table) return false;

  // Taken first: the reply may overwrite the request.
  const std::string key = TextOf(request);
  if (key.empty() || cache.live_keys.contains(key)) return false;

  if (!cache.probe_done) RunProbe(c);
  if (!ProbeSucceeded(cache)) return false;

  if (const char* value = cache.table->ValueOf(key)) {
    CopyAnswer(key + kSeparator + value, reply);
    code = wire::CMD_ACK_OK;
    return true;
  }
  // The probe asked for this key and the terminal did not list it: it does
  // not have that option.
  if (IsOptionProbeKey(key)) {
    code = wire::CMD_ACK_ERROR;
    c.last_error = -static_cast<int32_t>(wire::CMD_ACK_ERROR);
    return true;
  }
  return false;
}

void ApplyOptionWrite(EngineConnection& c, const std::string& request) {
  OptionCache& cache = c.option_cache;
  if (!cache.probe_done) RunProbe(c);
  if (!ProbeSucceeded(cache)) return;

  const size_t separator = request.find(kSeparator[0]);
  if (separator == std::string::npos || separator == 0) return;
  const std::string_view key = std::string_view(request).substr(0, separator);
  const std::string_view value = std::string_view(request).substr(separator + 1);

  // On a terminal without "~OS" the value of a '~' option travels scrambled
  // and the terminal stores the plain text; what went by here is not the
  // value. The terminal is asked from now on.
  if (key.front() == '~' && !cache.terminal_has_os) {
    ReadLive(cache, key);
    return;
  }
  if (cache.table->Set(key, value) >= 0) return;
  if (Compact(cache) && cache.table->Set(key, value) >= 0) return;
  // Never leave the old value behind as if it were still true.
  ReadLive(cache, key);
}

}  // namespace devwire
