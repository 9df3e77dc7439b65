// Uploads over TCP travel in packets of the whole 64 KiB a TCP connection
// carries.
#include <gtest/gtest.h>

#include <vector>

#include "tcp_fixture.h"
#include "wire/codes.h"

namespace tcptest {
namespace {

TEST_F(TcpE2E, OneMibUploadArrivesIntactIn64KibChunks) {
  ASSERT_NE(Connect(), nullptr);
  std::vector<uint8_t> data(1024 * 1024 + 100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
  const std::vector<uint8_t> params{1, 0, 0, 0, 'u', 'p', '.', 'b', 'i', 'n', 0};
  sim->ClearReceived();
  uint16_t code = wire::kTakeUploadedData;
  DEVWIRE_SENDCMDDATA(Engine(), &code, data.data(), static_cast<int32_t>(data.size()),
                      params.data(), static_cast<int32_t>(params.size()), 4000);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim->LastStoredUpload(), data);
  EXPECT_EQ(sim->LastUploadParameters(), params);

  std::vector<size_t> chunks;
  for (const auto& p : sim->Received()) {
    if (p.code == wire::CMD_DATA) chunks.push_back(p.payload.size());
  }
  ASSERT_EQ(chunks.size(), 17u);
  for (size_t i = 0; i + 1 < chunks.size(); ++i) EXPECT_EQ(chunks[i], 65536u) << i;
  EXPECT_EQ(chunks.back(), 100u);
}

}  // namespace
}  // namespace tcptest
