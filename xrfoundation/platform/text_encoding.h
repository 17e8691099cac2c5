// platform/text_encoding.h: which encoding a text file is in, and its lenient conversion to
// UTF-8. Address books come from many programs: UTF-8 with or without a byte order mark,
// UTF-16 with or without one, and the legacy code pages of every language (Windows-125x,
// ISO-8859-x, KOI8-R, Shift_JIS, EUC-JP, GB18030, Big5, EUC-KR). detectEncoding() tells them
// apart from the first block of a file: a byte order mark first, then the zero bytes of
// UTF-16, then valid UTF-8, and otherwise the guess of a statistical detector (uchardet).
// TextDecoder converts block by block and never gives up: a byte the encoding doesn't explain
// becomes U+FFFD, and the lines where that happened are kept for the caller to report.
// The free functions may be called from any thread; a decoder by one thread at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

class CharsetConverter;

// How the encoding of a text was learned.
enum class EncodingBasis {
  Given,          // the caller named it
  ByteOrderMark,  // the text starts with one
  ZeroBytes,      // UTF-16 without a mark, told by the zero bytes of its ASCII characters
  Utf8,           // the bytes are valid UTF-8 (plain ASCII included)
  Guessed,        // the statistical detector's guess
};

// What detectEncoding() found.
struct XR_EXPORT DetectedEncoding {
  std::string name;  // display name: "UTF-8", "UTF-16LE", "Windows-1252", "Shift_JIS", ...
  EncodingBasis basis = EncodingBasis::Utf8;  // how it was learned
  std::size_t markLength = 0;                 // bytes of the byte order mark at the start
  // Utf8 basis from plain ASCII: the first non-ASCII bytes, later in the file, may still
  // show another encoding.
  bool asciiOnly = false;
};

// The encoding of a text whose first bytes are sample. complete: sample is the whole text, so
// a sequence cut at its end is a fault rather than the cut of a block.
XR_EXPORT DetectedEncoding detectEncoding(std::string_view sample, bool complete);

// The encoding of bytes that follow a plain ASCII start (detectEncoding() said asciiOnly) and
// are not all ASCII: UTF-8 when they are valid UTF-8, else the detector's guess.
XR_EXPORT DetectedEncoding detectLaterEncoding(std::string_view bytes, bool complete);

// What the bytes after a plain ASCII start show (encodingAfterAscii()).
struct XR_EXPORT EncodingAfterAscii {
  std::size_t from;           // the first fresh byte (before held when a sequence was cut there)
  std::size_t ascii;          // ASCII bytes from there on
  DetectedEncoding encoding;  // theirs, as detectLaterEncoding() tells it
};
// What the bytes of text from held on show, when text[floor, held) was plain ASCII; none while
// they are ASCII too, or only the start of a cut sequence. The one step of both readers that
// decide late.
XR_EXPORT std::optional<EncodingAfterAscii> encodingAfterAscii(std::string_view text,
                                                               std::size_t floor, std::size_t held,
                                                               bool complete);

// The detector's guess for bytes that are not UTF-8, as a display name; Windows-1252 when it
// has none.
XR_EXPORT std::string guessLegacyEncoding(std::string_view sample);

// The display name of an encoding name as iconv or Windows spell it, case and '-', '_' not
// mattering ("cp1252" and "WINDOWS-1252" give "Windows-1252", "latin1" "ISO-8859-1", "sjis"
// "Shift_JIS", "GBK" "GB18030"); none when the name is not one this system converts.
XR_EXPORT std::optional<std::string> encodingDisplayName(std::string_view name);

// The legacy encodings that a guess may be mistaken between, by display name: the candidates
// when a caller can check the decoded text (a header naming known columns).
XR_EXPORT std::span<const std::string_view> legacyEncodings();

// Where undecodable bytes were replaced: a count, and the first lines, so that a file in the
// wrong encoding can't grow the list without bound.
struct XR_EXPORT DecodeDamage {
  static constexpr std::size_t kMaxLines = 20;  // lines kept at most
  std::uint64_t count = 0;                      // replacements made
  std::vector<std::uint64_t> lines;  // distinct lines (from 1), ascending, at most kMaxLines
  // Counts one replacement on line.
  void add(std::uint64_t line);
};

// Converts text in one encoding to UTF-8, block by block, leniently; see the top of the file.
class XR_EXPORT TextDecoder {
 public:
  // A decoder from the named encoding (any name encodingDisplayName() knows, or one the
  // platform converts), or null when there is none. firstLine: the line the first byte is on.
  static std::unique_ptr<TextDecoder> create(std::string_view encoding,
                                             std::uint64_t firstLine = 1);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Appends the UTF-8 form of bytes to out. A sequence cut by the end of bytes waits for the
  // next call; last: bytes end the input, and such a sequence is replaced.
  void decode(std::string_view bytes, std::string& out, bool last = false);
  // The display name of the encoding.
  const std::string& encoding() const { return name_; }
  // The replacements so far.
  const DecodeDamage& damage() const { return damage_; }
  // Whether the last call replaced anything.
  bool lastReplaced() const { return lastReplaced_; }

 private:
  TextDecoder(std::unique_ptr<CharsetConverter> converter, std::string name,
              std::uint64_t firstLine);
  void count(const std::string& out, std::size_t from, const std::vector<std::size_t>& at);
  // UTF-8 input, checked here: iconv's UTF-8 takes the old five- and six-byte forms and code
  // points above U+10FFFF as characters.
  void decodeUtf8(std::string_view bytes, std::string& out, bool last,
                  std::vector<std::size_t>& at);

  std::unique_ptr<CharsetConverter> converter_;  // null for UTF-8
  std::string pending_;  // UTF-8 input: a sequence cut by the end of the last block
  std::string name_;
  DecodeDamage damage_;
  std::uint64_t line_;    // the line of the next byte produced
  bool afterCr_ = false;  // the output so far ends with CR: an LF next ends no further line
  bool lastReplaced_ = false;
};

}  // namespace xr
