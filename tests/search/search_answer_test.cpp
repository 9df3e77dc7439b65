// How one answer datagram of a device search becomes a result line.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "connection/device_search.h"

namespace {

std::string Line(int no, const std::string& name, const std::string& mac, const std::string& ip,
                 const std::string& sn) {
  return "no=" + std::to_string(no) + "\tstatus=1\tpolicy=1\tcategory=1\tname=" + name +
         "\tport=4370\tisfromPSRV=0\tmac=" + mac + "\ttcpip=" + ip + "\tsn=" + sn;
}

devwire::SearchAnswer Parse(const std::string& text, int number = 0) {
  return devwire::ParseSearchAnswer(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), number);
}

struct AnswerCase {
  const char* what;
  std::string datagram;
  bool answered;
  std::optional<std::string> line;
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.what; }

class SearchAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(SearchAnswerTest, Parses) {
  const AnswerCase& c = GetParam();
  const devwire::SearchAnswer a = Parse(c.datagram, 3);
  EXPECT_EQ(a.answered, c.answered);
  EXPECT_EQ(a.line, c.line);
}

const std::string kMac = "00:17:61:10:20:30";

INSTANTIATE_TEST_SUITE_P(
    Answers, SearchAnswerTest,
    ::testing::Values(
        AnswerCase{"FourFields", "G" + kMac + "/10.0.0.9/F7/SN123", true,
                   Line(3, "F7", kMac, "10.0.0.9", "SN123")},
        AnswerCase{"MarkW", "W" + kMac + "/10.0.0.9/F7/SN123", true,
                   Line(3, "F7", kMac, "10.0.0.9", "SN123")},
        AnswerCase{"MarkX", "X" + kMac + "/10.0.0.9/F7/SN123", true,
                   Line(3, "F7", kMac, "10.0.0.9", "SN123")},
        AnswerCase{"FifthFieldIgnored", "G" + kMac + "/10.0.0.9/F7/SN123/extra", true,
                   Line(3, "F7", kMac, "10.0.0.9", "SN123")},
        AnswerCase{"MacAndIpOnly", "G" + kMac + "/10.0.0.9", true,
                   Line(3, "null", kMac, "10.0.0.9", "null")},
        AnswerCase{"ThreeFields", "G" + kMac + "/10.0.0.9/F7", true,
                   Line(3, "null", kMac, "10.0.0.9", "null")},
        AnswerCase{"EmptyFieldsDoNotCount", "G" + kMac + "//10.0.0.9///", true,
                   Line(3, "null", kMac, "10.0.0.9", "null")},
        AnswerCase{"EndsAtNul", std::string("G") + kMac + "/10.0.0.9/F7/SN1\0/junk", true,
                   Line(3, "F7", kMac, "10.0.0.9", "SN1")},
        AnswerCase{"OneField", "G" + kMac, true, std::nullopt},
        AnswerCase{"NullMac", "G(NULL)/10.0.0.9/F7/SN123", true, std::nullopt},
        AnswerCase{"SixteenFields", "G" + std::string(30, 'a') + "/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p",
                   true, Line(3, "c", std::string(30, 'a'), "b", "d")},
        AnswerCase{"SeventeenFields", "Ga/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q", true, std::nullopt},
        AnswerCase{"LongestField", "G" + std::string(127, 'm') + "/ip", true,
                   Line(3, "null", std::string(127, 'm'), "ip", "null")},
        AnswerCase{"FieldTooLong", "G" + std::string(128, 'm') + "/ip", true, std::nullopt},
        AnswerCase{"LineBreakInAField", "G" + kMac + "/10.0.0.9/F7\r\nno=9/SN", true, std::nullopt},
        AnswerCase{"TabInAField", "G" + kMac + "/10.0.0.9/F7\tsn=x/SN", true, std::nullopt},
        AnswerCase{"OtherMark", "H" + kMac + "/10.0.0.9", false, std::nullopt},
        AnswerCase{"OneByte", "G", false, std::nullopt},
        AnswerCase{"Nothing", "", false, std::nullopt},
        AnswerCase{"NulFirst", std::string("\0G00/ip", 7), false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(SearchTargetTest, OverrideAcceptsOnlyDottedAddresses) {
  for (const char* good : {"127.0.0.1", "255.255.255.255", "0.0.0.0", "10.1.22.133"})
    EXPECT_TRUE(devwire::IsDottedIpv4(good)) << good;
  for (const char* bad : {"", "127.0.0", "127.0.0.1.5", "127.0.0.256", "localhost", "1..2.3",
                          "127.0.0.1 ", "0127.0.0.1", ".1.2.3", "1.2.3."})
    EXPECT_FALSE(devwire::IsDottedIpv4(bad)) << bad;
  EXPECT_FALSE(devwire::IsDottedIpv4(nullptr));
}

}  // namespace
