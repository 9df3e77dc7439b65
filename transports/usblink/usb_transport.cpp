#include "usb_transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/tick.h"

namespace usblink {

using platform::TimedLockHolder;

namespace {

// Errors that mean the drive is no longer there.
bool DriveGone(int negated_errno) {
  const int e = -negated_errno;
  return e == EIO || e == ENODEV || e == ENXIO;
}

bool SameBytes(std::span<const uint8_t> a, const std::vector<uint8_t>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

class UsbTransport::Call {
 public:
  explicit Call(UsbTransport& t) : t_(t) {
    std::lock_guard lock(t_.mu_);
    ++t_.calls_inside_;
  }
  ~Call() {
    {
      std::lock_guard lock(t_.mu_);
      --t_.calls_inside_;
    }
    t_.wake_.notify_all();
  }

 private:
  UsbTransport& t_;
};

UsbTransport::UsbTransport(std::unique_ptr<DriveFile> file, int32_t device_number)
    : file_(std::move(file)), device_(static_cast<uint8_t>(device_number & 0xFF)) {}

UsbTransport::~UsbTransport() {
  InterruptReads();
  std::unique_lock lock(mu_);
  closing_ = true;
  wake_.notify_all();
  wake_.wait(lock, [this] { return calls_inside_ == 0; });
  // A send still inside the file lock has left by now; the wait is kept
  // bounded as the transport contract asks.
  lock.unlock();
  TimedLockHolder last(file_lock_, kCloseLockWaitMs);
}

void UsbTransport::InterruptReads() {
  reads_blocked_.store(true);
  {
    std::lock_guard lock(mu_);
    interrupt_epoch_.fetch_add(1);
  }
  wake_.notify_all();
}

bool UsbTransport::Interrupted(uint32_t epoch) const {
  return reads_blocked_.load() || interrupt_epoch_.load() != epoch;
}

bool UsbTransport::Nap(uint32_t ms, uint32_t epoch) {
  std::unique_lock lock(mu_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms),
                         [&] { return closing_ || interrupt_epoch_.load() != epoch; });
}

int32_t UsbTransport::Send(std::span<const uint8_t> packet) {
  Call call(*this);
  size_t written = 0;
  {
    TimedLockHolder lock(file_lock_, kSendLockWaitMs);
    if (!lock.owns()) return 0;
    sent_since_read_.store(true);
    reads_blocked_.store(false);  // a send means an answer is due
    const size_t size = EncodeBlock(device_, packet, outgoing_);
    if (size == 0) return 0;
    // The terminal's drive wants a read before each write; what it gives is
    // not used.
    const int got = file_->Read(incoming_);
    if (got < 0 && DriveGone(got)) return kLineLost;
    const int put = file_->Write(std::span<const uint8_t>(outgoing_).first(size));
    if (put < 0) return DriveGone(put) ? kLineLost : 0;
    const int flushed = file_->Flush();
    if (flushed < 0 && DriveGone(flushed)) return kLineLost;
    last_request_.assign(packet.begin(), packet.end());
    taken_since_send_ = false;
    written = static_cast<size_t>(put);
  }
  if (written > 10) platform::SleepMs(kPaceMs);
  return 1;
}

UsbTransport::Look UsbTransport::LookLocked(std::span<uint8_t> out, size_t* length) {
  std::fill(incoming_.begin(), incoming_.end(), uint8_t{0});
  const int got = file_->Read(incoming_);
  if (got < 0) return DriveGone(got) ? Look::kLost : Look::kFailed;
  // Only what the file held counts: a shrunk file reads as zeros.
  const auto packet = DecodeAnswer(std::span<const uint8_t>(incoming_).first(
      static_cast<size_t>(std::min<int>(got, static_cast<int>(kBlockArea)))));
  if (!packet) return Look::kNothing;
  // On a plain file the host reads its own request back; and the file keeps
  // an answer until the terminal writes the next one.
  if (SameBytes(*packet, last_request_)) return Look::kNothing;
  if (taken_since_send_ && SameBytes(*packet, last_taken_)) return Look::kNothing;
  last_taken_.assign(packet->begin(), packet->end());
  taken_since_send_ = true;
  if (packet->size() > out.size() && !out.empty()) return Look::kTooLong;
  if (!out.empty()) std::copy(packet->begin(), packet->end(), out.begin());
  *length = packet->size();
  return Look::kTaken;
}

int32_t UsbTransport::Read(std::span<uint8_t> out, uint32_t timeout_ms) {
  Call call(*this);
  const uint32_t epoch = interrupt_epoch_.load();
  const uint32_t start = platform::TickCount();
  int32_t result = 0;
  for (;;) {
    if (Interrupted(epoch)) break;
    if (platform::TicksSince(start) > timeout_ms) break;
    if (!Nap(kPollMs, epoch)) break;
    // Nothing asked for: the terminal is looked at only now and then.
    if (!sent_since_read_.load() && idle_polls_.fetch_add(1) % kIdlePollEvery != kIdlePollEvery - 1)
      continue;
    TimedLockHolder lock(file_lock_, kReadLockWaitMs);
    if (!lock.owns()) break;
    size_t length = 0;
    const Look look = LookLocked(out, &length);
    if (look == Look::kTaken) {
      result = static_cast<int32_t>(length);
      break;
    }
    if (look == Look::kLost) {
      result = kLineLost;
      break;
    }
    if (look == Look::kFailed) break;
    // kNothing, kTooLong: an answer that cannot be delivered is dropped;
    // look again.
  }
  sent_since_read_.store(false);
  return result;
}

}  // namespace usblink
