// The engine's option cache over an in-process terminal whose answers each
// test scripts: what the probe asks, which reads it answers, how writes
// change it, and when it steps aside.
#include "connection/option_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "wire/codes.h"

namespace enginetest {
namespace {

using wire::CMD_ACK_ERROR;
using wire::CMD_ACK_OK;

constexpr char kFullProbeText[] =
    "~OS=?,ExtendFmt=?,~ExtendFmt=?,ExtendOPLog=?,~ExtendOPLog=?,~Platform=?,~QXFPVersion=?,"
    "WorkCode=?,~SSR=?,~PIN2Width=?,~UserExtFmt=?,BuildVersion=?,AttPhotoForSDK=?,"
    "~IsOnlyRFMachine=?,CameraOpen=?,CompatOldFirmware=?,IsSupportPull=?,Language=?,"
    "~SerialNumber=?,FaceFunOn=?,~DeviceName=?";

std::vector<uint8_t> Text(const std::string& s, bool nul = true) {
  std::vector<uint8_t> out(s.begin(), s.end());
  if (nul) out.push_back(0);
  return out;
}

std::string TextOf(const std::vector<uint8_t>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()),
                     strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

class OptionCacheTest : public EngineFixture {
 protected:
  void SetUp() override {
    Open();
    term.on_command = [this](FakeTerminal& t, const Command& c) { Terminal(t, c); };
  }

  // The terminal: a probe answered as scripted (or not at all), option reads
  // from `options`, writes into it (unless refused).
  void Terminal(FakeTerminal& t, const Command& c) {
    const std::string text = TextOf(c.payload);
    if (c.code == wire::kOptionProbe) {
      if (probe_code) t.Answer(c, *probe_code, Text(probe_answer));
    } else if (c.code == wire::CMD_OPTIONS_RRQ) {
      auto it = options.find(text);
      if (it == options.end()) {
        t.Answer(c, CMD_ACK_ERROR);
      } else {
        t.Answer(c, CMD_ACK_OK, Text(it->first + "=" + it->second));
      }
    } else if (c.code == wire::CMD_OPTIONS_WRQ || c.code == devwire::kManufacturerOptionWrite) {
      if (refuse_writes) {
        t.Answer(c, CMD_ACK_ERROR);
        return;
      }
      const size_t eq = text.find('=');
      options[text.substr(0, eq)] = text.substr(eq + 1);
      t.Answer(c, CMD_ACK_OK);
    } else {
      t.Behave(c);
    }
  }

  // One option read through the command path: its outcome and answer text.
  uint16_t Read(const std::string& name, std::string* answer = nullptr, size_t room = 200) {
    std::vector<uint8_t> buffer(std::max(room, name.size() + 1), 0xEE);
    std::copy(name.begin(), name.end(), buffer.begin());
    buffer[name.size()] = 0;
    uint16_t code = wire::CMD_OPTIONS_RRQ;
    devwire::SendCommand(*conn, code, std::span<const uint8_t>(buffer).first(name.size() + 1),
                         std::span<uint8_t>(buffer).first(room), 100);
    if (answer != nullptr)
      *answer = TextOf(std::vector<uint8_t>(buffer.begin(), buffer.begin() + room));
    return code;
  }

  uint16_t Write(const std::string& assignment, uint16_t command = wire::CMD_OPTIONS_WRQ) {
    std::vector<uint8_t> data = Text(assignment);
    uint16_t code = command;
    devwire::SendCommand(*conn, code, data, {}, 100);
    return code;
  }

  size_t Exchanges() const { return term.commands.size(); }

  std::optional<uint16_t> probe_code = CMD_ACK_OK;
  std::string probe_answer = "~OS=1,~Platform=ZEM510,Language=69,~DeviceName=B3-C,WorkCode=0";
  std::map<std::string, std::string> options = {
      {"~OS", "1"},      {"~Platform", "ZEM510"},   {"Language", "69"},    {"~DeviceName", "B3-C"},
      {"WorkCode", "0"}, {"IPAddress", "10.1.1.9"}, {"QXFaceVersion", "7"}};
  bool refuse_writes = false;
};

TEST_F(OptionCacheTest, ProbeAsksForTheWellKnownOptionsOnce) {
  std::string answer;
  EXPECT_EQ(Read("~Platform", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "~Platform=ZEM510");
  ASSERT_EQ(term.Count(wire::kOptionProbe), 1u);
  const Command probe = term.Sent(wire::kOptionProbe)[0];
  EXPECT_EQ(probe.payload, Text(kFullProbeText, false));
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 0u);
  EXPECT_EQ(devwire::OptionProbeRequest(), kFullProbeText);

  // Every later read of a listed option costs nothing.
  const size_t before = Exchanges();
  for (const char* name : {"~OS", "Language", "~DeviceName", "WorkCode", "~Platform"}) {
    EXPECT_EQ(Read(name, &answer), CMD_ACK_OK) << name;
    EXPECT_EQ(answer, std::string(name) + "=" + options[name]);
  }
  EXPECT_EQ(Exchanges(), before);
}

TEST_F(OptionCacheTest, CachedAnswerLooksLikeTheTerminalsAndReturnsZero) {
  ASSERT_EQ(Read("Language"), CMD_ACK_OK);
  std::vector<uint8_t> buffer(32, 0xEE);
  const std::string name = "Language";
  std::copy(name.begin(), name.end(), buffer.begin());
  buffer[name.size()] = 0;
  uint16_t code = wire::CMD_OPTIONS_RRQ;
  EXPECT_EQ(
      devwire::SendCommand(*conn, code, std::span<const uint8_t>(buffer).first(9), buffer, 100), 0);
  EXPECT_EQ(code, CMD_ACK_OK);
  std::vector<uint8_t> expected = Text("Language=69");
  expected.resize(32, 0);  // the rest of the buffer zeroed, as for a real reply
  EXPECT_EQ(buffer, expected);

  // Too little room: cut, and still terminated.
  std::string answer;
  EXPECT_EQ(Read("~DeviceName", &answer, 8), CMD_ACK_OK);
  EXPECT_EQ(answer, "~Device");
}

TEST_F(OptionCacheTest, ListedKeyMissingFromTheAnswerIsUnknownWithoutAnExchange) {
  ASSERT_EQ(Read("~OS"), CMD_ACK_OK);
  const size_t before = Exchanges();
  EXPECT_EQ(Read("FaceFunOn"), CMD_ACK_ERROR);
  EXPECT_EQ(Exchanges(), before);
}

TEST_F(OptionCacheTest, OtherOptionsGoToTheTerminal) {
  ASSERT_EQ(Read("~OS"), CMD_ACK_OK);
  std::string answer;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Read("IPAddress", &answer), CMD_ACK_OK);
    EXPECT_EQ(answer, "IPAddress=10.1.1.9");
  }
  EXPECT_EQ(Read("NoSuchOption"), CMD_ACK_ERROR);
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 3u);
  EXPECT_EQ(term.Count(wire::kOptionProbe), 1u);
}

TEST_F(OptionCacheTest, AcceptedWritesUpdateTheCacheRefusedOnesDoNot) {
  EXPECT_EQ(Write("Language=2"), CMD_ACK_OK);
  // The write ran the probe, after the terminal took the value.
  EXPECT_EQ(term.commands.back().code, wire::kOptionProbe);
  std::string answer;
  const size_t before = Exchanges();
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=2");

  // Manufacturer writes count the same.
  EXPECT_EQ(Write("Language=3", devwire::kManufacturerOptionWrite), CMD_ACK_OK);
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=3");
  // A value written to an option the probe did not ask for is cached too.
  EXPECT_EQ(Write("Volume=5"), CMD_ACK_OK);
  EXPECT_EQ(Read("Volume", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Volume=5");
  EXPECT_EQ(Exchanges(), before + 2);  // the two writes

  refuse_writes = true;
  EXPECT_EQ(Write("Language=4"), CMD_ACK_ERROR);
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=3");
}

TEST_F(OptionCacheTest, ScrambledSystemOptionWritesAreReadFromTheTerminal) {
  // Without "~OS" the host scrambles '~' values; the terminal stores the
  // plain text, which this terminal shows by storing what it is told here.
  probe_answer = "~OS=,~Platform=ZEM100,~DeviceName=F4,Language=69";
  options["~OS"] = "";
  ASSERT_EQ(Read("~DeviceName"), CMD_ACK_OK);
  EXPECT_EQ(Write("~DeviceName=0A4E2F5D3833"), CMD_ACK_OK);
  options["~DeviceName"] = "Dock 9";  // what the terminal made of it
  std::string answer;
  EXPECT_EQ(Read("~DeviceName", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "~DeviceName=Dock 9");
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 1u);
  // ... and stays read from the terminal.
  EXPECT_EQ(Read("~DeviceName", &answer), CMD_ACK_OK);
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 2u);

  // Plain options are still cached on such a terminal.
  EXPECT_EQ(Write("Language=2"), CMD_ACK_OK);
  const size_t before = Exchanges();
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=2");
  EXPECT_EQ(Exchanges(), before);
}

TEST_F(OptionCacheTest, WithOsSystemOptionWritesAreCached) {
  ASSERT_EQ(Read("~OS"), CMD_ACK_OK);
  EXPECT_EQ(Write("~DeviceName=Dock 9"), CMD_ACK_OK);
  const size_t before = Exchanges();
  std::string answer;
  EXPECT_EQ(Read("~DeviceName", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "~DeviceName=Dock 9");
  EXPECT_EQ(Exchanges(), before);
}

// A probe that gives nothing usable leaves the cache out of the way for the
// rest of the connection: every read goes to the terminal, and the probe is
// not tried again.
struct FailedProbe {
  const char* what;
  std::optional<uint16_t> code;
  std::string answer;
};

void PrintTo(const FailedProbe& p, std::ostream* out) { *out << p.what; }

class FailedProbeTest : public OptionCacheTest,
                        public ::testing::WithParamInterface<FailedProbe> {};

TEST_P(FailedProbeTest, EveryReadGoesToTheTerminal) {
  probe_code = GetParam().code;
  probe_answer = GetParam().answer;
  std::string answer;
  EXPECT_EQ(Read("~OS"), CMD_ACK_OK);
  // One probe command (a silent terminal gets its packet sent more than once).
  const size_t probes = term.Count(wire::kOptionProbe);
  EXPECT_GE(probes, 1u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Read("~Platform", &answer), CMD_ACK_OK);
    EXPECT_EQ(answer, "~Platform=ZEM510");
    EXPECT_EQ(Read("FaceFunOn"), CMD_ACK_ERROR);
  }
  EXPECT_EQ(Write("Language=2"), CMD_ACK_OK);
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=2");
  EXPECT_EQ(term.Count(wire::kOptionProbe), probes);
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 6u);
}

INSTANTIATE_TEST_SUITE_P(
    Probes, FailedProbeTest,
    ::testing::Values(FailedProbe{"Unknown", wire::CMD_ACK_UNKNOWN, ""},
                      FailedProbe{"Refused", CMD_ACK_ERROR, ""},
                      FailedProbe{"Silent", std::nullopt, ""}, FailedProbe{"Empty", CMD_ACK_OK, ""},
                      FailedProbe{"NoPairs", CMD_ACK_OK, "NOT SUPPORTED"},
                      FailedProbe{"OnlyForeignKeys", CMD_ACK_OK, "Volume=3,Colour=red"},
                      FailedProbe{"OnlyKeysWithoutValues", CMD_ACK_OK, "~OS,~Platform,,"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(OptionCacheTest, ProbeAnswerKeepsOnlyWellFormedListedEntries) {
  probe_answer = "Volume=3,~Platform=ZEM510,junk,=x,Language=,~OS=1";
  std::string answer;
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=");
  // Not listed by the probe: asked from the terminal, which does not know it.
  EXPECT_EQ(Read("Volume"), CMD_ACK_ERROR);
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 1u);
}

TEST_F(OptionCacheTest, ManyChangedValuesKeepTheCacheRight) {
  ASSERT_EQ(Read("~OS"), CMD_ACK_OK);
  // Every changed value takes new room until the table is compacted.
  const std::string long_value(3000, 'v');
  for (int i = 0; i < 1000; ++i) {
    devwire::ApplyOptionWrite(*conn, "~DeviceName=" + long_value + std::to_string(i));
  }
  std::string answer;
  EXPECT_EQ(Read("~DeviceName", &answer, 4000), CMD_ACK_OK);
  EXPECT_EQ(answer, "~DeviceName=" + long_value + "999");
  EXPECT_EQ(Read("Language", &answer), CMD_ACK_OK);
  EXPECT_EQ(answer, "Language=69");
  EXPECT_EQ(term.Count(wire::CMD_OPTIONS_RRQ), 0u);
}

TEST_F(OptionCacheTest, TheCallersLastErrorIsNotTheProbes) {
  probe_code = wire::CMD_ACK_UNKNOWN;
  EXPECT_EQ(Read("~Platform"), CMD_ACK_OK);
  EXPECT_EQ(conn->last_error, 0);
}

}  // namespace
}  // namespace enginetest
