// An in-process fake terminal for connections with a reader thread. Unlike
// FakeTerminal it is safe to use from several threads: reads block until a
// packet is queued, the time-out passes or DEVORU_TERMINALREAD interrupts
// them, as a real transport's do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fake_terminal.h"
#include "connection/transport_binding.h"

namespace enginetest {

class ThreadedTerminal {
 public:
  ThreadedTerminal();  // the next transport opened talks to this terminal
  ~ThreadedTerminal();
  ThreadedTerminal(const ThreadedTerminal&) = delete;
  ThreadedTerminal& operator=(const ThreadedTerminal&) = delete;

  // What the terminal does with a packet that went out (called without the
  // terminal's lock held). The default answers CMD_CONNECT with session_id
  // and every other command CMD_ACK_OK; acknowledgements get no answer.
  using Behaviour = std::function<void(ThreadedTerminal&, const Command&)>;
  void SetBehaviour(Behaviour behaviour);
  void Behave(const Command& command);

  uint16_t session_id = 0x1234;

  // --- what the next reads deliver
  void Answer(const Command& command, uint16_t code, std::vector<uint8_t> payload = {});
  void Push(uint16_t code, uint16_t connection_id, uint16_t counter,
            std::vector<uint8_t> payload = {});
  void PushEvent(uint16_t kind, uint16_t counter, std::vector<uint8_t> payload = {});
  // Bytes as they are; `result` (when set) is returned instead of their count.
  void PushRaw(std::vector<uint8_t> bytes, std::optional<int32_t> result = std::nullopt);
  void PushResult(int32_t result);

  // The next `count` reads hang, deaf to DEVORU_TERMINALREAD and to their
  // time-out, until ReleaseHungReads; each then delivers `release_bytes`.
  void HangReads(int count, std::vector<uint8_t> release_bytes);
  void ReleaseHungReads();
  int HungReads() const;

  // --- observations
  std::vector<Command> Sent() const;
  std::vector<Command> Sent(uint16_t code) const;
  size_t CountSent(uint16_t code) const;
  int TerminalReads() const;
  int ReadsRunning() const;
  // Waits until `predicate` holds (checked under the lock) or `timeout_ms`.
  bool WaitUntil(const std::function<bool(const ThreadedTerminal&)>& predicate,
                 uint32_t timeout_ms) const;
  // For WaitUntil predicates, which run with the terminal's lock held.
  size_t CountSentLocked(uint16_t code) const;
  int ReadsRunningLocked() const { return reads_running_; }
  int HungReadsLocked() const { return hung_; }

  static devwire::EntryPoints EntryPoints(bool with_terminal_read = true);

  // --- the transport side, reached through the entry points
  int32_t Send(const void* bytes, int32_t length);
  int32_t Read(void* buffer, int32_t size, int32_t timeout_ms);
  void Interrupt();

 private:
  void Enqueue(ReadStep step);

  mutable std::mutex mu_;
  mutable std::condition_variable changed_;
  Behaviour behaviour_;
  std::deque<ReadStep> inbox_;
  std::vector<Command> sent_;
  bool reads_blocked_ = false;  // DEVORU_TERMINALREAD until the next send
  uint64_t interrupts_ = 0;
  int terminal_reads_ = 0;
  int reads_running_ = 0;
  int hang_next_ = 0;
  int hung_ = 0;
  bool released_ = false;
  std::vector<uint8_t> release_bytes_;
};

// Installs the threaded fake behind the test plug-in `file`
// ("engtest_bare.dll"). False when the plug-in cannot be loaded.
bool InstallThreadedInPlugin(const char* file);

// Records what an event callback receives.
struct EventRecord {
  uint16_t kind = 0;
  std::vector<uint8_t> payload;
};

class EventLog {
 public:
  // The callback to give at open, with the log as its context.
  static void Callback(void* context, uint16_t kind, int32_t length, const uint8_t* payload);

  std::vector<EventRecord> Events() const;
  size_t Count() const;
  bool WaitForCount(size_t count, uint32_t timeout_ms) const;

  // Runs inside the callback, after the event is recorded.
  std::function<void(const EventRecord&)> on_event;

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable changed_;
  std::vector<EventRecord> events_;
};

}  // namespace enginetest
