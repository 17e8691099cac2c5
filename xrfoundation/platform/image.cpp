// platform/image.cpp: Image over libjpeg-turbo's TurboJPEG API and libpng's simplified API.
#include "xrfoundation/platform/image.h"

#include <png.h>
#include <turbojpeg.h>

#include <cstring>
#include <new>
#include <optional>

#include "xrfoundation/platform/log_internal.h"

namespace xr {
namespace {

// A header may claim any size; decoding a photo larger than this is refused rather than
// allocating gigabytes for a forged header.
constexpr long kMaxPixels = 64L * 1024 * 1024;
// Quality of the JPEG made from a PNG: a contact photo, small, viewed on a phone.
constexpr int kTranscodeQuality = 90;

constexpr uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

template <std::size_t N>
bool startsWith(std::span<const uint8_t> bytes, const uint8_t (&signature)[N]) {
  return bytes.size() >= N && std::memcmp(bytes.data(), signature, N) == 0;
}

bool sizeAcceptable(long width, long height) {
  return width > 0 && height > 0 && width <= kMaxPixels / height;
}

struct Decoded {
  int width;
  int height;
  std::vector<uint8_t> jpeg;
};

// Owns a TurboJPEG handle.
class TjHandle {
 public:
  explicit TjHandle(tjhandle handle) : handle_(handle) {}
  ~TjHandle() {
    if (handle_) tjDestroy(handle_);
  }
  TjHandle(const TjHandle&) = delete;
  TjHandle& operator=(const TjHandle&) = delete;
  tjhandle get() const { return handle_; }

 private:
  tjhandle handle_;
};

std::optional<Decoded> fromJpeg(std::span<const uint8_t> bytes) {
  TjHandle decoder(tjInitDecompress());
  if (!decoder.get()) return std::nullopt;
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(decoder.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                          &width, &height, &subsampling, &colorspace) != 0 ||
      !sizeAcceptable(width, height)) {
    return std::nullopt;
  }
  // The whole image is decoded, so that a truncated or corrupt body is refused too; a
  // warning such as "premature end of data" counts as a failure.
  // TurboJPEG cannot turn CMYK into RGB, so four-colour JPEGs are decoded as they are.
  const TJPF format = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK ? TJPF_CMYK : TJPF_RGB;
  std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height * tjPixelSize[format]);
  if (tjDecompress2(decoder.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                    pixels.data(), width, 0, height, format, TJFLAG_STOPONWARNING) != 0) {
    return std::nullopt;
  }
  return Decoded{width, height, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

std::optional<std::vector<uint8_t>> encodeJpeg(const uint8_t* rgb, int width, int height) {
  TjHandle encoder(tjInitCompress());
  if (!encoder.get()) return std::nullopt;
  unsigned char* jpeg = nullptr;
  unsigned long jpegSize = 0;
  if (tjCompress2(encoder.get(), rgb, width, 0, height, TJPF_RGB, &jpeg, &jpegSize, TJSAMP_420,
                  kTranscodeQuality, 0) != 0) {
    consoleLog().warn("image: JPEG encoding failed: {}", tjGetErrorStr2(encoder.get()));
    tjFree(jpeg);
    return std::nullopt;
  }
  std::vector<uint8_t> result(jpeg, jpeg + jpegSize);
  tjFree(jpeg);
  return result;
}

std::optional<Decoded> fromPng(std::span<const uint8_t> bytes) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return std::nullopt;
  if (!sizeAcceptable(png.width, png.height)) {
    png_image_free(&png);
    return std::nullopt;
  }
  // JPEG has no transparency: transparent pixels are laid over white, as a photo shown on
  // a white card would look.
  png.format = PNG_FORMAT_RGB;
  const png_color white = {255, 255, 255};
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, &white, rgb.data(), 0, nullptr)) {
    png_image_free(&png);
    return std::nullopt;
  }
  const int width = static_cast<int>(png.width);
  const int height = static_cast<int>(png.height);
  auto jpeg = encodeJpeg(rgb.data(), width, height);
  if (!jpeg) return std::nullopt;
  return Decoded{width, height, std::move(*jpeg)};
}

}  // namespace

std::shared_ptr<const Image> Image::fromBytes(std::span<const uint8_t> bytes) {
  try {
    std::optional<Decoded> decoded;
    if (startsWith(bytes, kJpegSignature)) {
      decoded = fromJpeg(bytes);
    } else if (startsWith(bytes, kPngSignature)) {
      decoded = fromPng(bytes);
    }
    if (!decoded) return nullptr;
    return std::shared_ptr<const Image>(
        new Image(decoded->width, decoded->height, std::move(decoded->jpeg)));
  } catch (const std::bad_alloc&) {
    consoleLog().error("image: out of memory decoding {} bytes", bytes.size());
    return nullptr;
  }
}

}  // namespace xr
