// The sensor image replies and the bitmap written from them; the capture
// list walk.
#include <gtest/gtest.h>

#include <vector>

#include "files/capture_image.h"
#include "files/photo_list.h"
#include "wire/le_bytes.h"

namespace {

using devapi::files::CaptureListNames;
using devapi::files::DecodeCapture;
using devapi::files::GreyBitmap;

std::vector<uint8_t> WithHeader(uint32_t width, uint32_t height, size_t pixels) {
  std::vector<uint8_t> out(12 + pixels, 7);
  wire::ByteWriter w(out);
  w.U32(0);
  w.U32(width);
  w.U32(height);
  return out;
}

TEST(CaptureImage, RepliesByTable) {
  struct Case {
    const char* what;
    std::vector<uint8_t> reply;
    int32_t width, height;  // 0: refused
  };
  const Case cases[] = {
      {"raw 640 x 480", std::vector<uint8_t>(307200, 1), 640, 480},
      {"header 100 x 50", WithHeader(100, 50, 5000), 100, 50},
      {"header, 12 bytes short", WithHeader(100, 50, 4988), 0, 0},
      {"header, one byte more", WithHeader(100, 50, 5001), 0, 0},
      {"65536 x 65536 wraps to 0", WithHeader(65536, 65536, 0), 0, 0},
      {"zero width", WithHeader(0, 50, 0), 0, 0},
      {"negative height", WithHeader(10, 0xFFFFFFFF, 0), 0, 0},
      {"over 307200 pixels", WithHeader(641, 480, 641 * 480), 0, 0},
      {"shorter than a header", std::vector<uint8_t>(11, 0), 0, 0},
  };
  for (const Case& c : cases) {
    const auto image = DecodeCapture(c.reply);
    EXPECT_EQ(image.has_value(), c.width != 0) << c.what;
    if (!image) continue;
    EXPECT_EQ(image->width, c.width) << c.what;
    EXPECT_EQ(image->height, c.height) << c.what;
    EXPECT_EQ(image->pixels.size(), static_cast<size_t>(c.width) * c.height) << c.what;
  }
}

TEST(CaptureImage, BitmapRowsArePaddedToFourBytes) {
  std::vector<uint8_t> pixels(101 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i);
  const auto bmp = GreyBitmap({101, 3, pixels});
  ASSERT_EQ(bmp.size(), 1078u + 104 * 3);
  wire::ByteReader r(bmp);
  EXPECT_EQ(r.U8(), 'B');
  EXPECT_EQ(r.U8(), 'M');
  EXPECT_EQ(r.U32(), 1078u + 104 * 3);
  r.Skip(4);
  EXPECT_EQ(r.U32(), 1078u);
  EXPECT_EQ(r.U32(), 40u);
  EXPECT_EQ(r.I32(), 101);
  EXPECT_EQ(r.I32(), 3);  // positive: rows as received
  EXPECT_EQ(r.U16(), 1);
  EXPECT_EQ(r.U16(), 8);
  EXPECT_EQ(r.U32(), 0u);
  EXPECT_EQ(r.U32(), 104u * 3);
  // Grey palette, then row 1 starts at its padded offset.
  EXPECT_EQ(bmp[54 + 4 * 200], 200);
  EXPECT_EQ(bmp[54 + 4 * 200 + 1], 200);
  EXPECT_EQ(bmp[54 + 4 * 200 + 3], 0);
  EXPECT_EQ(bmp[1078 + 104], pixels[101]);
  EXPECT_EQ(bmp[1078 + 101], 0);
}

TEST(CaptureList, OnlyLineFeedEndedSingleNamesAreFetched) {
  EXPECT_EQ(CaptureListNames("a\nb"), std::vector<std::string>{"a"});
  EXPECT_EQ(CaptureListNames(""), std::vector<std::string>{});
  EXPECT_EQ(CaptureListNames("one\r\ntwo\n"), (std::vector<std::string>{"one", "two"}));
  const std::string list = "../up\n..\n.\na/b\nc\\d\n\n" + std::string(100, 'x') + "\n" +
                           std::string(99, 'y') + "\nbell\x07\nok\n";
  EXPECT_EQ(CaptureListNames(list), (std::vector<std::string>{std::string(99, 'y'), "ok"}));
}

}  // namespace
