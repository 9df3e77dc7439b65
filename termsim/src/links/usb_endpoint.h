// The terminal's USB side: the file "dummy" in the root of the drive it
// presents, watched every few milliseconds. The host writes a request block
// at the file's start; the terminal writes its answer over it.
//
// Answers go out at once, one write each. Stream chunks and large-block
// data go out one per `chunk_ms`, as a host reads them one per idle poll.
// Pushed events go out only while no stream is under way and the slot is
// free: the host wrote since the last block, or that block has stood for
// kSlotFreeMs (the host has read it by then).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/sector_file.h"
#include "platform/thread.h"
#include "termsim/simulator.h"

namespace termsim {

class UsbEndpoint {
 public:
  // A request's packet and the size of the block it came in.
  using Handler = std::function<void(std::span<const uint8_t> packet, size_t block_size)>;
  // The terminal's device number ("DeviceID"), asked before each look.
  using DeviceFn = std::function<uint8_t()>;

  enum class Kind { kAnswer, kData, kEvent };

  ~UsbEndpoint() { Stop(); }

  // Serves DIR/dummy, creating it (1536 zero bytes) when missing. False when
  // it cannot be created or opened (e.g. "dummy" is not a regular file).
  bool Start(const std::string& directory, Handler handler, DeviceFn device);
  void Stop();
  bool running() const { return running_.load(); }
  const std::string& file() const { return path_; }

  // Queues a packet for the host.
  void Send(std::span<const uint8_t> packet, Kind kind);

  void SetFaults(const UsbFaults& faults);
  UsbFaults faults() const;

  // How long the slot must stand before a pushed event may overwrite it.
  static constexpr uint32_t kSlotFreeMs = 500;
  // How often the file is looked at.
  static constexpr uint32_t kPollMs = kUsbPollMs;

 private:
  void Run();
  void Look(uint8_t device);
  void WriteDue(uint8_t device);
  void WriteBlock(uint8_t device, const std::vector<uint8_t>& packet);

  std::string path_;
  Handler handler_;
  DeviceFn device_;
  std::unique_ptr<platform::SectorFile> file_;
  platform::Thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};

  // Endpoint thread only.
  std::vector<uint8_t> seen_request_;  // the request bytes last taken
  int64_t seen_mtime_ = -1;
  std::vector<uint8_t> written_;       // the block the terminal last wrote
  bool host_wrote_ = true;             // since the terminal's last block
  uint32_t last_write_tick_ = 0;
  uint32_t next_data_tick_ = 0;

  mutable std::mutex mu_;  // the queues and the faults
  std::deque<std::vector<uint8_t>> answers_;
  std::deque<std::vector<uint8_t>> data_;
  std::deque<std::vector<uint8_t>> events_;
  UsbFaults faults_;
};

}  // namespace termsim
