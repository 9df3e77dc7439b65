// The shared buffer's views, caller text copies and the moments of the
// time-range functions, on hand-made data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "logs/caller_text.h"
#include "logs/log_time_range.h"
#include "logs/read_buffer.h"
#include "wire/le_bytes.h"

namespace devapi {
namespace {

void PutCount(DeviceSession& s, uint32_t count) {
  wire::ByteWriter(std::span(s.read_buf).first(4)).U32(count);
}

TEST(CountedView, IsTheSmallestOfCountReceivedAndRoom) {
  DeviceSession s;
  EnsureReadBuffer(s, 100);
  struct Case {
    uint32_t count;
    int32_t received;
    uint32_t want;
  };
  for (const Case& c :
       {Case{40, 44, 40}, Case{1000, 44, 40}, Case{40, 30, 26}, Case{40, 1000, 40},
        Case{500, 1000, 96}, Case{40, 4, 0}, Case{40, 3, 0}, Case{40, 0, 0}, Case{40, -5, 0}}) {
    PutCount(s, c.count);
    const ViewRange v = CountedView(s, c.received);
    EXPECT_EQ(v.len, c.want) << c.count << " " << c.received;
    if (c.want != 0) {
      EXPECT_EQ(v.start, 4u);
    }
  }
  EXPECT_EQ(BareView(s, 60).len, 60u);
  EXPECT_EQ(BareView(s, 600).len, 100u);
  EXPECT_EQ(BareView(s, -1).len, 0u);
}

TEST(ViewRest, StaysInsideViewAndBuffer) {
  DeviceSession s;
  EnsureReadBuffer(s, 64);
  EXPECT_EQ(ViewRest(s, 4, 20, 4).size(), 20u);
  EXPECT_EQ(ViewRest(s, 4, 20, 10).size(), 14u);
  EXPECT_TRUE(ViewRest(s, 4, 20, 24).empty());
  EXPECT_TRUE(ViewRest(s, 4, 20, 2).empty());
  EXPECT_EQ(ViewRest(s, 4, 1000, 4).size(), 60u);  // a view longer than the buffer
  EXPECT_TRUE(ViewRest(DeviceSession{}, 0, 10, 0).empty());
}

TEST(ReadBuffer, GrowsKeepingItsBytesAndNeverShrinks) {
  DeviceSession s;
  EnsureReadBuffer(s, 16);
  s.read_buf[3] = 0xAB;
  EnsureReadBuffer(s, 1024);
  EXPECT_EQ(s.read_buf_cap, 1024u);
  EXPECT_EQ(s.read_buf[3], 0xAB);
  EnsureReadBuffer(s, 8);
  EXPECT_EQ(s.read_buf_cap, 1024u);
  EXPECT_EQ(s.read_buf.size(), 1024u);
}

TEST(ReadBuffer, DownloadsDropEveryOtherViewAndReleaseDropsAll) {
  DeviceSession s;
  EnsureReadBuffer(s, 64);
  const auto fill = [](DeviceSession& x) {
    x.tmpl_len = x.tmpl_start = x.tmpl_cursor = 1;
    x.attlog_len = x.attlog_start = x.attlog_cursor = 2;
    x.oplog_len = x.oplog_start = x.oplog_cursor = 3;
    x.oplogex_len = x.oplogex_start = x.oplogex_cursor = 4;
    x.aux_len = x.aux_start = x.aux_cursor = 5;
    x.bell_len = x.bell_start = 6;
    x.attlog_base_time = 77;
  };
  fill(s);
  ResetViewsExcept(s, BufferView::kOpLogEx);
  EXPECT_EQ(s.tmpl_len + s.tmpl_start + s.tmpl_cursor, 0u);
  EXPECT_EQ(s.attlog_len + s.attlog_start + s.attlog_cursor, 0u);
  EXPECT_EQ(s.oplog_len + s.oplog_start + s.oplog_cursor, 0u);
  EXPECT_EQ(s.aux_len + s.aux_start + s.aux_cursor, 0u);
  EXPECT_EQ(s.bell_len + s.bell_start, 0u);
  EXPECT_EQ(s.attlog_base_time, 0u);
  EXPECT_EQ(s.oplogex_len, 4u);
  EXPECT_EQ(s.oplogex_cursor, 4u);

  fill(s);
  ResetViewsExcept(s, BufferView::kAttendance);
  EXPECT_EQ(s.attlog_len, 2u);
  EXPECT_EQ(s.oplogex_len, 0u);

  fill(s);
  ReleaseReadBuffer(s);
  EXPECT_TRUE(s.read_buf.empty());
  EXPECT_EQ(s.read_buf_cap, 0u);
  EXPECT_EQ(s.attlog_len + s.oplogex_len + s.tmpl_len + s.aux_len + s.bell_len + s.oplog_len, 0u);
}

std::vector<uint8_t> Field(const std::string& text, size_t width) {
  std::vector<uint8_t> f(width, 0);
  std::memcpy(f.data(), text.data(), std::min(text.size(), width));
  return f;
}

TEST(CallerText, PaddedCopyIsTerminatedWithinWidthPlusOne) {
  char out[32];
  std::memset(out, 'x', sizeof out);
  CopyPaddedText(Field("1234", 24), 9, out);
  EXPECT_EQ(std::string(out, 9), std::string("1234\0\0\0\0\0", 9));
  EXPECT_EQ(out[9], 'x');

  // A field with no terminator at all, cut at the width.
  std::memset(out, 'x', sizeof out);
  CopyPaddedText(Field(std::string(24, 'A'), 24), 24, out);
  EXPECT_EQ(std::string(out), std::string(24, 'A'));
  EXPECT_EQ(out[25], 'x');

  std::memset(out, 'x', sizeof out);
  CopyPaddedText(Field("ABC", 24), 0, out);
  EXPECT_EQ(out[0], 'x');
}

TEST(CallerText, TerminatedCopyFillsExactlyItsSize) {
  char out[32];
  std::memset(out, 'x', sizeof out);
  CopyTerminatedText(Field(std::string(24, 'B'), 24), 24, out);
  EXPECT_EQ(std::string(out), std::string(23, 'B'));
  EXPECT_EQ(out[24], 'x');
  std::memset(out, 'x', sizeof out);
  CopyTerminatedText(Field("hi", 24), 25, out);
  EXPECT_EQ(std::string(out, 25), std::string("hi") + std::string(23, '\0'));
  EXPECT_EQ(out[25], 'x');
}

TEST(CallerText, WidthIsClampedToTheField) {
  EXPECT_EQ(IdTextWidth(-128), 0u);
  EXPECT_EQ(IdTextWidth(0), 0u);
  EXPECT_EQ(IdTextWidth(9), 9u);
  EXPECT_EQ(IdTextWidth(24), 24u);
  EXPECT_EQ(IdTextWidth(127), 24u);
}

TEST(Moments, PackedFromYear2000OrModulo100) {
  const Moment m{2030, 12, 31, 23, 59, 59};
  const uint32_t want = ((((30u * 12 + 11) * 31 + 30) * 24 + 23) * 60 + 59) * 60 + 59;
  EXPECT_EQ(PackMoment(m), want);
  EXPECT_EQ(PackMomentModulo100(Moment{2130, 12, 31, 23, 59, 59}), want);
  EXPECT_NE(PackMoment(Moment{2130, 12, 31, 23, 59, 59}), want);
  // The extremes the range check lets through pack without overflow.
  EXPECT_TRUE(MomentInRange(Moment{1900, 0, 0, 24, 60, 60}));
  PackMoment(Moment{1900, 0, 0, 24, 60, 60});
  PackMoment(Moment{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN});
  EXPECT_FALSE(MomentInRange(Moment{INT32_MAX, -1, 1, 1, 1, 1}));
}

}  // namespace
}  // namespace devapi
