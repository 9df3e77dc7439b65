// Bulk reads on a connection with a reader thread: the reader stays out of
// the transport while the chunks come in, and listens for events again
// afterwards.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "bulk_e2e_fixture.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace bulktest {
namespace {

constexpr uint16_t kStreamed = 0x4D2;
constexpr uint16_t kPiecewise = 0x7A;
constexpr uint16_t kEventKind = 8;

std::atomic<int> g_events{0};

void OnEvent(void*, uint16_t event, int32_t, const uint8_t*) {
  if (event == kEventKind) ++g_events;
}

class ReaderModeTest : public BulkE2ETest {
 protected:
  void SetUp() override {
    g_events = 0;
    Open(OnEvent);
  }
  // An event packet from the terminal; the reader delivers it when armed.
  void SendEvent(uint16_t counter) {
    std::vector<uint8_t> packet(wire::kHeaderSize + 4);
    const std::vector<uint8_t> payload{1, 2, 3, 4};
    wire::BuildPacket(wire::kEventPacket, kEventKind, counter, payload, packet);
    ASSERT_TRUE(sim->SendRaw(packet));
  }
  bool AwaitEvents(int n) {
    for (int i = 0; i < 100 && g_events < n; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return g_events >= n;
  }
};

TEST_F(ReaderModeTest, StreamedReadCompletesAndEventsFlowAfterwards) {
  const auto data = RandomBytes(300 * 1024);
  sim->SetDataSet(kStreamed, {}, data);
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].lose = {3, 100, 299};
  sim->SetBulkFaults(faults);
  std::vector<uint8_t> buffer(data.size());
  uint16_t code = kStreamed;
  EXPECT_EQ(DEVWIRE_READDATA1(handle, &code, buffer.data(), static_cast<int32_t>(buffer.size()), 0,
                              1, 600),
            static_cast<int32_t>(data.size()));
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(buffer, data);
  EXPECT_EQ(sim->CountReceived(kStreamed), 2u);
  SendEvent(0x51);
  EXPECT_TRUE(AwaitEvents(1));
}

// Compressed data in blocks of 128 packets each.
TEST_F(ReaderModeTest, BufferedReadInLargeBlocks) {
  const auto data = RecordBytes(1 << 20);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkOptions options;
  options.compress = true;
  sim->SetBulkOptions(options);
  std::vector<uint8_t> buffer(data.size());
  uint16_t code = wire::CMD_ATTLOG_RRQ;
  EXPECT_EQ(DEVWIRE_READDATA(handle, &code, buffer.data(), static_cast<int32_t>(buffer.size()), 0,
                             131072, 1000),
            static_cast<int32_t>(data.size()));
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(buffer, data);
  EXPECT_EQ(sim->PreparedCount(), 0u);
  SendEvent(0x52);
  EXPECT_TRUE(AwaitEvents(1));
}

TEST_F(ReaderModeTest, PiecewiseRead) {
  std::vector<std::vector<uint8_t>> records;
  std::vector<uint8_t> all;
  for (size_t i = 0; i < 300; ++i) {
    records.push_back(RandomBytes(100 + i, static_cast<uint32_t>(i)));
    all.insert(all.end(), records.back().begin(), records.back().end());
  }
  sim->SetRecordSet(kPiecewise, records);
  std::vector<uint8_t> buffer(all.size() + 100);
  uint16_t code = kPiecewise;
  const int32_t got = READDATA_PICE_BY_PICE(handle, &code, buffer.data(), 0, 0,
                                            static_cast<int32_t>(buffer.size()), 0, 1000, 0);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(got, static_cast<int32_t>(all.size()));
  buffer.resize(all.size());
  EXPECT_EQ(buffer, all);
  SendEvent(0x53);
  EXPECT_TRUE(AwaitEvents(1));
}

}  // namespace
}  // namespace bulktest
