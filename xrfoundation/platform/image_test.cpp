// platform/image_test.cpp
#include "xrfoundation/platform/image.h"

#include <gtest/gtest.h>

#include <string>

#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

using testing::makeTestJpeg;
using testing::makeTestPng;

bool isJpeg(const std::vector<uint8_t>& bytes) {
  return bytes.size() > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 &&
         bytes[bytes.size() - 2] == 0xFF && bytes[bytes.size() - 1] == 0xD9;
}

TEST(ImageTest, KeepsJpegBytesExactly) {
  using testing::TestJpegColor;
  for (const auto color : {TestJpegColor::Rgb, TestJpegColor::Gray, TestJpegColor::Cmyk}) {
    const std::vector<uint8_t> jpeg = makeTestJpeg(7, 5, color);
    auto image = Image::fromBytes(jpeg);
    const int row = static_cast<int>(color);
    ASSERT_NE(image, nullptr) << "color " << row;
    EXPECT_EQ(image->width(), 7) << "color " << row;
    EXPECT_EQ(image->height(), 5) << "color " << row;
    EXPECT_EQ(image->jpegRepresentation(), jpeg) << "color " << row;
  }
}

TEST(ImageTest, TranscodesPngToJpegThatDecodesAgain) {
  for (bool alpha : {false, true}) {
    auto image = Image::fromBytes(makeTestPng(9, 4, alpha));
    ASSERT_NE(image, nullptr) << "alpha " << alpha;
    EXPECT_EQ(image->width(), 9);
    EXPECT_EQ(image->height(), 4);
    EXPECT_TRUE(isJpeg(image->jpegRepresentation())) << "alpha " << alpha;
    auto again = Image::fromBytes(image->jpegRepresentation());
    ASSERT_NE(again, nullptr) << "alpha " << alpha;
    EXPECT_EQ(again->width(), 9);
    EXPECT_EQ(again->jpegRepresentation(), image->jpegRepresentation());
  }
}

TEST(ImageTest, RefusesBytesThatDoNotDecode) {
  const std::vector<uint8_t> jpeg = makeTestJpeg(16, 16);
  const std::vector<uint8_t> png = makeTestPng(16, 16);
  std::vector<uint8_t> corruptPng = png;
  corruptPng[corruptPng.size() / 2] ^= 0xFF;  // breaks a chunk's CRC
  const std::string gif = "GIF89a\x01\x00\x01\x00";
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"jpeg signature only", {0xFF, 0xD8, 0xFF}},
      {"jpeg truncated to half", {jpeg.begin(), jpeg.begin() + jpeg.size() / 2}},
      {"png signature only", {png.begin(), png.begin() + 8}},
      {"png truncated to half", {png.begin(), png.begin() + png.size() / 2}},
      {"png with corrupt chunk", corruptPng},
      {"gif", {gif.begin(), gif.end()}},
      {"text", {'h', 'e', 'l', 'l', 'o'}},
  };
  for (const auto& c : cases) EXPECT_EQ(Image::fromBytes(c.bytes), nullptr) << c.name;
}

}  // namespace
}  // namespace xr
