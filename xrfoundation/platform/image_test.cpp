#include "xrfoundation/platform/image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

using testing::makeTestJpeg;
using testing::makeTestPng;

constexpr std::array<uint8_t, 2> kSof0 = {0xFF, 0xC0};  // a baseline JPEG's frame header

TEST(ImageTest, KeepsJpegBytesExactly) {
  using testing::TestJpegColor;
  for (const auto color : {TestJpegColor::Rgb, TestJpegColor::Cmyk}) {
    const std::vector<uint8_t> jpeg = makeTestJpeg(7, 5, color);
    SCOPED_TRACE("color " + std::to_string(static_cast<int>(color)));
    auto image = Image::fromBytes(jpeg);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 7);
    EXPECT_EQ(image->height(), 5);
    EXPECT_EQ(image->jpegRepresentation(), jpeg);
  }
}

TEST(ImageTest, TranscodesPngToJpegThatDecodesAgain) {
  auto image = Image::fromBytes(makeTestPng(9, 4, /*alpha=*/true));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 9);
  EXPECT_EQ(image->height(), 4);
  auto again = Image::fromBytes(image->jpegRepresentation());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->width(), 9);
  EXPECT_EQ(again->jpegRepresentation(), image->jpegRepresentation());
}

TEST(ImageTest, RefusesBytesThatDoNotDecode) {
  const std::vector<uint8_t> jpeg = makeTestJpeg(16, 16);
  const std::vector<uint8_t> png = makeTestPng(16, 16);
  std::vector<uint8_t> corruptPng = png;
  corruptPng[corruptPng.size() / 2] ^= 0xFF;  // breaks a chunk's CRC
  const std::string gif = "GIF89a\x01\x00\x01\x00";
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"empty", {}},
      {"jpeg signature only", {0xFF, 0xD8, 0xFF}},
      {"jpeg truncated to half", {jpeg.begin(), jpeg.begin() + jpeg.size() / 2}},
      {"png signature only", {png.begin(), png.begin() + 8}},
      {"png truncated to half", {png.begin(), png.begin() + png.size() / 2}},
      {"png with corrupt chunk", corruptPng},
      {"gif", {gif.begin(), gif.end()}},
  };
  for (const auto& [name, bytes] : cases) EXPECT_EQ(Image::fromBytes(bytes), nullptr) << name;
}

// A header that claims a photo far larger than any phone takes is refused before anything is
// made for it (a forged 60000 x 60000 image would need 10 GB of pixels). Both sizes are within
// what the codecs themselves accept.
TEST(ImageTest, RefusesHeadersThatClaimAHugeImage) {
  std::vector<uint8_t> jpeg = makeTestJpeg(16, 16);
  const auto frame = std::search(jpeg.begin(), jpeg.end(), kSof0.begin(), kSof0.end());
  ASSERT_NE(frame, jpeg.end());
  const uint8_t huge[] = {0xEA, 0x60, 0xEA, 0x60};  // 60000 twice, big-endian
  std::copy_n(huge, 4, frame + 5);  // after marker, length and precision: height, width
  // PNG: the header chunk's width and height, then its CRC made again so that only the size
  // is wrong.
  std::vector<uint8_t> png = makeTestPng(16, 16);
  std::fill_n(png.begin() + 16, 8, 0);
  std::copy_n(huge, 2, png.begin() + 18);
  std::copy_n(huge, 2, png.begin() + 22);
  const uLong crc = crc32(0, png.data() + 12, 17);  // over the chunk's type and data
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  EXPECT_EQ(Image::fromBytes(jpeg), nullptr);
  EXPECT_EQ(Image::fromBytes(png), nullptr);
}

}  // namespace
}  // namespace xr
