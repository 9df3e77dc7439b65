// The packet limit per link: inline answers up to it, data packets never
// above it, and the platforms whose hosts read less over TCP.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim_client.h"
#include "sim_tcp_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using simtest::SimClient;
using simtest::SimTcpClient;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 13 + i / 251);
  return data;
}

std::vector<uint8_t> QueryOf(uint16_t command) {
  std::vector<uint8_t> q(11, 0);
  wire::ByteWriter w(q);
  w.U8(1);
  w.U16(command);
  return q;
}

std::vector<uint8_t> ReadRequest(uint32_t offset, uint32_t count) {
  std::vector<uint8_t> r(8);
  wire::ByteWriter w(r);
  w.U32(offset);
  w.U32(count);
  return r;
}

termsim::Profile WithPlatform(const std::string& platform, uint32_t max_packet = 0) {
  termsim::Profile p = termsim::Profile::Ver660();
  if (!platform.empty()) p.options["~Platform"] = platform;
  p.max_packet = max_packet;
  return p;
}

TEST(SimPacketLimit, InlineAnswerUpToTheLinksLimit) {
  termsim::Simulator sim(WithPlatform(""));
  ASSERT_TRUE(sim.StartTcp("127.0.0.1", 0));
  ASSERT_TRUE(sim.StartUdp("127.0.0.1", 0));
  const auto data = Pattern(65536);
  sim.SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);

  SimTcpClient tcp(sim.tcp_port());
  ASSERT_TRUE(tcp.Connect());
  const auto query = tcp.Exchange(wire::CMD_QUERY_DATA, 1, QueryOf(wire::CMD_ATTLOG_RRQ));
  ASSERT_TRUE(query);
  ASSERT_EQ(query->header.code, wire::CMD_ACK_OK);
  const auto block = tcp.Exchange(wire::CMD_READ_DATA, 2, ReadRequest(0, 65536));
  ASSERT_TRUE(block);
  EXPECT_EQ(block->header.code, wire::CMD_DATA);
  EXPECT_EQ(block->payload, data);
  EXPECT_EQ(block->raw.size(), 65544u);

  // The same block over UDP is streamed in 1024-byte chunks.
  SimClient udp(sim.udp_port());
  ASSERT_TRUE(udp.Connect());
  ASSERT_TRUE(udp.Exchange(wire::CMD_QUERY_DATA, 1, QueryOf(wire::CMD_ATTLOG_RRQ)));
  const auto prepare = udp.Exchange(wire::CMD_READ_DATA, 2, ReadRequest(0, 65536));
  ASSERT_TRUE(prepare);
  EXPECT_EQ(prepare->header.code, wire::CMD_PREPARE_DATA);
  wire::ByteReader r(prepare->payload);
  EXPECT_EQ(r.U32(), 65536u);
  EXPECT_EQ(r.U32(), 1024u);
}

TEST(SimPacketLimit, AnswerBeyondTheLimitIsRefused) {
  struct Case {
    std::string platform;
    size_t payload;
    uint16_t code;
  };
  const Case cases[] = {
      {"ZEM510", 65536, wire::CMD_ACK_OK},
      {"ZEM510", 65537, wire::CMD_ACK_ERROR},
      {"AK3750", 504, wire::CMD_ACK_OK},
      {"AK3750", 505, wire::CMD_ACK_ERROR},
      {"ZEM600_3750WIFI", 3992, wire::CMD_ACK_OK},
      {"ZEM600_3750WIFI", 3993, wire::CMD_ACK_ERROR},
  };
  for (const Case& c : cases) {
    termsim::Simulator sim(WithPlatform(c.platform));
    ASSERT_TRUE(sim.StartTcp("127.0.0.1", 0));
    sim.SetCannedReply(wire::kFirmwareVersion, Pattern(c.payload));
    SimTcpClient tcp(sim.tcp_port());
    ASSERT_TRUE(tcp.Connect());
    const auto a = tcp.Exchange(wire::kFirmwareVersion, 1);
    ASSERT_TRUE(a) << c.platform << " " << c.payload;
    EXPECT_EQ(a->header.code, c.code) << c.platform << " " << c.payload;
  }
}

// A streamed read and a memory read too big for one packet: every data
// packet within the limit, the data whole.
TEST(SimPacketLimit, DataPacketsNeverExceedTheLimit) {
  struct Case {
    std::string platform;
    uint32_t max_packet;
    size_t limit;
  };
  const Case cases[] = {
      {"ZEM510", 0, 65544},
      {"AK3750", 0, 512},
      {"3750WIFI", 0, 4000},
      {"AK3750WIFI", 0, 4000},
      {"ZEM510", 2000, 2000},
      {"AK3750", 1032, 1032},
  };
  const auto data = Pattern(150000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.platform + " max_packet " + std::to_string(c.max_packet));
    termsim::Simulator sim(WithPlatform(c.platform, c.max_packet));
    ASSERT_TRUE(sim.StartTcp("127.0.0.1", 0));
    sim.SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
    termsim::BulkOptions options;
    options.chunk_size = 65536;  // the link caps it
    sim.SetBulkOptions(options);
    SimTcpClient tcp(sim.tcp_port());
    ASSERT_TRUE(tcp.Connect());

    tcp.Send(wire::CMD_ATTLOG_RRQ, 1);
    const auto prepare = tcp.Receive();
    ASSERT_TRUE(prepare);
    ASSERT_EQ(prepare->header.code, wire::CMD_PREPARE_DATA);
    wire::ByteReader r(prepare->payload);
    EXPECT_EQ(r.U32(), data.size());
    const uint32_t chunk = r.U32();
    EXPECT_EQ(chunk, c.limit - 8);
    ASSERT_GT(chunk, 0u);
    std::vector<uint8_t> got(data.size());
    for (size_t i = 0; i < (data.size() + chunk - 1) / chunk; ++i) {
      const auto p = tcp.Receive();
      ASSERT_TRUE(p) << "data packet " << i;
      EXPECT_LE(p->raw.size(), c.limit);
      const size_t at = static_cast<size_t>(p->header.connection_id) * chunk;
      ASSERT_LE(at + p->payload.size(), got.size());
      std::copy(p->payload.begin(), p->payload.end(), got.begin() + static_cast<ptrdiff_t>(at));
    }
    EXPECT_EQ(got, data);

    // A memory block the size AK3750 hosts ask for (40880 bytes): inline
    // when it fits one packet, else streamed within the limit.
    ASSERT_TRUE(tcp.Exchange(wire::CMD_QUERY_DATA, 2, QueryOf(wire::CMD_ATTLOG_RRQ)));
    constexpr uint32_t kBlock = 40880;
    tcp.Send(wire::CMD_READ_DATA, 3, ReadRequest(0, kBlock));
    const bool inline_block = kBlock + 8 <= c.limit;
    const size_t expected = inline_block ? 1 : 1 + (kBlock + chunk - 1) / chunk;
    size_t bytes = 0;
    for (size_t i = 0; i < expected; ++i) {
      const auto p = tcp.Receive();
      ASSERT_TRUE(p) << "packet " << i;
      EXPECT_LE(p->raw.size(), c.limit);
      if (p->header.code == wire::CMD_DATA) bytes += p->payload.size();
    }
    EXPECT_EQ(bytes, kBlock);
    EXPECT_FALSE(tcp.Receive(50));  // nothing beyond
  }
}

TEST(SimPacketLimit, UdpKeepsItsDatagramSize) {
  termsim::Simulator sim(WithPlatform("AK3750", 4000));
  ASSERT_TRUE(sim.StartUdp("127.0.0.1", 0));
  sim.SetDataSet(wire::CMD_ATTLOG_RRQ, {}, Pattern(3000));
  termsim::BulkOptions options;
  options.chunk_size = 4096;
  sim.SetBulkOptions(options);
  SimClient udp(sim.udp_port());
  ASSERT_TRUE(udp.Connect());
  const auto prepare = udp.Exchange(wire::CMD_ATTLOG_RRQ, 1);
  ASSERT_TRUE(prepare);
  wire::ByteReader r(prepare->payload);
  r.U32();
  EXPECT_EQ(r.U32(), 1024u);
}

TEST(SimPacketLimit, MaxPacketSetting) {
  struct Case {
    const char* line;
    bool ok;
    uint32_t value;
  };
  const Case cases[] = {
      {"max_packet=0", true, 0},       {"max_packet = 512", true, 512},
      {"max_packet=9", true, 9},       {"max_packet=65544", true, 65544},
      {"max_packet=8", false, 0},      {"max_packet=65545", false, 0},
      {"max_packet=big", false, 0},
  };
  for (const Case& c : cases) {
    termsim::Profile p;
    std::string error;
    EXPECT_EQ(termsim::ApplyProfileSetting(c.line, &p, &error), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(p.max_packet, c.value) << c.line;
    }
  }
}

}  // namespace
