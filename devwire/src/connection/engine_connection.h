// The engine's record of one conversation with one terminal.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devwire.h"
#include "connection/option_cache.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/thread.h"
#include "connection/transport_binding.h"

namespace devwire {

struct ReaderState;

inline constexpr size_t kFreeSizesCacheSize = 200;
inline constexpr size_t kPhoneNumberSize = 20;  // 19 characters and the terminator

// One heap record per connection; the host's handle is its address. Fields
// written by one thread and read by another (the reader thread, a cancelling
// host thread) are atomic.
//
// Destroying the record is the one cleanup path of a connection, whether the
// open failed half-way or DEVWIRE_CLOSE ends it: the reader stops, the
// transport closes, the plug-in is unloaded, and every buffer is freed.
struct EngineConnection {
  explicit EngineConnection(std::unique_ptr<TransportBinding> plugin);
  ~EngineConnection();
  EngineConnection(const EngineConnection&) = delete;
  EngineConnection& operator=(const EngineConnection&) = delete;

  const EntryPoints& entry() const { return plugin->entry(); }

  DEVORU_HANDLE transport = nullptr;  // closed by the destructor when set
  std::unique_ptr<TransportBinding> plugin;

  // The reader thread and what it shares with the exchange; null in
  // synchronous mode. Shared, because a reader that has to let go of the
  // connection (closed from inside its event callback) still needs it.
  std::shared_ptr<ReaderState> reader;
  platform::ManualResetEvent reply_ready{false};
  platform::ManualResetEvent read_request{false};
  platform::ManualResetEvent reader_idle{true};
  platform::ManualResetEvent stop_reader{false};
  DEVWIRE_EVENT_CALLBACK event_callback = nullptr;

  uint16_t connection_id = 0;  // assigned by the terminal at connect
  uint16_t reply_counter = 0;  // sequence number of the next command
  std::atomic<int32_t> reply_length{-1};
  // Payload bytes the last DEVWIRE_SENDCMD put into the caller's buffer; -1
  // when no reply (nor cached answer) decided it.
  std::atomic<int32_t> last_reply_bytes{-1};
  int32_t data_pacing = 0;        // adaptive reply time-out of an upload, ms
  int32_t memory_block_size = 0;  // adaptive block size of buffered reads

  std::vector<uint8_t> receive_buffer;     // every reply and event lands here
  std::atomic<int32_t> receive_length{0};  // never above receive_buffer.size()

  void* event_context = nullptr;
  std::array<char, kPhoneNumberSize> phone_number{};
  bool modem_mode = false;
  int32_t modem_command_length = 0;
  int32_t modem_command_kind = 0;
  bool synchronous = true;  // no reader thread: the exchange reads for itself

  OptionCache option_cache;
  std::optional<std::string> firmware_version_text;  // reply of command 1100
  std::array<uint8_t, kFreeSizesCacheSize> free_sizes_cache{};
  bool free_sizes_cached = false;  // free_sizes_cache holds the last command-50 reply
  uint16_t last_command = 0;

  std::atomic<int32_t> read_timeout{0};  // the reader's next read time-out; 0 is 1000 ms
  std::atomic<int32_t> connect_status{0};
  std::atomic<int32_t> last_error{0};
  // The line failure seen during the running exchange attempt, if any. Unlike
  // connect_status, which keeps its record until the next failure, this is
  // cleared as each attempt starts, so an old failure never cuts an exchange
  // short.
  std::atomic<int32_t> attempt_line_failure{0};

  platform::CriticalSection exchange_lock;  // held for one whole exchange
  std::atomic<int32_t> abort_flag{0};
  // The overall deadline of the running bulk read (exchange/wait_bound.h);
  // used by the calling thread only.
  bool deadline_set = false;
  uint32_t deadline_tick = 0;
  // True while the calling thread is inside a cancellable transport read,
  // which a cancel then interrupts.
  std::atomic<bool> direct_read{false};
  std::atomic<int32_t> free_sizes_cache_off{0};

  std::string transport_name;  // what DEVORU_NAME reported at open
};

}  // namespace devwire
