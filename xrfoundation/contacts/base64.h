// contacts/base64.h: Base64 (RFC 4648, standard alphabet "A-Za-z0-9+/", pad '=') between a
// byte buffer and text. The photo of a vCard record is stored with it.
//
// The decoder is lenient about layout and strict about content: white space (space, tab, LF,
// VT, FF, CR) and '=' are skipped wherever they stand and no final padding is required, but
// any other character outside the alphabet fails the whole decode. The encoder writes one
// unbroken line. Both are pure functions, safe on any thread; neither logs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// The bytes that text encodes, or absent when text is absent, holds a non-ASCII character or a
// character outside the alphabet other than white space and '=', or ends with a single
// significant character left over. Nothing partial is returned. The empty text (or text of
// white space and '=' alone) gives an empty buffer. Decoding stops at the first NUL.
[[nodiscard]] XR_EXPORT std::optional<std::vector<uint8_t>> dataWithBase64EncodedString(
    std::optional<std::string_view> text);

// The Base64 text of bytes: length a multiple of four, padded with '=', no line breaks.
// Absent only when memory cannot be obtained; an empty buffer gives "".
[[nodiscard]] XR_EXPORT std::optional<std::string> base64Encoding(std::span<const uint8_t> bytes);

// Lower-level forms for callers that manage their own buffers (the bulk paths above use
// them). base64EncodedLength is ((size + 2) / 3) * 4; base64Encode writes exactly that many
// characters to out.
constexpr std::size_t base64EncodedLength(std::size_t size) { return (size + 2) / 3 * 4; }
XR_EXPORT void base64Encode(std::span<const uint8_t> bytes, char* out);

}  // namespace xr
