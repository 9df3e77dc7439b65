// An in-process fake terminal behind the transport contract. Tests script
// what the transport returns and how the terminal answers each command; the
// fake answers at once instead of waiting out read time-outs, so tests of
// silent terminals stay fast.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devoru.h"
#include "test_plugin_api.h"
#include "connection/transport_binding.h"

namespace enginetest {

// A packet the engine sent.
struct Command {
  uint16_t code = 0;
  uint16_t connection_id = 0;
  uint16_t counter = 0;
  bool checksum_ok = false;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;
};

// One result of DEVORU_READ: the bytes delivered (cut to the buffer size)
// and, when set, the count returned instead of the number of bytes written.
struct ReadStep {
  std::vector<uint8_t> bytes;
  std::optional<int32_t> result;
};

class FakeTerminal {
 public:
  FakeTerminal();  // becomes the terminal behind the fake transport
  ~FakeTerminal();
  FakeTerminal(const FakeTerminal&) = delete;
  FakeTerminal& operator=(const FakeTerminal&) = delete;

  // --- configuration
  std::string name = "UDP";  // DEVORU_NAME
  uint16_t session_id = 0x1234;
  uint32_t password = 0;  // non-zero: CMD_CONNECT is answered CMD_ACK_UNAUTH
  bool open_fails = false;
  int32_t transport_error = 0;  // DEVORU_ERROR
  // What the terminal does with a command that went out; default Behave.
  std::function<void(FakeTerminal&, const Command&)> on_command;

  // --- scripting
  std::deque<int32_t> send_results;  // consumed by the next sends instead of sending
  std::deque<ReadStep> inbox;        // what the next reads deliver; empty: silence

  // --- observations
  std::vector<Command> commands;  // packets that went out
  int send_calls = 0;
  int read_calls = 0;
  int opens = 0;
  int closes = 0;
  int terminal_reads = 0;
  std::vector<int32_t> read_sizes;
  std::vector<int32_t> read_timeouts;

  // The default terminal: connect (with authentication when a password is
  // set), and CMD_ACK_OK to everything else.
  void Behave(const Command& command);
  // Queues a reply to `command` echoing its sequence number.
  void Answer(const Command& command, uint16_t code, std::vector<uint8_t> payload = {});
  // Queues a well-formed packet.
  void Push(uint16_t code, uint16_t connection_id, uint16_t counter,
            std::vector<uint8_t> payload = {});
  void PushRaw(std::vector<uint8_t> bytes, std::optional<int32_t> result = std::nullopt);
  void PushResult(int32_t result);

  size_t Count(uint16_t code) const;
  std::vector<Command> Sent(uint16_t code) const;

  // Entry points that reach the current fake terminal.
  static devwire::EntryPoints EntryPoints();
  static EngtestTable Table();

  static std::vector<uint8_t> Packet(uint16_t code, uint16_t connection_id, uint16_t counter,
                                     const std::vector<uint8_t>& payload);
};

// Installs the fake behind the test plug-in `file` ("engtest_full.dll").
// False when the plug-in cannot be loaded.
bool InstallInPlugin(const char* file);

}  // namespace enginetest
