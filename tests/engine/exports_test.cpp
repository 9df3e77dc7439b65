// The exported C functions with bad arguments: an error result, never a
// crash, and nothing sent.
#include <gtest/gtest.h>

#include <array>

#include "devwire.h"
#include "fake_terminal.h"
#include "wire/codes.h"

namespace enginetest {
namespace {

TEST(ExportsNullHandleTest, EveryExportAnswers) {
  DEVWIRE_CLOSE(nullptr);
  uint16_t code = 60;
  std::array<uint8_t, 4> buffer{};
  EXPECT_EQ(DEVWIRE_SENDCMD(nullptr, &code, buffer.data(), 4, 0, 100), -1);
  EXPECT_EQ(code, 60) << "code slot untouched";
  EXPECT_EQ(DEVWIRE_SENDDATA(nullptr, buffer.data(), 4, 100), 0);
  EXPECT_EQ(DEVWIRE_SENDCMDDATA(nullptr, &code, buffer.data(), 4, nullptr, 0, 100), 0);
  EXPECT_EQ(DEVWIRE_CONNECTSTATUS(nullptr), -1);
  EXPECT_EQ(DEVWIRE_SetOperate(nullptr, 1), nullptr);
  EXPECT_EQ(DEVWIRE_SetParameter(nullptr, 0, 1), nullptr);
  EXPECT_EQ(SetBuffLen(nullptr, 100), -1);
}

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InstallInPlugin("engtest_full.dll"));
    handle = DEVWIRE_INIT("engtest_full.dll", "host", 4370, 0, nullptr, nullptr, 0, nullptr);
    ASSERT_NE(handle, nullptr);
    term.commands.clear();
  }
  void TearDown() override { DEVWIRE_CLOSE(handle); }

  FakeTerminal term;
  DEVWIRE_HANDLE handle = nullptr;
};

TEST_F(ExportsTest, BadCommandArguments) {
  EXPECT_EQ(DEVWIRE_SENDCMD(handle, nullptr, nullptr, 0, 0, 100), -1);
  struct Case {
    void* buffer;
    int32_t size;
    int32_t length;
  };
  std::array<uint8_t, 8> buffer{};
  const Case cases[] = {
      {nullptr, 8, 0},
      {nullptr, 0, 8},
      {buffer.data(), -1, 0},
      {buffer.data(), 8, -1},
  };
  for (const Case& c : cases) {
    uint16_t code = 60;
    EXPECT_EQ(DEVWIRE_SENDCMD(handle, &code, c.buffer, c.size, c.length, 100), -1);
    EXPECT_EQ(code, wire::CMD_ACK_ERROR_CMD);
  }
  EXPECT_TRUE(term.commands.empty());

  uint16_t code = 60;
  EXPECT_EQ(DEVWIRE_SENDCMD(handle, &code, buffer.data(), 8, 0, -5), term.session_id)
      << "a negative time-out counts as 0";
  EXPECT_EQ(code, wire::CMD_ACK_OK);
}

TEST_F(ExportsTest, BadUploadArguments) {
  std::array<uint8_t, 8> data{};
  EXPECT_EQ(DEVWIRE_SENDDATA(handle, nullptr, 8, 100), 0);
  EXPECT_EQ(DEVWIRE_SENDDATA(handle, data.data(), -1, 100), 0);
  uint16_t code = wire::kTakeUploadedData;
  EXPECT_EQ(DEVWIRE_SENDCMDDATA(handle, nullptr, data.data(), 8, nullptr, 0, 100), 0);
  EXPECT_EQ(DEVWIRE_SENDCMDDATA(handle, &code, data.data(), 8, nullptr, 4, 100), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_CMD);
  code = wire::kTakeUploadedData;
  EXPECT_EQ(DEVWIRE_SENDCMDDATA(handle, &code, nullptr, 8, data.data(), 0, 100), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_CMD);
  EXPECT_TRUE(term.commands.empty());
}

TEST_F(ExportsTest, SettersAndQueries) {
  EXPECT_EQ(DEVWIRE_SetOperate(handle, 0), handle);
  EXPECT_EQ(DEVWIRE_CONNECTSTATUS(handle), 0);

  // Selector 1 changes nothing: the free-sizes cache stays on.
  EXPECT_EQ(DEVWIRE_SetParameter(handle, 1, 1), handle);
  std::array<uint8_t, 16> reply{};
  for (int i = 0; i < 2; ++i) {
    uint16_t code = wire::CMD_GET_FREE_SIZES;
    DEVWIRE_SENDCMD(handle, &code, reply.data(), 16, 0, 100);
    EXPECT_EQ(code, wire::CMD_ACK_OK);
  }
  EXPECT_EQ(term.Count(wire::CMD_GET_FREE_SIZES), 1u);

  // The terminal's refusal is the connection's last error, read once; then
  // the transport's own error shows through.
  term.on_command = [](FakeTerminal& t, const Command& c) { t.Answer(c, wire::CMD_ACK_ERROR); };
  uint16_t code = 60;
  DEVWIRE_SENDCMD(handle, &code, nullptr, 0, 0, 100);
  EXPECT_EQ(DEVWIRE_LASTERROR(handle), -2001);
  term.transport_error = -10054;
  EXPECT_EQ(DEVWIRE_LASTERROR(handle), -10054);
  EXPECT_EQ(DEVWIRE_LASTERROR(handle), 0);
}

TEST_F(ExportsTest, CancelFlagFromTheExport) {
  DEVWIRE_SetOperate(handle, 1);
  uint16_t code = 60;
  DEVWIRE_SENDCMD(handle, &code, nullptr, 0, 0, 100);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  code = wire::CMD_FREE_DATA;
  DEVWIRE_SENDCMD(handle, &code, nullptr, 0, 0, 100);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(term.commands.size(), 1u);
  DEVWIRE_SetOperate(handle, 0);
}

}  // namespace
}  // namespace enginetest
