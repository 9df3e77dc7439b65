// The simulated terminal's templates through the real protocol engine over
// the UDP plug-in: every form in which a host reads and writes them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;
using termsim::FingerTemplate;

constexpr int32_t kTimeoutMs = 2000;
constexpr int32_t kBlockSize = 8192;
constexpr uint16_t kUserTemplates = 6;
constexpr uint16_t kDeleteTemplate = 19;
constexpr uint16_t kReadWithFlag = 88;
constexpr uint16_t kIdentify = 1011;
constexpr uint16_t kPiecewiseRecords = 2017;
constexpr uint16_t kPiecewiseAvailable = 2221;

FingerTemplate Tmpl(uint16_t pin, uint8_t finger, size_t size, uint8_t flag = 1) {
  FingerTemplate t{pin, finger, flag, Bytes(size)};
  for (size_t i = 0; i < size; ++i) t.bytes[i] = static_cast<uint8_t>(pin * 7 + finger + i * 31);
  return t;
}

class TemplatesEngineTest : public ::testing::Test {
 protected:
  void Open(termsim::Profile profile = {}) {
    if (handle_ != nullptr) DEVWIRE_CLOSE(handle_);
    sim_ = std::make_unique<termsim::Simulator>(std::move(profile));
    ASSERT_TRUE(sim_->StartUdp("127.0.0.1", 0));
    handle_ =
        DEVWIRE_INIT("comms.dll", "127.0.0.1", sim_->udp_port(), 0, nullptr, nullptr, 0, nullptr);
    ASSERT_NE(handle_, nullptr);
  }
  void SetUp() override { Open(); }
  void TearDown() override {
    if (handle_ != nullptr) DEVWIRE_CLOSE(handle_);
  }

  // DEVWIRE_READDATA of `command` with `request` at the buffer's start.
  Bytes ReadData(uint16_t command, const Bytes& request, uint16_t* code) {
    Bytes buffer(1 << 20);
    std::copy(request.begin(), request.end(), buffer.begin());
    *code = command;
    const int32_t n =
        DEVWIRE_READDATA(handle_, code, buffer.data(), static_cast<int32_t>(buffer.size()),
                         static_cast<int32_t>(request.size()), kBlockSize, kTimeoutMs);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
  }

  // DEVWIRE_SENDCMD; the reply's payload in `reply` (up to 2048 bytes).
  int32_t SendCmd(uint16_t* code, const Bytes& data, Bytes* reply = nullptr) {
    Bytes buffer(2048);
    std::copy(data.begin(), data.end(), buffer.begin());
    const int32_t result =
        DEVWIRE_SENDCMD(handle_, code, buffer.data(), static_cast<int32_t>(buffer.size()),
                        static_cast<int32_t>(data.size()), kTimeoutMs);
    if (reply != nullptr) {
      const int32_t n = DEVWIRE_REPLYLENGTH(handle_);
      buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
      *reply = buffer;
    }
    return result;
  }

  std::unique_ptr<termsim::Simulator> sim_;
  DEVWIRE_HANDLE handle_ = nullptr;
};

TEST_F(TemplatesEngineTest, WholeTableAndOneUserBufferedAndStreamed) {
  const std::vector<FingerTemplate> all = {Tmpl(1, 0, 900), Tmpl(2, 3, 1500, 3), Tmpl(2, 4, 700)};
  sim_->SetTemplates(all);
  for (const bool buffered : {true, false}) {
    SCOPED_TRACE(buffered ? "buffered" : "streamed");
    termsim::BulkOptions options;
    options.buffered_reads = buffered;
    sim_->SetBulkOptions(options);
    uint16_t code = 0;
    EXPECT_EQ(ReadData(wire::CMD_DB_RRQ, {2}, &code), sim_->TemplateTableBytes());
    EXPECT_EQ(code, wire::CMD_ACK_OK);

    const Bytes two = ReadData(kUserTemplates, {2, 0}, &code);
    EXPECT_EQ(code, wire::CMD_ACK_OK);
    wire::ByteReader r(two);
    EXPECT_EQ(r.U32(), 1506u + 706u);
    EXPECT_EQ(r.U16(), 1506u);
    EXPECT_EQ(r.U16(), 2u);
    EXPECT_EQ(ReadData(kUserTemplates, {9, 0}, &code), Bytes(4, 0));
    EXPECT_EQ(code, wire::CMD_ACK_OK);
  }
  sim_->SetTemplates({});
  uint16_t code = 0;
  EXPECT_TRUE(ReadData(wire::CMD_DB_RRQ, {2}, &code).empty());
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
}

TEST_F(TemplatesEngineTest, PiecewiseDownloadOnTheTftTerminal) {
  Open(termsim::Profile::Tft());
  std::vector<FingerTemplate> all;
  for (uint16_t pin = 1; pin <= 260; ++pin) all.push_back(Tmpl(pin, pin % 10, 200 + pin));
  sim_->SetTemplates(all);
  uint16_t code = kPiecewiseAvailable;
  SendCmd(&code, {});
  EXPECT_EQ(code, wire::CMD_ACK_OK);

  Bytes buffer(1 << 20);
  code = kPiecewiseRecords;
  const int32_t n = READDATA_PICE_BY_PICE(handle_, &code, buffer.data(), 0, 0,
                                          static_cast<int32_t>(buffer.size()), 0, kTimeoutMs, 0);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  const Bytes table = sim_->TemplateTableBytes();
  ASSERT_EQ(n, static_cast<int32_t>(table.size() - 4));
  buffer.resize(static_cast<size_t>(n));
  EXPECT_EQ(buffer, Bytes(table.begin() + 4, table.end()));
  EXPECT_EQ(sim_->PreparedCount(), 0u);
}

TEST_F(TemplatesEngineTest, SingleTemplateReadsInline) {
  const FingerTemplate t = Tmpl(5, 2, 1011, 3);
  sim_->SetTemplates({t});
  uint16_t code = wire::CMD_USERTEMP_RRQ;
  Bytes reply;
  SendCmd(&code, {5, 0, 2}, &reply);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(reply, t.bytes);

  code = kReadWithFlag;
  SendCmd(&code, {5, 0, 2}, &reply);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(reply.size(), t.bytes.size() + 1);
  EXPECT_EQ(reply.back(), 3);

  code = wire::CMD_USERTEMP_RRQ;
  EXPECT_EQ(SendCmd(&code, {5, 0, 3}), 2);  // the refusal's reason: no such template
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
}

TEST_F(TemplatesEngineTest, Version10TerminalStreamsSingleTemplates) {
  Open(termsim::Profile::Tft());
  const FingerTemplate t = Tmpl(44, 15, 3000);
  sim_->SetTemplates({t});
  Bytes buffer(32768);
  buffer[0] = 44;
  buffer[2] = 15;
  uint16_t code = wire::CMD_USERTEMP_RRQ;
  const int32_t n = DEVWIRE_READDATA1(handle_, &code, buffer.data(),
                                      static_cast<int32_t>(buffer.size()), 3, 1, kTimeoutMs);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(n, 3000);
  buffer.resize(3000);
  EXPECT_EQ(buffer, t.bytes);
}

TEST_F(TemplatesEngineTest, WritesDeletesAndIdentify) {
  // Version 9: the template travels in the command.
  const FingerTemplate small = Tmpl(7, 1, 500);
  Bytes write = {7, 0, 1, static_cast<uint8_t>(500 & 0xFF), static_cast<uint8_t>(500 >> 8)};
  write.insert(write.end(), small.bytes.begin(), small.bytes.end());
  uint16_t code = wire::CMD_USERTEMP_WRQ;
  SendCmd(&code, write);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(7, 1), small);

  // Version 10: uploaded first, then the header alone.
  const FingerTemplate big = Tmpl(7, 15, 5000, 3);
  const Bytes header = {
      7, 0, 15, 3, static_cast<uint8_t>(5000 & 0xFF), static_cast<uint8_t>(5000 >> 8)};
  code = 87;
  DEVWIRE_SENDCMDDATA(handle_, &code, big.bytes.data(), static_cast<int32_t>(big.bytes.size()),
                      header.data(), static_cast<int32_t>(header.size()), kTimeoutMs);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(7, 15), big);

  code = kIdentify;
  Bytes reply;
  SendCmd(&code, small.bytes, &reply);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(reply, (Bytes{7, 0, 0, 0}));

  code = kDeleteTemplate;
  SendCmd(&code, {7, 0, 1});
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  code = kDeleteTemplate;
  EXPECT_EQ(SendCmd(&code, {7, 0, 1}), 2);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim_->Templates(), (std::vector<FingerTemplate>{big}));
}

}  // namespace
