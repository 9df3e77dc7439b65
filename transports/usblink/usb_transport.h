// One conversation with a terminal through its drive file: requests written
// as blocks at the file's start, answers polled for at the same place.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "drive_file.h"
#include "platform/timed_lock.h"
#include "usb_block.h"

namespace usblink {

class UsbTransport {
 public:
  // Lock waits: a send, one file access of a read, closing.
  static constexpr uint32_t kSendLockWaitMs = 3000;
  static constexpr uint32_t kReadLockWaitMs = 2000;
  static constexpr uint32_t kCloseLockWaitMs = 1000;
  // A read looks at the file every kPollMs; while nothing was sent since the
  // last read ended, only every kIdlePollEvery-th look reads it.
  static constexpr uint32_t kPollMs = 30;
  static constexpr uint32_t kIdlePollEvery = 15;
  // Pause after every write, so the terminal sees writes apart.
  static constexpr uint32_t kPaceMs = 10;
  // What a send or read answers when the drive is gone.
  static constexpr int32_t kLineLost = -310;

  UsbTransport(std::unique_ptr<DriveFile> file, int32_t device_number);
  // Ends running reads and waits until no call is inside.
  ~UsbTransport();

  UsbTransport(const UsbTransport&) = delete;
  UsbTransport& operator=(const UsbTransport&) = delete;

  // One packet as one request block. 1 when it was written; 0 when the
  // handle stayed busy or the packet does not fit a block (nothing is
  // written); kLineLost when the drive failed.
  int32_t Send(std::span<const uint8_t> packet);

  // One answer into `out`: its length; 0 when no answer that fits came
  // within `timeout_ms` or the read was interrupted; kLineLost when the
  // drive failed. An empty `out` takes an answer and drops it.
  int32_t Read(std::span<uint8_t> out, uint32_t timeout_ms);

  // Ends a running read at once; later reads return 0 at once until the
  // next Send.
  void InterruptReads();

 private:
  // Keeps the handle alive while a call runs.
  class Call;

  bool Interrupted(uint32_t epoch) const;
  // Sleeps `ms` unless an interrupt comes; false when one came.
  bool Nap(uint32_t ms, uint32_t epoch);
  // One look at the file, with the file lock held.
  enum class Look { kNothing, kTaken, kTooLong, kFailed, kLost };
  Look LookLocked(std::span<uint8_t> out, size_t* length);

  const std::unique_ptr<DriveFile> file_;
  const uint8_t device_;

  // Held for each access to the file (never across a poll's sleep).
  platform::TimedLock file_lock_;
  // Under file_lock_: the block areas, the packet of the last request
  // written (its own request read back is no answer) and the answer taken
  // since then (the file keeps an answer until the terminal writes anew).
  std::array<uint8_t, kBlockArea> outgoing_{};
  std::array<uint8_t, kBlockArea> incoming_{};
  std::vector<uint8_t> last_request_;
  std::vector<uint8_t> last_taken_;
  bool taken_since_send_ = false;

  std::atomic<bool> sent_since_read_{false};
  // Set by InterruptReads, cleared by Send.
  std::atomic<bool> reads_blocked_{false};
  // Bumped by InterruptReads: a read running at that moment ends even when
  // a Send clears reads_blocked_ before it looks again.
  std::atomic<uint32_t> interrupt_epoch_{0};
  std::atomic<uint32_t> idle_polls_{0};

  // Wakes sleeping polls; counts calls inside for the destructor.
  std::mutex mu_;
  std::condition_variable wake_;
  int calls_inside_ = 0;
  bool closing_ = false;
};

}  // namespace usblink
