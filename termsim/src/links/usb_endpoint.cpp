#include "links/usb_endpoint.h"

#include <algorithm>

#include "links/usb_block.h"
#include "platform/tick.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr char kFileName[] = "dummy";

// Acknowledgements a host writes back for pushed events: no command, so no
// stream under way ends with one.
bool IsAcknowledgement(std::span<const uint8_t> packet) {
  wire::ByteReader r(packet);
  const uint16_t code = r.U16();
  return code >= wire::CMD_ACK_OK && code <= wire::CMD_ACK_UNAUTH;
}

bool Equal(std::span<const uint8_t> a, const std::vector<uint8_t>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

bool UsbEndpoint::Start(const std::string& directory, Handler handler, DeviceFn device) {
  if (running()) return false;
  path_ = directory + "/" + kFileName;
  if (platform::SectorFile::CreateIfMissing(path_, kUsbBlockArea) != 0) return false;
  // The terminal's side writes with a sync and drops the cache before each
  // look, so it sees the host's direct writes at once.
  file_ = platform::SectorFile::Open(path_, platform::SectorFile::Mode::kBuffered, nullptr);
  if (file_ == nullptr) return false;
  handler_ = std::move(handler);
  device_ = std::move(device);
  seen_request_.clear();
  seen_mtime_ = -1;
  written_.clear();
  host_wrote_ = true;
  stopping_ = false;
  if (!thread_.Start([this] { Run(); })) {
    file_.reset();
    return false;
  }
  running_ = true;
  return true;
}

void UsbEndpoint::Stop() {
  running_ = false;
  stopping_ = true;
  thread_.Join();
  file_.reset();
  std::lock_guard lock(mu_);
  answers_.clear();
  data_.clear();
  events_.clear();
}

void UsbEndpoint::SetFaults(const UsbFaults& faults) {
  std::lock_guard lock(mu_);
  faults_ = faults;
}

UsbFaults UsbEndpoint::faults() const {
  std::lock_guard lock(mu_);
  return faults_;
}

void UsbEndpoint::Send(std::span<const uint8_t> packet, Kind kind) {
  std::lock_guard lock(mu_);
  std::vector<uint8_t> copy(packet.begin(), packet.end());
  switch (kind) {
    case Kind::kAnswer: answers_.push_back(std::move(copy)); break;
    case Kind::kData: data_.push_back(std::move(copy)); break;
    case Kind::kEvent:
      // A resend of an event still waiting for the slot changes nothing.
      if (std::find(events_.begin(), events_.end(), copy) == events_.end())
        events_.push_back(std::move(copy));
      break;
  }
}

void UsbEndpoint::Run() {
  while (!stopping_) {
    const uint8_t device = device_();
    Look(device);
    WriteDue(device);
    platform::SleepMs(kPollMs);
  }
}

// A request is new when its bytes changed, or when the host wrote the same
// bytes again (a resend): the modification time moved.
void UsbEndpoint::Look(uint8_t device) {
  std::vector<uint8_t> block(kUsbBlockArea);
  if (file_->Read(block) < 0) return;
  const auto request = ParseUsbRequest(block, device);
  if (!request) return;
  if (!written_.empty() && Equal(request->used, written_)) return;  // its own answer
  const int64_t mtime = file_->ModifiedNs();
  if (Equal(request->used, seen_request_) && mtime == seen_mtime_) return;
  seen_request_.assign(request->used.begin(), request->used.end());
  seen_mtime_ = mtime;
  host_wrote_ = true;
  if (!IsAcknowledgement(request->packet)) {
    // A new command: whatever was still to stream is no longer read.
    std::lock_guard lock(mu_);
    data_.clear();
  }
  handler_(request->packet, request->block_size);
}

void UsbEndpoint::WriteDue(uint8_t device) {
  std::vector<uint8_t> packet;
  const uint32_t now = platform::TickCount();
  bool data = false;
  {
    std::lock_guard lock(mu_);
    if (!answers_.empty()) {
      packet = std::move(answers_.front());
      answers_.pop_front();
      // The first chunk of a stream waits a host poll after its answer.
      next_data_tick_ = now + faults_.chunk_ms;
    } else if (!data_.empty()) {
      if (platform::TickDiff(now, next_data_tick_) < 0) return;
      packet = std::move(data_.front());
      data_.pop_front();
      data = true;
    } else if (!events_.empty() &&
               (host_wrote_ || platform::TicksSince(last_write_tick_) >= kSlotFreeMs)) {
      packet = std::move(events_.front());
      events_.pop_front();
    } else {
      return;
    }
  }
  WriteBlock(device, packet);
  if (data) next_data_tick_ = platform::TickCount() + faults().chunk_ms;
}

void UsbEndpoint::WriteBlock(uint8_t device, const std::vector<uint8_t>& packet) {
  UsbBlockShape shape;
  bool torn = false;
  uint32_t torn_pause = 0;
  {
    std::lock_guard lock(mu_);
    const auto take = [](int& n) {
      if (n <= 0) return false;
      --n;
      return true;
    };
    shape.bad_mark = take(faults_.bad_mark);
    shape.long_length = take(faults_.long_length);
    shape.zero_code = take(faults_.zero_code);
    torn = take(faults_.torn);
    torn_pause = faults_.torn_pause_ms;
  }
  const std::vector<uint8_t> block = EncodeUsbAnswer(device, packet, shape);
  if (block.empty()) return;  // larger than any block: never sent
  if (torn) {
    // The first half of the packet lands over what the file held; the rest
    // follows after a pause.
    std::vector<uint8_t> half(block.size());
    file_->Read(half);
    const size_t cut = kUsbBlockHeader + packet.size() / 2;
    std::copy(block.begin(), block.begin() + static_cast<long>(cut), half.begin());
    file_->Write(half);
    platform::SleepMs(torn_pause);
  }
  file_->Write(block);
  written_.assign(block.begin(), block.begin() + static_cast<long>(kUsbBlockHeader + packet.size() + 1));
  host_wrote_ = false;
  last_write_tick_ = platform::TickCount();
}

}  // namespace termsim
