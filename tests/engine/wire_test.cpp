// The shared wire format: packet checksum, data hash, authentication key,
// sequence-number order, code names and the bounded byte reader.
#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <vector>

#include "wire/auth.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace {

std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(PacketTest, ConnectPacketBytes) {
  std::array<uint8_t, 8> out{};
  ASSERT_EQ(wire::BuildPacket(wire::CMD_CONNECT, 0, 0, {}, out), 8u);
  EXPECT_EQ(out, (std::array<uint8_t, 8>{0xE8, 0x03, 0x17, 0xFC, 0, 0, 0, 0}));
  EXPECT_TRUE(wire::ChecksumValid(out));
}

TEST(PacketTest, ChecksumFoldsCarriesAndOddByte) {
  // 0xFFFF + 0x0001 folds to 0x0001; the odd trailing byte adds as is.
  const std::array<uint8_t, 5> words{0xFF, 0xFF, 0x01, 0x00, 0x05};
  EXPECT_EQ(wire::InternetChecksum(words), static_cast<uint16_t>(~0x0006));
  EXPECT_EQ(wire::InternetChecksum({}), 0xFFFF);
}

TEST(PacketTest, ChecksumIgnoresItsOwnFieldAndCatchesDamage) {
  std::vector<uint8_t> payload{1, 2, 3, 4, 5};
  std::vector<uint8_t> packet(13);
  ASSERT_EQ(wire::BuildPacket(1501, 0x1234, 77, payload, packet), 13u);
  EXPECT_TRUE(wire::ChecksumValid(packet));
  EXPECT_EQ(wire::PacketChecksum(packet), wire::LoadU16(std::span(packet).subspan<2, 2>()));
  packet[10] ^= 0x40;
  EXPECT_FALSE(wire::ChecksumValid(packet));
  wire::SealPacket(packet);
  EXPECT_TRUE(wire::ChecksumValid(packet));
}

TEST(PacketTest, BuildRefusesSmallOutputAndParseRefusesRunts) {
  std::array<uint8_t, 9> small{};
  std::vector<uint8_t> payload(2, 0xAA);
  EXPECT_EQ(wire::BuildPacket(11, 1, 2, payload, small), 0u);
  std::array<uint8_t, 7> runt{};
  EXPECT_FALSE(wire::ParsePacket(runt).has_value());
  EXPECT_FALSE(wire::ChecksumValid(runt));

  std::array<uint8_t, 10> ok{};
  ASSERT_EQ(wire::BuildPacket(2000, 0xBEEF, 0x0102, std::vector<uint8_t>{9, 8}, ok), 10u);
  auto view = wire::ParsePacket(ok);
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view->header.code, 2000);
  EXPECT_EQ(view->header.connection_id, 0xBEEF);
  EXPECT_EQ(view->header.reply_counter, 0x0102);
  EXPECT_EQ(std::vector<uint8_t>(view->payload.begin(), view->payload.end()),
            (std::vector<uint8_t>{9, 8}));
}

TEST(CounterTest, OlderAcrossTheWrap) {
  struct Case {
    uint16_t a, b;
    bool older;
  };
  const Case cases[] = {
      {4, 5, true},      {5, 5, false},    {6, 5, false},     {65535, 0, true},
      {0, 65535, false}, {65530, 3, true}, {3, 65530, false}, {0, 1, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wire::CounterOlder(c.a, c.b), c.older) << c.a << " vs " << c.b;
  }
}

TEST(HashTest, KnownValues) {
  EXPECT_EQ(wire::DataHash(Bytes("abc")), 26499u);
  EXPECT_EQ(wire::DataHash({}), 0u);
  // Long enough to fold the top nibble back many times; stays below the modulus.
  std::vector<uint8_t> data(4096);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  EXPECT_LT(wire::DataHash(data), 16711679u);
  EXPECT_EQ(wire::DataHash(data), wire::ShiftFoldHash(data) % 16711679u);
}

TEST(HashTest, FoldCopiesTheSignBit) {
  // Eight 0xF0 bytes push a set bit 31 into the fold: the shift must copy it.
  const std::vector<uint8_t> data(8, 0xF0);
  uint32_t h = 0;
  for (uint8_t b : data) {
    h = (h << 4) + b;
    const uint32_t g = h & 0xF0000000u;
    const uint32_t shifted = (g & 0x80000000u) ? (0xFFFFFF00u | (g >> 24)) : (g >> 24);
    if (g != 0) h ^= shifted ^ g;  // sign-extended shift, by hand
  }
  EXPECT_EQ(wire::ShiftFoldHash(data), h);
}

TEST(AuthTest, KeyLayoutAndRoundTrip) {
  EXPECT_EQ(wire::kAuthMask, (std::array<uint8_t, 4>{0x51, 0x58, 0x54, 0x4B}));
  // Password 1 reversed is bit 31; plus connection 0x0102.
  const uint32_t k = 0x80000000u + 0x0102;
  const uint8_t t = 0x5A;
  const auto key = wire::MakeAuthKey(1, 0x0102, t);
  const uint8_t k0 = static_cast<uint8_t>(k), k1 = static_cast<uint8_t>(k >> 8),
                k2 = static_cast<uint8_t>(k >> 16), k3 = static_cast<uint8_t>(k >> 24);
  EXPECT_EQ(key[0], static_cast<uint8_t>(k2 ^ 0x54 ^ t));
  EXPECT_EQ(key[1], static_cast<uint8_t>(k3 ^ 0x4B ^ t));
  EXPECT_EQ(key[2], t);
  EXPECT_EQ(key[3], static_cast<uint8_t>(k1 ^ 0x58 ^ t));
  (void)k0;  // masked k0 does not survive the salt

  for (uint32_t password : {0u, 1u, 123456u, 0xFFFFFFFFu}) {
    for (uint8_t salt : {0, 7, 255}) {
      const auto proof = wire::MakeAuthKey(password, 0xABCD, salt);
      EXPECT_TRUE(wire::AuthKeyMatches(proof, password, 0xABCD));
      // Differences that reach k1..k3; one confined to k0 cannot be seen.
      EXPECT_FALSE(wire::AuthKeyMatches(proof, password ^ 1u, 0xABCD));
      EXPECT_FALSE(wire::AuthKeyMatches(proof, password, 0xAACD));
    }
  }
}

TEST(CodesTest, NamesForTracing) {
  EXPECT_EQ(wire::CodeName(wire::CMD_CONNECT), "CMD_CONNECT");
  EXPECT_EQ(wire::CodeName(2000), "CMD_ACK_OK");
  EXPECT_EQ(wire::CodeName(65534), "CMD_ACK_NO");
  EXPECT_EQ(wire::CodeName(65531), "CMD_ACK_ERROR_DATA");
  EXPECT_EQ(wire::CodeName(1100), "1100");
  EXPECT_EQ(wire::CodeName(500), "500");
}

TEST(ByteReaderTest, NeverReadsPastTheEnd) {
  const std::array<uint8_t, 5> bytes{1, 2, 3, 4, 5};
  wire::ByteReader r(bytes);
  EXPECT_EQ(r.U32(), 0x04030201u);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.U16(), 0);  // one byte left: fails and yields zero
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.U8(), 0);
  EXPECT_TRUE(r.View(1).empty());

  const std::array<uint8_t, 4> text{'a', 'b', 0, 'c'};
  wire::ByteReader t(text);
  EXPECT_EQ(t.FixedText(4), "ab");
  EXPECT_TRUE(t.ok());
}

TEST(ByteWriterTest, NeverWritesPastTheEnd) {
  std::array<uint8_t, 6> out{};
  out.fill(0xEE);
  wire::ByteWriter w{std::span<uint8_t>(out).first(5)};
  w.U32(0x11223344);
  w.U16(0x5566);  // does not fit
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(out[4], 0xEE);
  EXPECT_EQ(out[5], 0xEE);
  EXPECT_EQ(w.size(), 4u);

  std::array<uint8_t, 4> text{};
  wire::ByteWriter tw(text);
  tw.FixedText("abcdef", 4);
  EXPECT_EQ(text, (std::array<uint8_t, 4>{'a', 'b', 'c', 0}));
}

}  // namespace
