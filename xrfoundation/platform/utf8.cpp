// platform/utf8.cpp
#include <cstdint>
#include <cstring>

#include "xrfoundation/platform/utf8_internal.h"

namespace xr::utf8 {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

struct Sequence {
  std::size_t length;  // bytes of the sequence, or of the maximal invalid subpart
  bool valid;
};

// Well-formed sequences after the Unicode standard's table of UTF-8 byte ranges; the second
// byte's range depends on the lead, which rules out overlong forms and surrogates.
Sequence scanSequence(const unsigned char* p, std::size_t left) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {1, true};
  std::size_t trail;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
  } else if (lead == 0xE0) {
    trail = 2, low = 0xA0;
  } else if (lead == 0xED) {
    trail = 2, high = 0x9F;
  } else if (lead >= 0xE1 && lead <= 0xEF) {
    trail = 2;
  } else if (lead == 0xF0) {
    trail = 3, low = 0x90;
  } else if (lead == 0xF4) {
    trail = 3, high = 0x8F;
  } else if (lead >= 0xF1 && lead <= 0xF3) {
    trail = 3;
  } else {
    return {1, false};
  }
  for (std::size_t i = 1; i <= trail; ++i) {
    if (i >= left) return {i, false};
    const unsigned char byte = p[i];
    if (byte < low || byte > high) return {i, false};
    low = 0x80, high = 0xBF;
  }
  return {trail + 1, true};
}

// Length of the leading run of ASCII bytes, eight at a time; with kText, C0 controls end it too.
template <bool kText = false>
std::size_t asciiPrefix(const unsigned char* p, std::size_t n) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  std::size_t i = 0;
  if constexpr (!kText) {
    // Whole records of ASCII (a vCard import checks every one) go thirty-two bytes a step.
    for (; i + 32 <= n; i += 32) {
      std::uint64_t words[4];
      std::memcpy(words, p + i, sizeof words);
      if ((words[0] | words[1] | words[2] | words[3]) & kHighBits) break;
    }
  }
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    // A byte below 0x20 borrows into its high bit; a borrow marks only bytes after such a
    // byte, and the bytes are then looked at one by one.
    const std::uint64_t stop = kText ? (word | (word - kOnes * 0x20)) : word;
    if (stop & kHighBits) break;
  }
  while (i < n && p[i] < 0x80 && (!kText || p[i] >= 0x20)) ++i;
  return i;
}

}  // namespace

std::size_t asciiPrefix(std::string_view bytes) {
  return asciiPrefix(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::size_t asciiTextPrefix(std::string_view bytes) {
  return asciiPrefix<true>(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::size_t decode(std::string_view bytes, char32_t* code) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const Sequence s = scanSequence(p, bytes.size());
  if (!s.valid) return 0;
  // The lead keeps 7, 5, 4 or 3 bits of the value by length; each trailing byte adds 6.
  constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t value = p[0] & kLeadBits[s.length];
  for (std::size_t i = 1; i < s.length; ++i) value = (value << 6) | (p[i] & 0x3F);
  *code = value;
  return s.length;
}

void appendEncoded(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool isValid(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    i += asciiPrefix(p + i, n - i);
    if (i == n) break;
    const Sequence s = scanSequence(p + i, n - i);
    if (!s.valid) return false;
    i += s.length;
  }
  return true;
}

void appendRepaired(std::string& out, std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t ascii = asciiPrefix(p + i, n - i);
    out.append(bytes.data() + i, ascii);
    i += ascii;
    if (i == n) break;
    const Sequence s = scanSequence(p + i, n - i);
    if (s.valid) {
      out.append(bytes.data() + i, s.length);
    } else {
      out.append(kReplacementCharacter);
    }
    i += s.length;
  }
}

std::size_t utf16Length(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < n) {
    const std::size_t ascii = asciiPrefix(p + i, n - i);
    units += ascii;
    i += ascii;
    if (i < n) units += utf16UnitsOfByte(p[i++]);
  }
  return units;
}

}  // namespace xr::utf8
