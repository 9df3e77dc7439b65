// Fingerprint templates on the simulated terminal, packet by packet: the
// bulk downloads (buffered, streamed, piecewise), single-template reads,
// writes, appends, deletions, identify, and the template file format.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "sim_client.h"
#include "termsim/simulator.h"
#include "termsim/templates.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace {

using simtest::Answer;
using simtest::SimClient;
using termsim::FingerTemplate;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kUserTemplates = 6;
constexpr uint16_t kClearData = 14;
constexpr uint16_t kDeleteTemplate = 19;
constexpr uint16_t kWriteWithFlag = 87;
constexpr uint16_t kReadWithFlag = 88;
constexpr uint16_t kDeleteUserByText = 133;
constexpr uint16_t kWriteByText = 132;
constexpr uint16_t kDeleteByText = 134;
constexpr uint16_t kIdentify = 1011;
constexpr uint16_t kPiecewiseRecords = 2017;
constexpr uint16_t kReadLargeBlock = 2018;
constexpr uint16_t kFreeLargeBlocks = 2019;
constexpr uint16_t kPiecewiseAvailable = 2221;

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 13);
  return out;
}

FingerTemplate Tmpl(uint16_t pin, uint8_t finger, size_t size, uint8_t flag = 1) {
  return FingerTemplate{pin, finger, flag, Pattern(size, static_cast<uint8_t>(pin * 10 + finger))};
}

// Little request builder.
struct Req {
  Bytes b;
  Req& U8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Req& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  Req& U32(uint32_t v) { return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); }
  Req& Raw(const Bytes& v) {
    b.insert(b.end(), v.begin(), v.end());
    return *this;
  }
  Req& Text(const std::string& t, size_t width) {
    Bytes field(width, 0);
    std::copy_n(t.begin(), std::min(t.size(), width), field.begin());
    return Raw(field);
  }
};

Bytes PinFinger(uint16_t pin, uint8_t finger) { return Req().U16(pin).U8(finger).b; }
Bytes Write10(uint16_t pin, uint8_t finger, const Bytes& t) {
  return Req().U16(pin).U8(finger).U16(static_cast<uint16_t>(t.size())).Raw(t).b;
}
Bytes Write87(uint16_t pin, uint8_t finger, uint8_t flag, const Bytes& t) {
  return Req().U16(pin).U8(finger).U8(flag).U16(static_cast<uint16_t>(t.size())).Raw(t).b;
}
Bytes Append17(uint16_t pin, const Bytes& t) {
  return Req().U16(pin).U8(255).Raw(Bytes(8, 0)).U16(static_cast<uint16_t>(t.size())).Raw(t).b;
}
Bytes Write132(const std::string& id, uint8_t flag, uint8_t finger, const Bytes& t) {
  return Req().Text(id, 24).U8(flag).U8(finger).U16(static_cast<uint16_t>(t.size())).Raw(t).b;
}

// The counted bulk layout of `templates` (already by PIN and finger).
Bytes Counted(const std::vector<FingerTemplate>& templates) {
  Req body;
  for (const auto& t : templates) {
    body.U16(static_cast<uint16_t>(t.bytes.size() + 6)).U16(t.pin).U8(t.finger).U8(t.flag);
    body.Raw(t.bytes);
  }
  return Req().U32(static_cast<uint32_t>(body.b.size())).Raw(body.b).b;
}

class SimTemplatesTest : public ::testing::Test {
 protected:
  void Start(termsim::Profile profile = {}) {
    sim_ = std::make_unique<termsim::Simulator>(std::move(profile));
    ASSERT_TRUE(sim_->StartUdp("127.0.0.1", 0));
    client_ = std::make_unique<SimClient>(sim_->udp_port());
    ASSERT_TRUE(client_->Connect());
  }
  void SetUp() override { Start(); }

  Answer Ask(uint16_t code, const Bytes& payload = {}) {
    auto a = client_->Exchange(code, ++counter_, payload);
    EXPECT_TRUE(a) << "no answer to " << code;
    return a.value_or(Answer{});
  }
  uint16_t Code(uint16_t code, const Bytes& payload = {}) { return Ask(code, payload).header.code; }

  // A refusal and the reason in its connection word.
  void ExpectRefused(uint16_t code, const Bytes& payload, uint16_t reason) {
    const Answer a = Ask(code, payload);
    EXPECT_EQ(a.header.code, wire::CMD_ACK_ERROR) << "command " << code;
    EXPECT_EQ(a.header.connection_id, reason) << "command " << code;
  }

  // The chunks announced by a CMD_PREPARE_DATA answer, put together.
  Bytes CollectChunks(const Answer& prepare) {
    wire::ByteReader r(prepare.payload);
    const uint32_t total = r.U32();
    const uint32_t chunk = r.U32();
    EXPECT_TRUE(r.ok());
    if (!r.ok() || chunk == 0) return {};
    Bytes out(total);
    for (uint32_t got = 0; got < (total + chunk - 1) / chunk;) {
      auto p = client_->Receive();
      if (!p) break;
      if (p->header.code != wire::CMD_DATA) continue;
      const size_t at = size_t{p->header.connection_id} * chunk;
      if (at + p->payload.size() > out.size()) break;
      std::copy(p->payload.begin(), p->payload.end(), out.begin() + static_cast<long>(at));
      ++got;
    }
    return out;
  }

  std::optional<Bytes> Streamed(uint16_t code, const Bytes& payload) {
    const Answer a = Ask(code, payload);
    if (a.header.code != wire::CMD_PREPARE_DATA) return std::nullopt;
    return CollectChunks(a);
  }

  // Query, memory reads, free: what a buffered read brings. Nothing when
  // the query is not answered CMD_ACK_OK (its code in `code`).
  std::optional<Bytes> Buffered(uint16_t command, const Bytes& params, uint16_t* code = nullptr) {
    Bytes query = Req().U8(1).U16(command).Raw(params).b;
    query.resize(11, 0);
    const Answer q = Ask(wire::CMD_QUERY_DATA, query);
    if (code != nullptr) *code = q.header.code;
    if (q.header.code != wire::CMD_ACK_OK) return std::nullopt;
    wire::ByteReader r(q.payload);
    EXPECT_EQ(r.U8(), 0);  // plain
    const uint32_t stored = r.U32();
    const uint32_t size = r.U32();
    const uint32_t hash = r.U32();
    EXPECT_EQ(stored, size);
    Bytes out;
    while (out.size() < size) {
      const uint32_t n = std::min<uint32_t>(1024, size - static_cast<uint32_t>(out.size()));
      const Answer block =
          Ask(wire::CMD_READ_DATA, Req().U32(static_cast<uint32_t>(out.size())).U32(n).b);
      EXPECT_EQ(block.header.code, wire::CMD_DATA);
      if (block.header.code != wire::CMD_DATA) return std::nullopt;
      out.insert(out.end(), block.payload.begin(), block.payload.end());
    }
    EXPECT_EQ(wire::DataHash(out), hash);
    EXPECT_EQ(Code(wire::CMD_FREE_DATA), wire::CMD_ACK_OK);
    return out;
  }

  // Uploads `data` as a host does before a command that takes it.
  void Upload(const Bytes& data) {
    ASSERT_EQ(Code(wire::CMD_PREPARE_DATA, Req().U32(static_cast<uint32_t>(data.size())).b),
              wire::CMD_ACK_OK);
    for (size_t at = 0; at < data.size(); at += 1024) {
      const size_t n = std::min<size_t>(1024, data.size() - at);
      ASSERT_EQ(Code(wire::CMD_DATA, Bytes(data.begin() + static_cast<long>(at),
                                           data.begin() + static_cast<long>(at + n))),
                wire::CMD_ACK_OK);
    }
    const Answer hash = Ask(wire::kDataChecksum);
    wire::ByteReader r(hash.payload);
    EXPECT_EQ(r.U32(), wire::DataHash(data));
  }

  std::unique_ptr<termsim::Simulator> sim_;
  std::unique_ptr<SimClient> client_;
  uint16_t counter_ = 0;
};

TEST_F(SimTemplatesTest, WriteReadDeleteRoundTrip) {
  const Bytes t = Pattern(600, 7);
  EXPECT_EQ(Code(wire::CMD_USERTEMP_WRQ, Write10(12, 3, t)), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(12, 3), (FingerTemplate{12, 3, 1, t}));

  const Answer read = Ask(wire::CMD_USERTEMP_RRQ, PinFinger(12, 3));
  EXPECT_EQ(read.header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(read.payload, t);

  // A second write of the same finger replaces the first.
  const Bytes t2 = Pattern(90, 1);
  EXPECT_EQ(Code(wire::CMD_USERTEMP_WRQ, Write10(12, 3, t2)), wire::CMD_ACK_OK);
  EXPECT_EQ(Ask(wire::CMD_USERTEMP_RRQ, PinFinger(12, 3)).payload, t2);

  EXPECT_EQ(Code(kDeleteTemplate, PinFinger(12, 3)), wire::CMD_ACK_OK);
  EXPECT_FALSE(sim_->FindTemplate(12, 3));
  ExpectRefused(wire::CMD_USERTEMP_RRQ, PinFinger(12, 3), 2);
  ExpectRefused(kDeleteTemplate, PinFinger(12, 3), 2);
}

TEST_F(SimTemplatesTest, FlaggedWriteAndReadWithTrailingFlag) {
  const Bytes t = Pattern(300, 9);
  EXPECT_EQ(Code(kWriteWithFlag, Write87(40, 6, 3, t)), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(40, 6), (FingerTemplate{40, 6, 3, t}));

  const Answer a = Ask(kReadWithFlag, PinFinger(40, 6));
  EXPECT_EQ(a.header.code, wire::CMD_ACK_OK);
  Bytes expected = t;
  expected.push_back(3);
  EXPECT_EQ(a.payload, expected);
  ExpectRefused(kReadWithFlag, PinFinger(40, 7), 2);
}

TEST_F(SimTemplatesTest, AppendFillsTheFirstFreeFinger) {
  sim_->SetTemplates({Tmpl(5, 0, 60), Tmpl(5, 1, 60), Tmpl(5, 3, 60)});
  const Bytes t = Pattern(70, 4);
  EXPECT_EQ(Code(wire::CMD_APPEND_USERTEMP, Append17(5, t)), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(5, 2), (FingerTemplate{5, 2, 1, t}));
  EXPECT_EQ(Code(wire::CMD_APPEND_USERTEMP, Append17(5, t)), wire::CMD_ACK_OK);
  EXPECT_TRUE(sim_->FindTemplate(5, 4));

  // All ten fingers taken: no room.
  std::vector<FingerTemplate> full;
  for (uint8_t f = 0; f < 10; ++f) full.push_back(Tmpl(8, f, 55));
  sim_->SetTemplates(full);
  ExpectRefused(wire::CMD_APPEND_USERTEMP, Append17(8, t), 4);
  EXPECT_EQ(sim_->Templates().size(), 10u);
}

TEST_F(SimTemplatesTest, WriteAndDeleteByIdText) {
  termsim::User ann;
  ann.pin = 77;
  ann.id_text = "A-1001";
  sim_->SetUsers({ann});
  const Bytes t = Pattern(200, 2);
  EXPECT_EQ(Code(kWriteByText, Write132("A-1001", 3, 5, t)), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(77, 5), (FingerTemplate{77, 5, 3, t}));
  ExpectRefused(kWriteByText, Write132("nobody", 1, 5, t), 2);

  ExpectRefused(kDeleteByText, Req().Text("A-1001", 24).U8(4).b, 2);
  ExpectRefused(kDeleteByText, Req().Text("nobody", 24).U8(5).b, 2);
  EXPECT_EQ(Code(kDeleteByText, Req().Text("A-1001", 24).U8(5).b), wire::CMD_ACK_OK);
  EXPECT_TRUE(sim_->Templates().empty());
}

TEST_F(SimTemplatesTest, Version10WritesTakeTheUploadedTemplate) {
  Start(termsim::Profile::Tft());
  const Bytes t = Pattern(1800, 5);  // more than one packet
  Upload(t);
  EXPECT_EQ(Code(wire::CMD_USERTEMP_WRQ, Req().U16(31).U8(15).U16(1800).b), wire::CMD_ACK_OK);
  EXPECT_EQ(Code(wire::CMD_FREE_DATA), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(31, 15), (FingerTemplate{31, 15, 1, t}));

  Upload(t);
  EXPECT_EQ(Code(kWriteWithFlag, Req().U16(31).U8(2).U8(3).U16(1800).b), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->FindTemplate(31, 2), (FingerTemplate{31, 2, 3, t}));
  // The announced length must match the upload.
  ExpectRefused(kWriteWithFlag, Req().U16(31).U8(4).U8(1).U16(1799).b, 1);
  EXPECT_EQ(Code(wire::CMD_FREE_DATA), wire::CMD_ACK_OK);
  // Nothing uploaded: nothing to store.
  ExpectRefused(wire::CMD_USERTEMP_WRQ, Req().U16(31).U8(4).U16(1800).b, 1);
  EXPECT_FALSE(sim_->FindTemplate(31, 4));
}

TEST_F(SimTemplatesTest, Version10TerminalStreamsCommand9) {
  Start(termsim::Profile::Tft());
  const FingerTemplate big = Tmpl(3, 1, 2500);
  const FingerTemplate small = Tmpl(3, 2, 400);
  sim_->SetTemplates({big, small});
  EXPECT_EQ(Streamed(wire::CMD_USERTEMP_RRQ, PinFinger(3, 1)), big.bytes);
  EXPECT_EQ(Streamed(wire::CMD_USERTEMP_RRQ, PinFinger(3, 2)), small.bytes);
  ExpectRefused(wire::CMD_USERTEMP_RRQ, PinFinger(3, 9), 2);

  // 88 answers inline; a test may ask for either form.
  Bytes flagged = small.bytes;
  flagged.push_back(1);
  EXPECT_EQ(Ask(kReadWithFlag, PinFinger(3, 2)).payload, flagged);
  sim_->SetTemplateReadStreamed(wire::CMD_USERTEMP_RRQ, false);
  sim_->SetTemplateReadStreamed(kReadWithFlag, true);
  EXPECT_EQ(Ask(wire::CMD_USERTEMP_RRQ, PinFinger(3, 2)).payload, small.bytes);
  EXPECT_EQ(Streamed(kReadWithFlag, PinFinger(3, 2)), flagged);
}

TEST_F(SimTemplatesTest, TemplatesOfOneUser) {
  const std::vector<FingerTemplate> mine = {Tmpl(9, 0, 120), Tmpl(9, 7, 80, 3)};
  sim_->SetTemplates({Tmpl(2, 0, 100), mine[0], mine[1], Tmpl(10, 0, 90)});

  EXPECT_EQ(Buffered(kUserTemplates, Req().U16(9).b), Counted(mine));
  EXPECT_EQ(Streamed(kUserTemplates, Req().U16(9).b), Counted(mine));
  // A user without templates: a count of 0.
  EXPECT_EQ(Buffered(kUserTemplates, Req().U16(4).b), Bytes(4, 0));
  EXPECT_EQ(Streamed(kUserTemplates, Req().U16(4).b), Bytes(4, 0));
}

TEST_F(SimTemplatesTest, WholeTableByDataKind2) {
  // Before any templates are given, plain data sets answer.
  sim_->SetDataSet(wire::CMD_DB_RRQ, {2}, {1, 2, 3});
  EXPECT_EQ(Buffered(wire::CMD_DB_RRQ, {2}), (Bytes{1, 2, 3}));

  sim_->SetTemplates({});
  uint16_t code = 0;
  EXPECT_FALSE(Buffered(wire::CMD_DB_RRQ, {2}, &code));
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);  // nothing stored

  sim_->SetTemplates({Tmpl(20, 1, 700), Tmpl(3, 4, 500, 3), Tmpl(3, 0, 900)});
  const std::vector<FingerTemplate> ordered = {Tmpl(3, 0, 900), Tmpl(3, 4, 500, 3),
                                               Tmpl(20, 1, 700)};
  EXPECT_EQ(sim_->Templates(), ordered);
  EXPECT_EQ(sim_->TemplateTableBytes(), Counted(ordered));
  EXPECT_EQ(Buffered(wire::CMD_DB_RRQ, {2}), Counted(ordered));
  EXPECT_EQ(Streamed(wire::CMD_DB_RRQ, {2}), Counted(ordered));
  EXPECT_EQ(Buffered(wire::CMD_DB_RRQ, {}), Counted(ordered));  // old firmware: no kind
}

TEST_F(SimTemplatesTest, PiecewiseReadOnTheTftTerminal) {
  Start(termsim::Profile::Tft());
  std::vector<FingerTemplate> all;
  for (uint16_t pin = 1; pin <= 150; ++pin) {
    all.push_back(Tmpl(pin, 0, 300 + pin));
    all.push_back(Tmpl(pin, 6, 200, 3));
  }
  sim_->SetTemplates(all);
  EXPECT_EQ(Code(kPiecewiseAvailable), wire::CMD_ACK_OK);

  const Answer count = Ask(kPiecewiseRecords);
  ASSERT_EQ(count.header.code, wire::CMD_ACK_OK);
  wire::ByteReader r(count.payload);
  const uint32_t records = r.U32();
  EXPECT_EQ(records, 300u);

  Bytes got;
  for (uint32_t start = 0; start < records; start += 200) {
    const uint32_t n = std::min<uint32_t>(200, records - start);
    const Answer prepare = Ask(kReadLargeBlock, Req().U32(start).U32(n).b);
    ASSERT_EQ(prepare.header.code, wire::CMD_PREPARE_DATA);
    wire::ByteReader pr(prepare.payload);
    const uint32_t size = pr.U32();
    const uint16_t checksum = pr.U16();
    Bytes block;
    for (;;) {
      auto p = client_->Receive();
      ASSERT_TRUE(p);
      if (p->header.code == wire::CMD_ACK_OK) break;
      ASSERT_EQ(p->header.code, wire::CMD_DATA);
      block.insert(block.end(), p->payload.begin(), p->payload.end());
    }
    EXPECT_EQ(block.size(), size);
    EXPECT_EQ(wire::InternetChecksum(block), checksum);
    got.insert(got.end(), block.begin(), block.end());
  }
  EXPECT_EQ(Code(kFreeLargeBlocks), wire::CMD_ACK_OK);
  const Bytes table = Counted(sim_->Templates());
  EXPECT_EQ(got, Bytes(table.begin() + 4, table.end()));  // the records without the count
}

TEST_F(SimTemplatesTest, PiecewiseReadUnknownWithoutIt) {
  Start(termsim::Profile::Ver660());
  sim_->SetTemplates({Tmpl(1, 0, 100)});
  EXPECT_EQ(Code(kPiecewiseAvailable), wire::CMD_ACK_UNKNOWN);
  EXPECT_EQ(Code(kPiecewiseRecords), wire::CMD_ACK_UNKNOWN);
}

TEST_F(SimTemplatesTest, IdentifyByTemplateOrByTheTestsAnswer) {
  const FingerTemplate t = Tmpl(256, 2, 150);
  sim_->SetTemplates({Tmpl(4, 0, 150), t});
  EXPECT_EQ(Ask(kIdentify, t.bytes).payload, (Bytes{0x00, 0x01, 0, 0}));
  EXPECT_EQ(Ask(kIdentify, Pattern(150, 99)).payload, Bytes(4, 0));  // no match

  sim_->SetIdentifyAnswer(4321);
  const Answer a = Ask(kIdentify, Pattern(150, 99));
  EXPECT_EQ(a.header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(a.payload, (Bytes{0xE1, 0x10, 0, 0}));
  sim_->SetIdentifyAnswer(std::nullopt);
  EXPECT_EQ(Ask(kIdentify, t.bytes).payload, (Bytes{0x00, 0x01, 0, 0}));
  ExpectRefused(kIdentify, {}, 1);
}

TEST_F(SimTemplatesTest, DeletingAUserDropsItsTemplates) {
  termsim::User a;
  a.pin = 1;
  a.id_text = "one";
  termsim::User b;
  b.pin = 2;
  b.id_text = "two";
  sim_->SetUsers({a, b});
  sim_->SetTemplates({Tmpl(1, 0, 60), Tmpl(1, 5, 60), Tmpl(2, 0, 60), Tmpl(3, 0, 60)});

  EXPECT_EQ(Code(wire::CMD_DELETE_USER, Req().U16(1).b), wire::CMD_ACK_OK);
  EXPECT_EQ(Code(kDeleteUserByText, Req().Text("two", 24).U8(0).b), wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->Templates(), (std::vector<FingerTemplate>{Tmpl(3, 0, 60)}));
  // A refused deletion leaves the templates alone.
  ExpectRefused(wire::CMD_DELETE_USER, Req().U16(3).b, 2);
  EXPECT_EQ(sim_->Templates().size(), 1u);
}

TEST_F(SimTemplatesTest, ClearDataByKind) {
  termsim::User u;
  u.pin = 1;
  const std::vector<FingerTemplate> some = {Tmpl(1, 0, 60), Tmpl(2, 1, 60)};
  struct Case {
    uint8_t kind;
    bool templates_stay;
    bool users_stay;
  };
  for (const Case& c :
       {Case{5, true, false}, Case{1, true, true}, Case{2, false, true}, Case{0, false, false}}) {
    sim_->SetUsers({u});
    sim_->SetTemplates(some);
    EXPECT_EQ(Code(kClearData, {c.kind}), wire::CMD_ACK_OK);
    EXPECT_EQ(sim_->Templates().size(), c.templates_stay ? 2u : 0u) << "kind " << int{c.kind};
    EXPECT_EQ(sim_->Users().size(), c.users_stay ? 1u : 0u) << "kind " << int{c.kind};
  }
}

TEST_F(SimTemplatesTest, MalformedRequestsAreRefused) {
  sim_->SetTemplates({Tmpl(1, 0, 60)});
  const Bytes t = Pattern(80, 3);
  Bytes long_by_one = Write10(1, 1, t);
  long_by_one.push_back(0);
  Bytes short_by_one = Write10(1, 1, t);
  short_by_one.pop_back();
  const struct {
    uint16_t code;
    Bytes request;
  } cases[] = {
      {kReadWithFlag, Req().U16(1).b},
      {kReadWithFlag, {}},
      {kDeleteTemplate, Req().U16(1).b},
      {wire::CMD_USERTEMP_WRQ, long_by_one},
      {wire::CMD_USERTEMP_WRQ, short_by_one},
      {wire::CMD_USERTEMP_WRQ, Req().U16(1).U8(1).b},  // no length
      {wire::CMD_USERTEMP_WRQ, Write10(1, 16, t)},     // finger above 15
      {wire::CMD_USERTEMP_WRQ, Write10(1, 1, {})},     // empty template
      {wire::CMD_USERTEMP_WRQ, Req().U16(1).U8(1).U16(65535).Raw(t).b},
      {kWriteWithFlag, Req().U16(1).U8(1).U8(1).U16(81).Raw(t).b},
      {wire::CMD_APPEND_USERTEMP, Req().U16(1).U8(255).Raw(Bytes(8, 0)).U16(79).Raw(t).b},
      {wire::CMD_APPEND_USERTEMP, Req().U16(1).U8(255).b},
      {wire::CMD_APPEND_USERTEMP, Append17(1, {})},
      {kWriteByText, Req().Text("1", 20).b},
      {kDeleteByText, Req().Text("1", 24).b},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "command " << c.code << ", " << c.request.size() << " bytes");
    ExpectRefused(c.code, c.request, 1);
  }
  EXPECT_EQ(sim_->Templates(), (std::vector<FingerTemplate>{Tmpl(1, 0, 60)}));
  // A shorter command 9 asks for the user table, not a template.
  EXPECT_EQ(Code(wire::CMD_USERTEMP_RRQ, Req().U16(1).b), wire::CMD_ACK_UNKNOWN);
}

TEST_F(SimTemplatesTest, ProfileRefusalsAndUnknownsStandFirst) {
  termsim::Profile p;
  p.unknown_commands = {wire::CMD_DB_RRQ};
  p.refused_commands = {wire::CMD_USERTEMP_WRQ};
  Start(p);
  sim_->SetTemplates({Tmpl(1, 0, 60)});
  uint16_t code = 0;
  EXPECT_FALSE(Buffered(wire::CMD_DB_RRQ, {2}, &code));
  EXPECT_EQ(code, wire::CMD_ACK_UNKNOWN);
  EXPECT_EQ(Code(wire::CMD_USERTEMP_WRQ, Write10(1, 1, Pattern(60, 1))), wire::CMD_ACK_ERROR);
  EXPECT_FALSE(sim_->FindTemplate(1, 1));

  sim_->SetCannedReply(wire::CMD_USERTEMP_RRQ, Bytes{1, 2, 3});
  EXPECT_EQ(Ask(wire::CMD_USERTEMP_RRQ, PinFinger(1, 0)).payload, (Bytes{1, 2, 3}));
}

TEST(SimTemplateFileTest, SaveLoadRoundTrip) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "termsim_templates_roundtrip.txt").string();
  const std::vector<FingerTemplate> templates = {Tmpl(1, 0, 40), Tmpl(65534, 9, 3, 3),
                                                 Tmpl(7, 15, 1200)};
  std::string error;
  ASSERT_TRUE(termsim::SaveTemplates(path, templates, &error)) << error;
  {
    std::ofstream more(path, std::ios::app);
    more << "\n# a comment\n";
  }
  std::vector<FingerTemplate> loaded;
  ASSERT_TRUE(termsim::LoadTemplates(path, &loaded, &error)) << error;
  EXPECT_EQ(loaded, templates);
  std::remove(path.c_str());
}

TEST(SimTemplateFileTest, BadLinesNameTheirLine) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "termsim_templates_bad.txt").string();
  {
    std::ofstream out(path);
    out << "pin=1\tfinger=0\tflag=1\tdata=0a0b\n";
    out << "pin=2\tfinger=x\tdata=0a0b\n";
  }
  std::vector<FingerTemplate> loaded;
  std::string error;
  EXPECT_FALSE(termsim::LoadTemplates(path, &loaded, &error));
  EXPECT_NE(error.find(":2:"), std::string::npos) << error;
  EXPECT_NE(error.find("finger=x"), std::string::npos) << error;
  std::remove(path.c_str());

  FingerTemplate t;
  EXPECT_TRUE(termsim::ParseTemplateLine("pin=3\tdata=ff", &t, &error)) << error;
  EXPECT_EQ(t, (FingerTemplate{3, 0, 1, {0xFF}}));
  for (const char* bad : {"finger=1\tdata=ff", "pin=3", "pin=3\tdata=f", "pin=0\tdata=ff",
                          "pin=3\tdata=ff\tcolour=red", "pin=3 data=ff", "pin=70000\tdata=ff"}) {
    EXPECT_FALSE(termsim::ParseTemplateLine(bad, &t, &error)) << bad;
  }
}

}  // namespace
