// platform/charset.h: conversion of text from another character encoding to UTF-8 (the
// charsets that old phones and address books write: ISO-8859-x, Windows code pages,
// SHIFT_JIS, UTF-16...), over the C library's iconv. A converter keeps the state of one stream
// of text, so input may arrive in blocks cut anywhere: an incomplete sequence at the end of a
// block is kept for the next one. One thread at a time per converter; the free functions may
// be called from any thread.
#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// Turns text in one encoding ("UTF-16LE", "SHIFT_JIS", ...) into UTF-8.
class XR_EXPORT CharsetConverter {
 public:
  // A converter from the named encoding, or null when the platform knows no such encoding.
  static std::unique_ptr<CharsetConverter> toUtf8(const std::string& fromEncoding);
  // A lenient converter: a byte that the encoding doesn't explain (a code unit, in UTF-16 and
  // UTF-32) becomes U+FFFD, replacements() says where, and convert() never fails.
  static std::unique_ptr<CharsetConverter> toUtf8Lenient(const std::string& fromEncoding);
  virtual ~CharsetConverter() = default;

  // Appends the UTF-8 form of bytes to out. A sequence cut by the end of bytes waits for the
  // next call. False when bytes hold a sequence that the encoding doesn't define; out then
  // holds what came before it, and the converter is of no further use.
  virtual bool convert(std::string_view bytes, std::string& out) = 0;
  // Whether a cut sequence is still waiting: at the end of the input that means it was cut
  // short for good.
  virtual bool hasPendingBytes() const = 0;

  // Lenient: where the last convert() or finish() put U+FFFD, as offsets into its out.
  const std::vector<std::size_t>& replacements() const { return replacements_; }
  // Lenient: the end of the input. A sequence still cut short becomes U+FFFD in out.
  void finish(std::string& out);

 protected:
  // Records a replacement appended to out (lenient converters only).
  void replaced(std::string& out);
  bool lenient_ = false;
  std::vector<std::size_t> replacements_;
  std::string pending_;  // the start of a sequence cut by the end of the last block
};

// The whole of text converted from fromEncoding to UTF-8, or none when the encoding is unknown
// or text is not valid in it (a sequence cut short at the end included).
// Each thread keeps the converter of the encoding it used last, so a file that names one
// charset on every line opens it once.
XR_EXPORT std::optional<std::string> convertToUtf8(std::string_view text,
                                                   std::string_view fromEncoding);

// A byte order mark at the start of a text.
struct ByteOrderMark {
  std::string_view encoding;  // "UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE" or "UTF-32BE"
  std::size_t length;         // bytes of the mark
};

// The mark that start begins with, if any. Pass the text's first four bytes when it has them:
// FF FE begins the marks of both UTF-16LE and UTF-32LE.
XR_EXPORT std::optional<ByteOrderMark> byteOrderMarkOf(std::string_view start);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or code points beyond
// U+10FFFF).
XR_EXPORT bool isValidUtf8(std::string_view text);

}  // namespace xr
