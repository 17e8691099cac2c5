// platform/testing/test_images.cpp: encodes the test images with TurboJPEG and libpng.
#include "xrfoundation/platform/testing/test_images.h"

#include <png.h>
#include <turbojpeg.h>

#include <cstring>
#include <stdexcept>

namespace xr::testing {
namespace {

std::vector<uint8_t> pattern(int width, int height, int channels) {
  std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* px = &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
      px[0] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
      px[1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
      px[2] = 128;
      if (channels == 4) px[3] = x < width / 2 ? 0 : 255;
    }
  }
  return pixels;
}

}  // namespace

std::vector<uint8_t> makeTestJpeg(int width, int height, TestJpegColor color) {
  const bool cmyk = color == TestJpegColor::Cmyk;
  // Four channels are read as C, M, Y, K when the source is CMYK.
  const std::vector<uint8_t> pixels = pattern(width, height, cmyk ? 4 : 3);
  tjhandle encoder = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int subsampling = color == TestJpegColor::Gray ? TJSAMP_GRAY : TJSAMP_444;
  const int status = tjCompress2(encoder, pixels.data(), width, 0, height,
                                 cmyk ? TJPF_CMYK : TJPF_RGB, &jpeg, &size, subsampling, 95, 0);
  tjDestroy(encoder);
  if (status != 0) throw std::runtime_error("makeTestJpeg: encoding failed");
  std::vector<uint8_t> bytes(jpeg, jpeg + size);
  tjFree(jpeg);
  return bytes;
}

std::vector<uint8_t> makeTestPng(int width, int height, bool withAlpha) {
  const int channels = withAlpha ? 4 : 3;
  const std::vector<uint8_t> pixels = pattern(width, height, channels);
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("makeTestPng: sizing failed");
  }
  std::vector<uint8_t> bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("makeTestPng: encoding failed");
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace xr::testing
