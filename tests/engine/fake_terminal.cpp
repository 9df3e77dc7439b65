#include "fake_terminal.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/dynlib.h"
#include "wire/auth.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace enginetest {
namespace {

FakeTerminal* g_current = nullptr;

FakeTerminal& Current(DEVORU_HANDLE handle) { return *static_cast<FakeTerminal*>(handle); }

DEVORU_HANDLE Init(const char*, int32_t, int32_t) {
  if (g_current == nullptr) return nullptr;
  ++g_current->opens;
  return g_current->open_fails ? nullptr : g_current;
}

DEVORU_HANDLE InitEx(const char* address, int32_t p1, int32_t p2, int32_t* status) {
  if (status != nullptr) *status = 0;
  return Init(address, p1, p2);
}

int32_t Close(DEVORU_HANDLE handle) {
  ++Current(handle).closes;
  return 1;
}

int32_t Send(DEVORU_HANDLE handle, const void* bytes, int32_t length) {
  FakeTerminal& t = Current(handle);
  ++t.send_calls;
  if (!t.send_results.empty()) {
    const int32_t scripted = t.send_results.front();
    t.send_results.pop_front();
    if (scripted <= 0) return scripted;
  }
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
  t.commands.push_back(c);
  if (t.on_command) {
    t.on_command(t, c);
  } else {
    t.Behave(c);
  }
  return length;
}

int32_t Read(DEVORU_HANDLE handle, void* buffer, int32_t size, int32_t timeout_ms) {
  FakeTerminal& t = Current(handle);
  ++t.read_calls;
  t.read_sizes.push_back(size);
  t.read_timeouts.push_back(timeout_ms);
  if (t.inbox.empty()) return 0;
  ReadStep step = std::move(t.inbox.front());
  t.inbox.pop_front();
  const size_t n = std::min(step.bytes.size(), static_cast<size_t>(std::max(size, 0)));
  if (n > 0) std::memcpy(buffer, step.bytes.data(), n);
  return step.result.value_or(static_cast<int32_t>(n));
}

int32_t TerminalRead(DEVORU_HANDLE handle) {
  ++Current(handle).terminal_reads;
  return 1;
}

const char* Name(void*) { return g_current != nullptr ? g_current->name.c_str() : "UDP"; }

int32_t Flush(DEVORU_HANDLE) { return 0; }

int32_t Error(DEVORU_HANDLE handle) {
  if (handle == nullptr) return 0;
  FakeTerminal& t = Current(handle);
  const int32_t e = t.transport_error;
  t.transport_error = 0;
  return e;
}

}  // namespace

FakeTerminal::FakeTerminal() { g_current = this; }
FakeTerminal::~FakeTerminal() {
  if (g_current == this) g_current = nullptr;
}

void FakeTerminal::Behave(const Command& c) {
  switch (c.code) {
    case wire::CMD_CONNECT:
      Push(password != 0 ? wire::CMD_ACK_UNAUTH : wire::CMD_ACK_OK, session_id, c.counter);
      break;
    case wire::CMD_AUTH: {
      std::array<uint8_t, 4> key{};
      std::copy_n(c.payload.begin(), std::min<size_t>(4, c.payload.size()), key.begin());
      const bool ok = c.payload.size() == 4 && wire::AuthKeyMatches(key, password, session_id);
      Push(ok ? wire::CMD_ACK_OK : wire::CMD_ACK_UNAUTH, session_id, c.counter);
      break;
    }
    case wire::CMD_ACK_OK:
      break;  // the host acknowledging an event
    default:
      Answer(c, wire::CMD_ACK_OK);
  }
}

void FakeTerminal::Answer(const Command& c, uint16_t code, std::vector<uint8_t> payload) {
  Push(code, session_id, c.counter, std::move(payload));
}

void FakeTerminal::Push(uint16_t code, uint16_t connection_id, uint16_t counter,
                        std::vector<uint8_t> payload) {
  inbox.push_back({Packet(code, connection_id, counter, payload), std::nullopt});
}

void FakeTerminal::PushRaw(std::vector<uint8_t> bytes, std::optional<int32_t> result) {
  inbox.push_back({std::move(bytes), result});
}

void FakeTerminal::PushResult(int32_t result) { inbox.push_back({{}, result}); }

size_t FakeTerminal::Count(uint16_t code) const {
  return static_cast<size_t>(std::count_if(commands.begin(), commands.end(),
                                           [code](const Command& c) { return c.code == code; }));
}

std::vector<Command> FakeTerminal::Sent(uint16_t code) const {
  std::vector<Command> out;
  for (const Command& c : commands) {
    if (c.code == code) out.push_back(c);
  }
  return out;
}

devwire::EntryPoints FakeTerminal::EntryPoints() {
  devwire::EntryPoints e;
  e.init = Init;
  e.initex = InitEx;
  e.close = Close;
  e.send = Send;
  e.read = Read;
  e.terminal_read = TerminalRead;
  e.name = Name;
  e.flush = Flush;
  e.error = Error;
  return e;
}

EngtestTable FakeTerminal::Table() {
  return EngtestTable{Init, InitEx, Close, Send, Read, TerminalRead, Name, Flush, Error};
}

std::vector<uint8_t> FakeTerminal::Packet(uint16_t code, uint16_t connection_id, uint16_t counter,
                                          const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> bytes(payload.size() + wire::kHeaderSize);
  wire::BuildPacket(code, connection_id, counter, payload, bytes);
  return bytes;
}

bool InstallInPlugin(const char* file) {
  platform::ModuleHandle module =
      platform::LoadLibraryByName(file, reinterpret_cast<const void*>(&InstallInPlugin));
  if (module == nullptr) return false;
  auto set_table =
      reinterpret_cast<ENGTEST_SET_TABLE_FN>(platform::FindSymbol(module, "ENGTEST_SET_TABLE"));
  if (set_table == nullptr) return false;
  const EngtestTable table = FakeTerminal::Table();
  set_table(&table);
  // The module stays loaded for the life of the test program, so the table
  // survives the engine unloading the plug-in.
  return true;
}

}  // namespace enginetest
