#include "connection/device_search.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "devwire.h"
#include "platform/tick.h"
#include "connection/transport_binding.h"

namespace devwire {
namespace {

// First characters of a terminal's answer.
bool IsAnswerMark(char c) { return c == 'G' || c == 'W' || c == 'X'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A field with a line break or tab would forge lines or keys in the result.
bool HasControlCharacter(std::string_view field) {
  return std::any_of(field.begin(), field.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The fields between '/' characters, empty ones left out. Nothing when a
// field is too long or there are too many.
std::optional<std::vector<std::string_view>> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('/', start), text.size());
    const std::string_view field = text.substr(start, end - start);
    if (!field.empty()) {
      if (field.size() > kSearchMaxFieldChars || fields.size() == kSearchMaxFields ||
          HasControlCharacter(field))
        return std::nullopt;
      fields.push_back(field);
    }
    start = end + 1;
  }
  return fields;
}

std::string FormatLine(int number, std::string_view name, std::string_view mac, std::string_view ip,
                       std::string_view serial) {
  std::string line = "no=" + std::to_string(number);
  line += "\tstatus=1\tpolicy=1\tcategory=1\tname=";
  line += name;
  line += "\tport=4370\tisfromPSRV=0\tmac=";
  line += mac;
  line += "\ttcpip=";
  line += ip;
  line += "\tsn=";
  line += serial;
  return line;
}

// Closes the transport and unloads the plug-in, however the search ends.
class SearchTransport {
 public:
  explicit SearchTransport(std::unique_ptr<TransportBinding> binding)
      : binding_(std::move(binding)) {}
  ~SearchTransport() {
    if (handle_ != nullptr) binding_->entry().close(handle_);
  }
  SearchTransport(const SearchTransport&) = delete;
  SearchTransport& operator=(const SearchTransport&) = delete;

  bool Open(const char* address) {
    handle_ = binding_->entry().init(address, kSearchPort, 0);
    return handle_ != nullptr;
  }
  int32_t Send(std::span<const uint8_t> bytes) {
    return binding_->entry().send(handle_, bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  int32_t Read(std::span<uint8_t> into, int32_t timeout_ms) {
    return binding_->entry().read(handle_, into.data(), static_cast<int32_t>(into.size()),
                                  timeout_ms);
  }

 private:
  std::unique_ptr<TransportBinding> binding_;
  DEVORU_HANDLE handle_ = nullptr;
};

// The result text as it grows; a line goes in only when it fits whole
// together with its CR LF and the terminator.
class ResultText {
 public:
  explicit ResultText(std::span<char> out) : out_(out) {
    std::fill(out_.begin(), out_.end(), '\0');
  }
  bool empty() const { return used_ == 0; }
  bool Append(const std::string& line) {
    const size_t separator = empty() ? 0 : 2;
    if (used_ + separator + line.size() + 1 > out_.size()) return false;
    if (separator != 0) {
      out_[used_++] = '\r';
      out_[used_++] = '\n';
    }
    std::copy(line.begin(), line.end(), out_.begin() + static_cast<std::ptrdiff_t>(used_));
    used_ += line.size();
    return true;
  }

 private:
  std::span<char> out_;
  size_t used_ = 0;
};

}  // namespace

SearchAnswer ParseSearchAnswer(std::span<const uint8_t> datagram, int number) {
  SearchAnswer answer;
  const auto end = std::find(datagram.begin(), datagram.end(), uint8_t{0});
  const std::string_view text(reinterpret_cast<const char*>(datagram.data()),
                              static_cast<size_t>(end - datagram.begin()));
  if (datagram.size() < 2 || text.empty() || !IsAnswerMark(text.front())) return answer;
  answer.answered = true;

  const auto fields = SplitFields(text.substr(1));
  if (!fields || fields->size() < 2 || EqualsNoCase((*fields)[0], "(null)")) return answer;
  const auto& f = *fields;
  answer.line = f.size() >= 4 ? FormatLine(number, f[2], f[0], f[1], f[3])
                              : FormatLine(number, "null", f[0], f[1], "null");
  return answer;
}

bool IsDottedIpv4(const char* text) {
  if (text == nullptr) return false;
  int parts = 0;
  const char* p = text;
  for (;;) {
    int digits = 0;
    int value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p)) && digits < 4) {
      value = value * 10 + (*p - '0');
      ++digits;
      ++p;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (*p == '\0') return parts == 4;
    if (*p != '.' || parts == 4) return false;
    ++p;
  }
}

const char* SearchTargetAddress(const char* address) {
  const char* forced = std::getenv(kSearchAddressVariable);
  if (forced != nullptr && IsDottedIpv4(forced)) return forced;
  return address;
}

int32_t SearchDevices(const char* plugin_file, const char* address, std::span<const uint8_t> probe,
                      std::span<char> result, int32_t time_limit_ms) {
  std::vector<uint8_t> area;
  try {
    area.resize(kSearchAnswerBytes);
  } catch (const std::bad_alloc&) {
    return kSearchNoRoom;
  }
  ResultText text(result);
  if (result.empty()) return kSearchNoRoom;

  std::unique_ptr<TransportBinding> binding = TransportBinding::Load(plugin_file);
  if (!binding || !binding->HasRequired()) return kSearchTransportFailed;
  SearchTransport transport(std::move(binding));
  const char* target = SearchTargetAddress(address);
  if (target == nullptr || !transport.Open(target)) return kSearchTransportFailed;

  // A transport that took nothing did not send the probe either.
  if (probe.empty() || transport.Send(probe) <= 0) return kSearchProbeNotSent;

  const uint32_t limit = static_cast<uint32_t>(std::max(time_limit_ms, 0));
  uint32_t last_answer = platform::TickCount();
  int silent_reads = 0;
  int number = 0;
  int32_t outcome = 0;
  for (;;) {
    std::fill(area.begin(), area.end(), 0);
    const int32_t got = transport.Read(area, kSearchReadMs);
    const size_t length = got > 0 ? std::min(static_cast<size_t>(got), area.size()) : 0;
    const SearchAnswer answer =
        ParseSearchAnswer(std::span<const uint8_t>(area).first(length), number);
    if (!answer.answered) {
      ++silent_reads;
    } else {
      last_answer = platform::TickCount();
      if (answer.line) {
        if (!text.Append(*answer.line)) {
          outcome = kSearchNoRoom;
          break;
        }
        ++number;
      }
    }
    if (silent_reads > kSearchMaxSilentReads) break;
    if (platform::TicksSince(last_answer) > limit) break;
  }

  if (!text.empty()) return 1;
  // A terminal answered but its line did not fit: that is no "nothing found".
  return outcome;
}

}  // namespace devwire

extern "C" {

DEVWIRE_API int32_t DEVWIRE_BROADCAST(const char* plugin, const char* address, const void* probe,
                                      int32_t probe_length, char* result, int32_t result_size,
                                      int32_t time_limit_ms) {
  if (result == nullptr || result_size <= 0) return devwire::kSearchNoRoom;
  // No probe bytes: the search finds nothing to send.
  std::span<const uint8_t> bytes;
  if (probe != nullptr && probe_length > 0)
    bytes = std::span<const uint8_t>(static_cast<const uint8_t*>(probe),
                                     static_cast<size_t>(probe_length));
  try {
    return devwire::SearchDevices(plugin, address, bytes,
                                  std::span<char>(result, static_cast<size_t>(result_size)),
                                  time_limit_ms);
  } catch (...) {
    return devwire::kSearchNoRoom;
  }
}

}  // extern "C"
