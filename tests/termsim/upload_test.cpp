// Uploads: announce, chunks, checksum, take, free.
#include <gtest/gtest.h>

#include <memory>

#include "sim_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace {

using simtest::SimClient;

std::vector<uint8_t> U32(uint32_t v) {
  std::vector<uint8_t> out(4);
  wire::ByteWriter(out).U32(v);
  return out;
}

class SimUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.StartUdp("127.0.0.1", 0));
    client_ = std::make_unique<SimClient>(sim_.udp_port());
    ASSERT_TRUE(client_->Connect());
  }

  uint16_t Code(uint16_t code, const std::vector<uint8_t>& payload = {}) {
    auto a = client_->Exchange(code, ++counter_, payload);
    EXPECT_TRUE(a) << "no answer to " << code;
    return a ? a->header.code : 0;
  }

  uint32_t DataHashReply() {
    auto a = client_->Exchange(wire::kDataChecksum, ++counter_);
    EXPECT_TRUE(a);
    if (!a) return 0;
    EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
    wire::ByteReader r(a->payload);
    const uint32_t hash = r.U32();
    EXPECT_TRUE(r.ok());
    return hash;
  }

  termsim::Simulator sim_;
  std::unique_ptr<SimClient> client_;
  uint16_t counter_ = 0;
};

TEST_F(SimUploadTest, UploadHashTakeAndFree) {
  std::vector<uint8_t> data(2500);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);

  EXPECT_EQ(Code(wire::CMD_PREPARE_DATA, U32(static_cast<uint32_t>(data.size()))),
            wire::CMD_ACK_OK);
  for (size_t at = 0; at < data.size(); at += 1024) {
    const size_t n = std::min<size_t>(1024, data.size() - at);
    EXPECT_EQ(Code(wire::CMD_DATA, {data.begin() + at, data.begin() + at + n}), wire::CMD_ACK_OK);
  }
  EXPECT_EQ(DataHashReply(), wire::DataHash(data));

  std::vector<uint8_t> params = U32(3);
  for (char c : std::string("user.dat")) params.push_back(static_cast<uint8_t>(c));
  params.push_back(0);
  EXPECT_EQ(Code(wire::kTakeUploadedData, params), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.LastStoredUpload(), data);
  EXPECT_EQ(sim_.LastUploadParameters(), params);

  EXPECT_EQ(Code(wire::CMD_FREE_DATA), wire::CMD_ACK_OK);
  EXPECT_EQ(DataHashReply(), wire::DataHash({}));
  // Nothing left to take.
  EXPECT_EQ(Code(wire::kTakeUploadedData, params), wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim_.LastStoredUpload(), data);
}

TEST_F(SimUploadTest, RepeatedChunkIsNotAppendedTwice) {
  EXPECT_EQ(Code(wire::CMD_PREPARE_DATA, U32(8)), wire::CMD_ACK_OK);
  const std::vector<uint8_t> abcd = {'A', 'B', 'C', 'D'};
  auto first = client_->Exchange(wire::CMD_DATA, 40, abcd);
  auto repeat = client_->Exchange(wire::CMD_DATA, 40, abcd);
  ASSERT_TRUE(first && repeat);
  EXPECT_EQ(first->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(repeat->raw, first->raw);
  counter_ = 40;
  EXPECT_EQ(Code(wire::CMD_DATA, {'E', 'F', 'G', 'H'}), wire::CMD_ACK_OK);
  EXPECT_EQ(DataHashReply(),
            wire::DataHash(std::vector<uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
  EXPECT_EQ(Code(wire::kTakeUploadedData, U32(1)), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.LastStoredUpload(),
            (std::vector<uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
}

TEST_F(SimUploadTest, RefusedUploads) {
  // A chunk without an announced upload, past the announced length, or an
  // announcement without a length, is refused.
  EXPECT_EQ(Code(wire::CMD_DATA, {1, 2}), wire::CMD_ACK_ERROR);
  EXPECT_EQ(Code(wire::CMD_PREPARE_DATA, {1, 0}), wire::CMD_ACK_ERROR);
  EXPECT_EQ(Code(wire::CMD_PREPARE_DATA, U32(0xFFFFFFF0u)), wire::CMD_ACK_ERROR);
  EXPECT_EQ(Code(wire::CMD_PREPARE_DATA, U32(3)), wire::CMD_ACK_OK);
  EXPECT_EQ(Code(wire::CMD_DATA, {1, 2, 3, 4}), wire::CMD_ACK_ERROR);
  EXPECT_EQ(Code(wire::CMD_DATA, {1, 2}), wire::CMD_ACK_OK);
  // Incomplete data is not taken.
  EXPECT_EQ(Code(wire::kTakeUploadedData, U32(1)), wire::CMD_ACK_ERROR);
  EXPECT_EQ(Code(wire::CMD_DATA, {3}), wire::CMD_ACK_OK);
  EXPECT_EQ(Code(wire::kTakeUploadedData, U32(1)), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.LastStoredUpload(), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
