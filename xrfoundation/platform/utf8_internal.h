// platform/utf8_internal.h: the few UTF-8 facts the library needs -- strict validation and
// decoding, repair of invalid sequences, UTF-16 lengths and the CSV whitespace class -- over raw
// bytes, with the byte scanners that skip the plain runs between the characters that matter.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace xr::utf8 {

// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF. The empty text is valid.
bool isValid(std::string_view bytes);

// The character that bytes begin with (bytes not empty): returns its length and stores its code
// point in *code, or returns 0 when the bytes there are not well-formed UTF-8 (as isValid
// judges). The one decoding step for whoever needs code points rather than validity alone.
std::size_t decode(std::string_view bytes, char32_t* code);

// Appends the UTF-8 form of code, a Unicode scalar value (no surrogate, at most U+10FFFF).
void appendEncoded(std::string& out, char32_t code);

// Length of the run of ASCII bytes that bytes begin with.
std::size_t asciiPrefix(std::string_view bytes);

// Length of the run of ASCII bytes other than C0 controls (0x00 to 0x1F) that bytes begin with:
// the characters a text format can take without a look. Tab and line ends end the run too.
std::size_t asciiTextPrefix(std::string_view bytes);

// Whether bytes p[0, n) are all ASCII. Branch-free over words: CSV fields are short, and an
// early exit costs more there than it saves.
inline bool isAscii(const char* p, std::size_t n) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  std::uint64_t bits = 0;
  if (n >= 8) {
    std::uint64_t word;
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
      std::memcpy(&word, p + i, 8);
      bits |= word;
    }
    std::memcpy(&word, p + n - 8, 8);  // the last bytes, overlapping what was seen
    return ((bits | word) & kHighBits) == 0;
  }
  if (n >= 4) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, p + n - 4, 4);
    return ((head | tail) & 0x80808080u) == 0;
  }
  for (std::size_t i = 0; i < n; ++i) bits |= static_cast<unsigned char>(p[i]);
  return (bits & kHighBits) == 0;
}

namespace detail {
inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;

// The high bit of each byte of word that equals byte. A borrow may also mark a byte above the
// first match, never one below it, so the lowest mark is always exact.
inline std::uint64_t matches(std::uint64_t word, unsigned char byte) {
  word ^= kOnes * byte;  // a zero byte where byte stands
  return (word - kOnes) & ~word & 0x8080808080808080ull;
}
}  // namespace detail

// The first byte equal to byte in [p, end), or null: memchr for the short runs of one line,
// eight bytes a time without the cost of a call.
inline const char* findByte(const char* p, const char* end, char byte) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; end - p >= 8; p += 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t found = detail::matches(word, static_cast<unsigned char>(byte));
      if (found != 0) return p + (std::countr_zero(found) >> 3);
    }
  }
  for (; p < end; ++p) {
    if (*p == byte) return p;
  }
  return nullptr;
}

// The first byte in [p, end) equal to a, b or c, or null: findByte for a markup scanner that
// stops at any of three bytes.
inline const char* findAnyByte(const char* p, const char* end, char a, char b, char c) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; end - p >= 8; p += 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t found = detail::matches(word, static_cast<unsigned char>(a)) |
                                  detail::matches(word, static_cast<unsigned char>(b)) |
                                  detail::matches(word, static_cast<unsigned char>(c));
      if (found != 0) return p + (std::countr_zero(found) >> 3);
    }
  }
  for (; p < end; ++p) {
    if (*p == a || *p == b || *p == c) return p;
  }
  return nullptr;
}

// Appends bytes to out with each maximal invalid subpart replaced by U+FFFD, the practice
// that the Unicode standard recommends (so "\xE2\x82" becomes one U+FFFD, "\xFF\xFF" two).
void appendRepaired(std::string& out, std::string_view bytes);

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

inline bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// UTF-16 code units of one byte of UTF-8: a lead byte of four counts two, a continuation
// byte none. Summed over valid text this is the text's UTF-16 length.
inline std::size_t utf16UnitsOfByte(unsigned char byte) {
  return isContinuation(byte) ? 0 : (byte >= 0xF0 ? 2 : 1);
}

std::size_t utf16Length(std::string_view text);

// Bytes of the character at p if it is whitespace for the CSV reader -- tab or a space
// separator (Unicode category Zs) -- else 0. Line feed and carriage return are not.
inline std::size_t whitespaceLength(const char* p, const char* end) {
  const auto b0 = static_cast<unsigned char>(*p);
  if (b0 == 0x20 || b0 == 0x09) return 1;
  if (b0 < 0xC2 || b0 > 0xE3) return 0;
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left < 2) return 0;
  const auto b1 = static_cast<unsigned char>(p[1]);
  if (b0 == 0xC2) return b1 == 0xA0 ? 2 : 0;  // U+00A0
  if (left < 3) return 0;
  const auto b2 = static_cast<unsigned char>(p[2]);
  switch (b0) {
    case 0xE1:  // U+1680 OGHAM SPACE MARK
      return b1 == 0x9A && b2 == 0x80 ? 3 : 0;
    case 0xE2:  // U+2000..U+200A, U+202F, U+205F
      if (b1 == 0x80) return (b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xAF ? 3 : 0;
      return b1 == 0x81 && b2 == 0x9F ? 3 : 0;
    case 0xE3:  // U+3000 IDEOGRAPHIC SPACE
      return b1 == 0x80 && b2 == 0x80 ? 3 : 0;
    default:
      return 0;
  }
}

}  // namespace xr::utf8
