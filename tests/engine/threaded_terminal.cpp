#include "threaded_terminal.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/dynlib.h"
#include "test_plugin_api.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace enginetest {
namespace {

ThreadedTerminal* g_current = nullptr;

ThreadedTerminal& Of(DEVORU_HANDLE handle) { return *static_cast<ThreadedTerminal*>(handle); }

DEVORU_HANDLE Init(const char*, int32_t, int32_t) { return g_current; }
DEVORU_HANDLE InitEx(const char*, int32_t, int32_t, int32_t* status) {
  if (status != nullptr) *status = 0;
  return g_current;
}
int32_t Close(DEVORU_HANDLE) { return 1; }
int32_t Send(DEVORU_HANDLE h, const void* bytes, int32_t length) {
  return Of(h).Send(bytes, length);
}
int32_t Read(DEVORU_HANDLE h, void* buffer, int32_t size, int32_t timeout_ms) {
  return Of(h).Read(buffer, size, timeout_ms);
}
int32_t TerminalRead(DEVORU_HANDLE h) {
  Of(h).Interrupt();
  return 1;
}
const char* Name(void*) { return "UDP"; }
int32_t Flush(DEVORU_HANDLE) { return 0; }
int32_t Error(DEVORU_HANDLE) { return 0; }

size_t Copy(const std::vector<uint8_t>& bytes, void* buffer, int32_t size) {
  const size_t n = std::min(bytes.size(), static_cast<size_t>(std::max(size, 0)));
  if (n > 0) std::memcpy(buffer, bytes.data(), n);
  return n;
}

}  // namespace

ThreadedTerminal::ThreadedTerminal() { g_current = this; }

ThreadedTerminal::~ThreadedTerminal() {
  if (g_current == this) g_current = nullptr;
}

void ThreadedTerminal::SetBehaviour(Behaviour behaviour) {
  std::lock_guard lock(mu_);
  behaviour_ = std::move(behaviour);
}

void ThreadedTerminal::Behave(const Command& c) {
  if (c.code == wire::CMD_CONNECT) {
    Push(wire::CMD_ACK_OK, session_id, c.counter);
  } else if (c.code != wire::CMD_ACK_OK) {
    Answer(c, wire::CMD_ACK_OK);
  }
}

void ThreadedTerminal::Answer(const Command& c, uint16_t code, std::vector<uint8_t> payload) {
  Push(code, session_id, c.counter, std::move(payload));
}

void ThreadedTerminal::Push(uint16_t code, uint16_t connection_id, uint16_t counter,
                            std::vector<uint8_t> payload) {
  Enqueue({FakeTerminal::Packet(code, connection_id, counter, payload), std::nullopt});
}

void ThreadedTerminal::PushEvent(uint16_t kind, uint16_t counter, std::vector<uint8_t> payload) {
  Push(wire::kEventPacket, kind, counter, std::move(payload));
}

void ThreadedTerminal::PushRaw(std::vector<uint8_t> bytes, std::optional<int32_t> result) {
  Enqueue({std::move(bytes), result});
}

void ThreadedTerminal::PushResult(int32_t result) { Enqueue({{}, result}); }

void ThreadedTerminal::Enqueue(ReadStep step) {
  std::lock_guard lock(mu_);
  inbox_.push_back(std::move(step));
  changed_.notify_all();
}

void ThreadedTerminal::HangReads(int count, std::vector<uint8_t> release_bytes) {
  std::lock_guard lock(mu_);
  hang_next_ = count;
  released_ = false;
  release_bytes_ = std::move(release_bytes);
}

void ThreadedTerminal::ReleaseHungReads() {
  std::lock_guard lock(mu_);
  released_ = true;
  changed_.notify_all();
}

int ThreadedTerminal::HungReads() const {
  std::lock_guard lock(mu_);
  return hung_;
}

std::vector<Command> ThreadedTerminal::Sent() const {
  std::lock_guard lock(mu_);
  return sent_;
}

std::vector<Command> ThreadedTerminal::Sent(uint16_t code) const {
  std::lock_guard lock(mu_);
  std::vector<Command> out;
  for (const Command& c : sent_) {
    if (c.code == code) out.push_back(c);
  }
  return out;
}

size_t ThreadedTerminal::CountSent(uint16_t code) const {
  std::lock_guard lock(mu_);
  return CountSentLocked(code);
}

size_t ThreadedTerminal::CountSentLocked(uint16_t code) const {
  return static_cast<size_t>(std::count_if(sent_.begin(), sent_.end(),
                                           [code](const Command& c) { return c.code == code; }));
}

int ThreadedTerminal::TerminalReads() const {
  std::lock_guard lock(mu_);
  return terminal_reads_;
}

int ThreadedTerminal::ReadsRunning() const {
  std::lock_guard lock(mu_);
  return reads_running_;
}

bool ThreadedTerminal::WaitUntil(const std::function<bool(const ThreadedTerminal&)>& predicate,
                                 uint32_t timeout_ms) const {
  std::unique_lock lock(mu_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return predicate(*this); });
}

int32_t ThreadedTerminal::Send(const void* bytes, int32_t length) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  Command c;
  c.raw.assign(p, p + length);
  if (auto view = wire::ParsePacket(c.raw)) {
    c.code = view->header.code;
    c.connection_id = view->header.connection_id;
    c.counter = view->header.reply_counter;
    c.checksum_ok = wire::ChecksumValid(c.raw);
    c.payload.assign(view->payload.begin(), view->payload.end());
  }
  Behaviour behaviour;
  {
    std::lock_guard lock(mu_);
    reads_blocked_ = false;
    sent_.push_back(c);
    behaviour = behaviour_;
    changed_.notify_all();
  }
  if (behaviour) {
    behaviour(*this, c);
  } else {
    Behave(c);
  }
  return length;
}

int32_t ThreadedTerminal::Read(void* buffer, int32_t size, int32_t timeout_ms) {
  std::unique_lock lock(mu_);
  ++reads_running_;
  changed_.notify_all();
  struct Leave {
    ThreadedTerminal& t;
    ~Leave() {
      --t.reads_running_;
      t.changed_.notify_all();
    }
  } leave{*this};

  if (hang_next_ > 0) {
    --hang_next_;
    ++hung_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    --hung_;
    return static_cast<int32_t>(Copy(release_bytes_, buffer, size));
  }

  const uint64_t interrupts = interrupts_;
  const auto interrupted = [&] { return reads_blocked_ || interrupts_ != interrupts; };
  changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
                    [&] { return interrupted() || !inbox_.empty(); });
  if (interrupted() || inbox_.empty()) return 0;
  ReadStep step = std::move(inbox_.front());
  inbox_.pop_front();
  const size_t n = Copy(step.bytes, buffer, size);
  return step.result.value_or(static_cast<int32_t>(n));
}

void ThreadedTerminal::Interrupt() {
  std::lock_guard lock(mu_);
  reads_blocked_ = true;
  ++interrupts_;
  ++terminal_reads_;
  changed_.notify_all();
}

devwire::EntryPoints ThreadedTerminal::EntryPoints(bool with_terminal_read) {
  devwire::EntryPoints e;
  e.init = Init;
  e.initex = InitEx;
  e.close = Close;
  e.send = enginetest::Send;
  e.read = enginetest::Read;
  e.terminal_read = with_terminal_read ? TerminalRead : nullptr;
  e.name = Name;
  e.flush = Flush;
  e.error = Error;
  return e;
}

bool InstallThreadedInPlugin(const char* file) {
  platform::ModuleHandle module =
      platform::LoadLibraryByName(file, reinterpret_cast<const void*>(&InstallThreadedInPlugin));
  if (module == nullptr) return false;
  auto set_table =
      reinterpret_cast<ENGTEST_SET_TABLE_FN>(platform::FindSymbol(module, "ENGTEST_SET_TABLE"));
  if (set_table == nullptr) return false;
  const devwire::EntryPoints e = ThreadedTerminal::EntryPoints();
  const EngtestTable table{e.init,          e.initex, e.close, e.send, e.read,
                           e.terminal_read, e.name,   e.flush, e.error};
  set_table(&table);
  // The module stays loaded for the life of the test program.
  return true;
}

void EventLog::Callback(void* context, uint16_t kind, int32_t length, const uint8_t* payload) {
  auto& log = *static_cast<EventLog*>(context);
  EventRecord record;
  record.kind = kind;
  if (length > 0) record.payload.assign(payload, payload + length);
  {
    std::lock_guard lock(log.mu_);
    log.events_.push_back(record);
    log.changed_.notify_all();
  }
  if (log.on_event) log.on_event(record);
}

std::vector<EventRecord> EventLog::Events() const {
  std::lock_guard lock(mu_);
  return events_;
}

size_t EventLog::Count() const {
  std::lock_guard lock(mu_);
  return events_.size();
}

bool EventLog::WaitForCount(size_t count, uint32_t timeout_ms) const {
  std::unique_lock lock(mu_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return events_.size() >= count; });
}

}  // namespace enginetest
