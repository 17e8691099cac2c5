// platform/image.h: the image type of a contact's photo. An Image is made only from encoded
// bytes that really decode (JPEG or PNG) and keeps a JPEG representation of itself, because
// the vCard photo line declares TYPE=JPEG: JPEG bytes are kept exactly as given, a PNG is
// decoded and encoded again as JPEG. Images are immutable once made and shared (shared_ptr);
// any thread may read one.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// A decoded contact photo with its JPEG bytes; made only by fromBytes().
class XR_EXPORT Image {
 public:
  // The image the bytes encode, or nullptr when they are neither a JPEG nor a PNG that
  // decodes without error (truncated or corrupt data, an unknown format, no bytes).
  static std::shared_ptr<const Image> fromBytes(std::span<const uint8_t> bytes);

  int width() const { return width_; }    // pixels
  int height() const { return height_; }  // pixels

  // The encoded representation: always JPEG.
  const std::vector<uint8_t>& jpegRepresentation() const { return jpeg_; }

 private:
  // Made by fromBytes() alone, so that every Image holds bytes that decode.
  Image(int width, int height, std::vector<uint8_t> jpeg)
      : width_(width), height_(height), jpeg_(std::move(jpeg)) {}

  int width_;
  int height_;
  std::vector<uint8_t> jpeg_;
};

}  // namespace xr
