// The sensor image, attendance photos, user photos and pictures.
#include "files_fixture.h"

namespace files_test {
namespace {

termsim::Photo MakePhoto(const std::string& name, termsim::DateTime t, uint32_t selector,
                         size_t size) {
  return {name, termsim::PackTime(t), selector, Pattern(size, static_cast<uint8_t>(name.size()))};
}

termsim::FilesData PhotoData() {
  termsim::FilesData data;
  data.photos = {MakePhoto("20240115083000-1", {2024, 1, 15, 8, 30, 0}, 1, 3000),
                 MakePhoto("20240116090000-2", {2024, 1, 16, 9, 0, 0}, 2, 1200),
                 MakePhoto("10005-a", {2024, 2, 1, 7, 0, 0}, 1, 800),
                 MakePhoto("10005-b", {2024, 2, 1, 7, 5, 0}, 1, 900)};
  data.user_photos["17.jpg"] = Pattern(2048);
  data.pictures["ad1.jpg"] = Pattern(4000);
  return data;
}

TEST_F(FilesE2E, PhotoCountNamesAndContent) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), PhotoData()), nullptr);
  int32_t count = -1;
  EXPECT_EQ(Q_GetPhotoCount(handle, 0, &count), 1);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(Q_GetPhotoCount(handle, 2, &count), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Q_GetPhotoCount(handle, 0, nullptr), 4);
  sim->SetCannedReply(2013, std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(Q_GetPhotoCount(handle, 0, &count), -2);  // under 4 bytes
  sim->SetCannedReply(2013, std::nullopt);

  std::vector<char> names(184320, 'x');
  EXPECT_EQ(Q_GetPhotoNamesByTime(handle, 24, 1, 15, 0, 0, 0, 24, 1, 31, 23, 59, 59, 0,
                                  names.data()),
            1);
  EXPECT_STREQ(names.data(), "20240115083000-1\n20240116090000-2\n");
  const auto request = LastPayload(2016);
  ASSERT_EQ(request.size(), 12u);
  EXPECT_EQ(request[0], 0);
  EXPECT_EQ(Q_GetPhotoNamesByTime(handle, 24, 13, 1, 0, 0, 0, 24, 1, 31, 23, 59, 59, 0,
                                  names.data()),
            4);
  EXPECT_EQ(Q_GetPhotoNamesByTime(handle, 24, 1, 1, 0, 0, 0, 24, 1, 31, 23, 60, 0, 0,
                                  names.data()),
            4);
  EXPECT_EQ(Q_GetPhotoNamesByTime(handle, 24, 1, 1, 0, 0, 0, 24, 1, 31, 0, 0, 0, 0, nullptr), 4);

  // A photo larger than the buffer is not copied: 4 and the size it needs.
  std::vector<uint8_t> photo(3000, 0);
  int32_t length = 2999;
  EXPECT_EQ(Q_GetPhotoByName(handle, "20240115083000-1", photo.data(), &length), 4);
  EXPECT_EQ(length, 3000);
  EXPECT_EQ(photo, std::vector<uint8_t>(3000, 0));
  EXPECT_EQ(Q_GetPhotoByName(handle, "20240115083000-1", photo.data(), &length), 1);
  EXPECT_EQ(photo, PhotoData().photos[0].bytes);
  EXPECT_EQ(Q_GetPhotoByName(handle, "absent", photo.data(), &length), -2);
  EXPECT_EQ(Q_GetPhotoByName(handle, nullptr, photo.data(), &length), 4);

  // Clearing by time and selector.
  EXPECT_EQ(Q_ClearPhotoByTime(handle, 24, 1, 1, 0, 0, 0, 24, 1, 31, 23, 59, 59, 1), 1);
  EXPECT_EQ(sim->Files().photos.size(), 3u);
  EXPECT_EQ(Q_ClearPhotoByTime(handle, -1, 1, 1, 0, 0, 0, 24, 1, 31, 23, 59, 59, 0), 4);
  EXPECT_EQ(sim->Files().photos.size(), 3u);
}

TEST_F(FilesE2E, PictureListAndCaptureList) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), PhotoData()), nullptr);
  std::vector<char> list(2u << 20, 'x');
  EXPECT_EQ(Q_GetPicList(handle, 5, list.data()), 1);
  EXPECT_EQ(LastPayload(10013), (std::vector<uint8_t>{'1', '0', '0', '0', '5', 0}));
  EXPECT_STREQ(list.data(), "10005-a\n10005-b\n");
  EXPECT_EQ(Q_GetPicList(handle, INT32_MAX, list.data()), 1);  // no such pictures
  EXPECT_STREQ(list.data(), "");
  EXPECT_EQ(LastPayload(10013).size(), 11u);  // 2147493647 and its end
  EXPECT_EQ(Q_GetPicList(handle, 5, nullptr), 4);

  // Only LF-ended names are fetched; names that climb, and refused ones,
  // are skipped.
  EXPECT_EQ(Q_GetCapturePicByList(handle, Dir().c_str(), "10005-a\r\n../10005-b\nmissing\n10005-b"),
            1);
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"10005-a.jpg"});
  EXPECT_EQ(ReadFile("10005-a.jpg"), PhotoData().photos[2].bytes);
  EXPECT_EQ(Q_GetCapturePicByList(handle, Dir().c_str(), ""), 1);
  EXPECT_EQ(Q_GetCapturePicByList(handle, (Dir() + "none/").c_str(), "10005-a\n"), -2);
  EXPECT_EQ(Q_GetCapturePicByList(handle, nullptr, "a\n"), 4);
  EXPECT_EQ(Q_GetCapturePicByList(nullptr, Dir().c_str(), "a\n"), -1);
}

TEST_F(FilesE2E, UserPhotosAndPicturesByName) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), PhotoData()), nullptr);
  EXPECT_EQ(Q_DownloadUserPhoto(handle, "17.jpg", Dir().c_str()), 1);
  EXPECT_EQ(ReadFile("17.jpg"), Pattern(2048));
  EXPECT_EQ(Q_DownloadPicture(handle, "ad1.jpg", Dir().c_str()), 1);
  EXPECT_EQ(ReadFile("ad1.jpg"), Pattern(4000));
  EXPECT_EQ(Q_DeleteUserPhoto(handle, "17.jpg"), 1);
  EXPECT_EQ(Q_DeleteUserPhoto(handle, "17.jpg"), -2);
  EXPECT_EQ(Q_DeletePicture(handle, "ad1.jpg"), 1);
  EXPECT_TRUE(sim->Files().pictures.empty());
  EXPECT_EQ(Q_DownloadUserPhoto(handle, "17.jpg", Dir().c_str()), -2);
  EXPECT_EQ(ReadFile("17.jpg"), Pattern(2048));  // the earlier file stays
  sim->ClearReceived();
  EXPECT_EQ(Q_DeleteUserPhoto(handle, nullptr), 4);
  EXPECT_EQ(Q_DeletePicture(handle, std::string(40, 'p').c_str()), 4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  EXPECT_EQ(Q_DeletePicture(nullptr, "a"), -1);
}

TEST_F(FilesE2E, SensorImageInBothFormsAndAsBitmap) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels(307200, 0);
  EXPECT_EQ(Q_CaptureImage(handle, 0, &width, &height, pixels.data(), Path("f.bmp").c_str()), 1);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(LastPayload(1009), (std::vector<uint8_t>{0xF4, 1, 0, 0}));
  EXPECT_EQ(pixels[641], static_cast<uint8_t>(2));
  EXPECT_EQ(ReadFile("f.bmp").size(), 1078u + 640 * 480);

  termsim::FilesData data;
  data.sensor_image = termsim::SensorImageWithHeader(101, 3);
  sim->SetFiles(data);
  width = 101;
  EXPECT_EQ(Q_CaptureImage(handle, 1, &width, &height, nullptr, Path("w.bmp").c_str()), 1);
  EXPECT_EQ(LastPayload(1012), (std::vector<uint8_t>{101, 0, 0, 0}));
  EXPECT_EQ(height, 3);
  EXPECT_EQ(ReadFile("w.bmp").size(), 1078u + 104 * 3);

  // Sizes that do not add up, and a wrapping product.
  auto short_image = termsim::SensorImageWithHeader(100, 50);
  short_image.resize(5000);  // 5012 would be whole
  auto wrapping = termsim::SensorImageWithHeader(1, 1);
  wrapping.resize(12);
  wrapping[5] = wrapping[6] = wrapping[9] = wrapping[10] = 0;
  wrapping[4] = wrapping[8] = 0;
  wrapping[6] = wrapping[10] = 1;  // 65536 x 65536
  for (const auto& bad : {short_image, wrapping}) {
    data.sensor_image = bad;
    sim->SetFiles(data);
    width = 0;
    EXPECT_EQ(Q_CaptureImage(handle, 1, &width, &height, pixels.data(), nullptr), -2);
  }
  EXPECT_EQ(Q_CaptureImage(handle, 1, nullptr, &height, nullptr, nullptr), 4);
  EXPECT_EQ(Q_CaptureImage(nullptr, 1, &width, &height, nullptr, nullptr), -1);
}

}  // namespace
}  // namespace files_test
