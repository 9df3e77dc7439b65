// A connection opened over the in-process fake terminal.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <vector>

#include "connection/connection_open.h"
#include "connection/engine_connection.h"
#include "fake_terminal.h"
#include "exchange/send_command.h"
#include "wire/codes.h"

namespace enginetest {

class EngineFixture : public ::testing::Test {
 protected:
  // Opens (connect handshake included) and forgets the handshake's packets.
  void Open(devwire::OpenParams params = {}) {
    devwire::OpenResult opened = devwire::OpenConnection(
        devwire::TransportBinding::FromEntryPoints(FakeTerminal::EntryPoints()), params);
    ASSERT_EQ(opened.error, 0);
    ASSERT_NE(opened.connection, nullptr);
    conn = std::move(opened.connection);
    term.commands.clear();
    term.send_calls = 0;
    term.read_calls = 0;
    term.read_timeouts.clear();
    term.read_sizes.clear();
  }

  // One command through the command path; returns the outcome.
  uint16_t Run(uint16_t code, std::span<const uint8_t> data = {}, std::span<uint8_t> reply = {},
               int32_t timeout_ms = 100, int32_t* result = nullptr) {
    const int32_t r = devwire::SendCommand(*conn, code, data, reply, timeout_ms);
    if (result != nullptr) *result = r;
    return code;
  }

  FakeTerminal term;
  std::unique_ptr<devwire::EngineConnection> conn;
};

}  // namespace enginetest
