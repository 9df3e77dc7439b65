// The template view's walks and the quick index over hand-made views,
// including records a hostile terminal could send.
#include <gtest/gtest.h>

#include <vector>

#include "session/device_session.h"
#include "users/fingerprint_quick_index.h"
#include "users/fingerprint_view.h"

namespace {

using Bytes = std::vector<uint8_t>;

void AppendRecord(Bytes& view, uint16_t size, uint16_t pin, uint8_t finger, uint8_t flag,
                  size_t body) {
  view.insert(view.end(),
              {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
               static_cast<uint8_t>(pin), static_cast<uint8_t>(pin >> 8), finger, flag});
  for (size_t i = 0; i < body; ++i) view.push_back(static_cast<uint8_t>(pin + i));
}

void AppendTemplate(Bytes& view, uint16_t pin, uint8_t finger, size_t length, uint8_t flag = 1) {
  AppendRecord(view, static_cast<uint16_t>(length + 6), pin, finger, flag, length);
}

TEST(TemplateView, FindsTheFirstMatchingRecord) {
  Bytes view;
  AppendTemplate(view, 1, 0, 10);
  AppendTemplate(view, 2, 3, 20, 3);
  AppendTemplate(view, 2, 3, 30);
  const auto ref = users::FindTemplateRecord(view, 2, 3);
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->record, 16u);
  EXPECT_EQ(ref->bytes.size(), 20u);
  EXPECT_EQ(ref->flag, 3);
  EXPECT_FALSE(users::FindTemplateRecord(view, 2, 4));
  EXPECT_FALSE(users::FindTemplateRecord(view, 65538, 0));  // never cut to 16 bits
}

TEST(TemplateView, WalkStopsAtRecordsThatCannotBeRead) {
  struct Case {
    const char* name;
    uint16_t bad_size;
    size_t body;
  };
  // A size below the header's, and a size passing the view's end.
  for (const Case& c : {Case{"short size", 5, 0}, Case{"passes the view", 500, 20}}) {
    SCOPED_TRACE(c.name);
    Bytes view;
    AppendTemplate(view, 1, 0, 10);
    AppendRecord(view, c.bad_size, 2, 0, 1, c.body);
    AppendTemplate(view, 3, 0, 10);
    EXPECT_TRUE(users::FindTemplateRecord(view, 1, 0));
    EXPECT_FALSE(users::FindTemplateRecord(view, 2, 0));
    EXPECT_FALSE(users::FindTemplateRecord(view, 3, 0));  // beyond the broken one
  }
  Bytes cut;
  AppendTemplate(cut, 1, 0, 10);
  cut.resize(cut.size() - 1);  // the last byte did not arrive
  EXPECT_FALSE(users::FindTemplateRecord(cut, 1, 0));
  EXPECT_FALSE(users::TemplateRecordAt(cut, 14));
  EXPECT_FALSE(users::TemplateRecordAt(cut, 100));
}

TEST(TemplateView, SlotsAreBoundedBySlotSize) {
  Bytes view(2 * users::kTemplateSlotSize, 0);
  view[0] = 0xFF;  // a length larger than the slot
  view[1] = 0xFF;
  view[2] = 7;
  view[4] = 2;
  view[5] = 3;
  const auto ref = users::FindTemplateSlot(view, 7, 2);
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->bytes.size(), users::kTemplateSlotSize - 6);
  EXPECT_EQ(ref->flag, 3);
  view.resize(users::kTemplateSlotSize - 1);
  EXPECT_FALSE(users::FindTemplateSlot(view, 7, 2));
}

TEST(TemplateView, CopiesOnlyWhatFits) {
  const Bytes tmpl(40, 0xAB);
  Bytes out(39, 0);
  int32_t length = 39;
  EXPECT_EQ(users::CopyTemplateOut(tmpl, out.data(), &length), 4);
  EXPECT_EQ(length, 40);
  EXPECT_EQ(out, Bytes(39, 0));
  out.resize(40);
  EXPECT_EQ(users::CopyTemplateOut(tmpl, out.data(), &length), 1);
  EXPECT_EQ(out, tmpl);
}

class QuickIndexTest : public ::testing::Test {
 protected:
  void Load(const Bytes& view) {
    s.read_buf = view;
    s.read_buf_cap = static_cast<uint32_t>(view.size());
    users::SetTemplateView(s, {0, static_cast<uint32_t>(view.size())}, 1);
    users::BuildQuickIndex(s);
  }
  devapi::DeviceSession s;
};

TEST_F(QuickIndexTest, IndexesPinsUpTo50000AndLeavesTheRestToTheWalk) {
  Bytes view;
  AppendTemplate(view, 5, 1, 10);
  AppendTemplate(view, 60000, 2, 12);
  AppendTemplate(view, 50000, 9, 14);
  AppendTemplate(view, 6, 10, 16);  // finger 10: never indexed
  Load(view);
  const auto a = users::QuickFindTemplate(s, 5, 1);
  ASSERT_EQ(a.answer, users::QuickAnswer::kFound);
  EXPECT_EQ(a.ref.bytes.size(), 10u);
  // Records after a PIN above 50000 are still indexed.
  const auto b = users::QuickFindTemplate(s, 50000, 9);
  ASSERT_EQ(b.answer, users::QuickAnswer::kFound);
  EXPECT_EQ(b.ref.bytes.size(), 14u);
  EXPECT_EQ(users::QuickFindTemplate(s, 60000, 2).answer, users::QuickAnswer::kNotIndexed);
  EXPECT_EQ(users::QuickFindTemplate(s, 6, 10).answer, users::QuickAnswer::kNone);
  EXPECT_EQ(users::QuickFindTemplate(s, 5, 2).answer, users::QuickAnswer::kNone);
  EXPECT_EQ(s.quick_tmpl_state, 1);  // building leaves the state alone
}

TEST_F(QuickIndexTest, EmptyViewGivesEmptyIndex) {
  Load({});
  EXPECT_EQ(users::QuickFindTemplate(s, 5, 1).answer, users::QuickAnswer::kNone);
  EXPECT_EQ(s.tmpl_index.size(), 50003u * 10);
}

TEST_F(QuickIndexTest, DroppingTheViewStopsTheIndex) {
  Bytes view;
  AppendTemplate(view, 5, 1, 10);
  Load(view);
  devapi::ResetViewsExcept(s, devapi::BufferView::kAttendance);
  EXPECT_FALSE(users::TemplateViewLoaded(s));
  EXPECT_EQ(s.quick_tmpl_state, 0);
}

}  // namespace
