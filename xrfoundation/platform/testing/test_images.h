// platform/testing/test_images.h: small encoded images for tests, made with the same codecs
// the library decodes with. Each pixel's colour follows from its position, so that two
// images of one size are equal.
#pragma once
#include <cstdint>
#include <vector>

namespace xr::testing {

enum class TestJpegColor { Rgb, Gray, Cmyk };
std::vector<uint8_t> makeTestJpeg(int width, int height, TestJpegColor color = TestJpegColor::Rgb);
// withAlpha: RGBA with a transparent left half, else RGB.
std::vector<uint8_t> makeTestPng(int width, int height, bool withAlpha = false);

}  // namespace xr::testing
