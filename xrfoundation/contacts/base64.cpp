// contacts/base64.cpp: table-driven Base64.
//
// Both directions work on whole groups through wide tables built at compile time, so that
// there is no first-use initialisation to guard: the encoder turns 12 input bits into two
// characters with one lookup, and the decoder turns each character into its bits already
// shifted into place, so that four lookups OR-ed together give three output bytes and one
// flag bit telling whether any of the four was outside the alphabet. Only a group that meets
// white space, '=', NUL or a bad character leaves the fast path for the careful one.
#include "xrfoundation/contacts/base64.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace xr {
namespace {

constexpr char kEncodingTable[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

// Character classes of the careful path: 0..63 is the character's value.
constexpr uint8_t kInvalid = 127;  // outside the alphabet: the decode fails
constexpr uint8_t kSkip = 64;      // white space or '=': layout, ignored
constexpr uint8_t kEnd = 65;       // NUL: the text ends here

constexpr std::array<uint8_t, 256> makeClassTable() {
  std::array<uint8_t, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kEncodingTable[i])] = i;
  for (char c : {' ', '\t', '\n', '\v', '\f', '\r', kPad}) table[static_cast<uint8_t>(c)] = kSkip;
  table[0] = kEnd;
  return table;
}
constexpr std::array<uint8_t, 256> kClass = makeClassTable();

// Fast-path tables: entry i of kDecodeShifted[k] is the value of character i placed where it
// lands when it is the k-th character of a group, with the three output bytes in memory
// order of a little-endian 32-bit word. A character outside the alphabet (white space, '='
// and NUL included, so that they leave the fast path) sets bit 24, which no valid
// combination reaches.
constexpr uint32_t kBadBit = 0x01000000;
constexpr std::array<std::array<uint32_t, 256>, 4> makeShiftedTables() {
  std::array<std::array<uint32_t, 256>, 4> tables{};
  for (int c = 0; c < 256; ++c) {
    const uint32_t v = kClass[c];
    if (v >= 64) {
      for (auto& table : tables) table[c] = kBadBit | 0x00FFFFFF;
      continue;
    }
    tables[0][c] = v << 2;
    tables[1][c] = (v >> 4) | ((v & 0x0F) << 12);
    tables[2][c] = ((v >> 2) << 8) | ((v & 0x03) << 22);
    tables[3][c] = v << 16;
  }
  return tables;
}
constexpr auto kDecodeShifted = makeShiftedTables();

// Two characters for each 12-bit value, first character in the lower byte so that a
// little-endian store writes them in order.
constexpr std::array<uint16_t, 4096> makePairTable() {
  std::array<uint16_t, 4096> table{};
  for (int i = 0; i < 4096; ++i) {
    table[i] = static_cast<uint16_t>(static_cast<uint8_t>(kEncodingTable[i >> 6]) |
                                     (static_cast<uint8_t>(kEncodingTable[i & 63]) << 8));
  }
  return table;
}
constexpr auto kPairs = makePairTable();

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

inline uint64_t loadBigEndian64(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (kLittleEndian) word = __builtin_bswap64(word);
  return word;
}

inline uint32_t decodeQuad(const uint8_t* p) {
  return kDecodeShifted[0][p[0]] | kDecodeShifted[1][p[1]] | kDecodeShifted[2][p[2]] |
         kDecodeShifted[3][p[3]];
}

inline void store32(uint8_t* out, uint32_t word) { std::memcpy(out, &word, sizeof word); }

// Eight characters for the six bytes in the top 48 bits of word.
inline uint64_t encodeSix(uint64_t word) {
  const uint64_t hi = word >> 40;
  const uint64_t lo = (word >> 16) & 0xFFFFFF;
  return uint64_t{kPairs[hi >> 12]} | (uint64_t{kPairs[hi & 0xFFF]} << 16) |
         (uint64_t{kPairs[lo >> 12]} << 32) | (uint64_t{kPairs[lo & 0xFFF]} << 48);
}

// Decodes in[0, size) into out, which has room for (size + 3) / 4 * 3 bytes plus four bytes
// of slack for the fast path's whole-word stores. Returns the number of bytes written, or
// -1 when the text is not Base64.
std::ptrdiff_t decodeInto(const uint8_t* in, std::size_t size, uint8_t* out) {
  const uint8_t* p = in;
  const uint8_t* end = in + size;
  uint8_t* o = out;
  for (;;) {
    if constexpr (kLittleEndian) {
      while (end - p >= 16) {
        const uint32_t a = decodeQuad(p);
        const uint32_t b = decodeQuad(p + 4);
        const uint32_t c = decodeQuad(p + 8);
        const uint32_t d = decodeQuad(p + 12);
        if ((a | b | c | d) & kBadBit) break;
        store32(o, a);
        store32(o + 3, b);
        store32(o + 6, c);
        store32(o + 9, d);
        o += 12;
        p += 16;
      }
      // Line breaks every 76 characters fall inside a 16-character block; single groups
      // keep the rest of the line on the fast path.
      while (end - p >= 4) {
        const uint32_t a = decodeQuad(p);
        if (a & kBadBit) break;
        store32(o, a);
        o += 3;
        p += 4;
      }
    }
    // The careful path: one group of up to four significant characters.
    uint8_t v[4] = {0, 0, 0, 0};
    int n = 0;
    while (n < 4 && p != end) {
      const uint8_t cls = kClass[*p];
      if (cls == kEnd) {
        // The text ends at its first NUL, but a non-ASCII character anywhere in the text
        // still makes it no Base64 text at all.
        for (const uint8_t* rest = p; rest != end; ++rest) {
          if (*rest >= 0x80) return -1;
        }
        end = p;
        break;
      }
      ++p;
      if (cls == kSkip) continue;
      if (cls == kInvalid) return -1;
      v[n++] = cls;
    }
    switch (n) {
      case 0:
        return o - out;
      case 1:
        return -1;  // six bits make no byte
      case 2:
        *o++ = static_cast<uint8_t>((v[0] << 2) | (v[1] >> 4));
        return o - out;
      case 3:
        *o++ = static_cast<uint8_t>((v[0] << 2) | (v[1] >> 4));
        *o++ = static_cast<uint8_t>((v[1] << 4) | (v[2] >> 2));
        return o - out;
      default:
        *o++ = static_cast<uint8_t>((v[0] << 2) | (v[1] >> 4));
        *o++ = static_cast<uint8_t>((v[1] << 4) | (v[2] >> 2));
        *o++ = static_cast<uint8_t>((v[2] << 6) | v[3]);
        break;
    }
  }
}

}  // namespace

void base64Encode(std::span<const uint8_t> bytes, char* out) {
  const uint8_t* p = bytes.data();
  const uint8_t* end = p + bytes.size();
  // Each step reads eight bytes and uses six, so it stops while eight remain readable.
  while (end - p >= 26) {
    const uint64_t w0 = encodeSix(loadBigEndian64(p));
    const uint64_t w1 = encodeSix(loadBigEndian64(p + 6));
    const uint64_t w2 = encodeSix(loadBigEndian64(p + 12));
    const uint64_t w3 = encodeSix(loadBigEndian64(p + 18));
    if constexpr (kLittleEndian) {
      std::memcpy(out, &w0, 8);
      std::memcpy(out + 8, &w1, 8);
      std::memcpy(out + 16, &w2, 8);
      std::memcpy(out + 24, &w3, 8);
    } else {
      const uint64_t swapped[4] = {__builtin_bswap64(w0), __builtin_bswap64(w1),
                                   __builtin_bswap64(w2), __builtin_bswap64(w3)};
      std::memcpy(out, swapped, sizeof swapped);
    }
    p += 24;
    out += 32;
  }
  while (end - p >= 3) {
    const uint32_t group = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    out[0] = kEncodingTable[group >> 18];
    out[1] = kEncodingTable[(group >> 12) & 63];
    out[2] = kEncodingTable[(group >> 6) & 63];
    out[3] = kEncodingTable[group & 63];
    p += 3;
    out += 4;
  }
  if (end - p == 2) {
    out[0] = kEncodingTable[p[0] >> 2];
    out[1] = kEncodingTable[((p[0] & 3) << 4) | (p[1] >> 4)];
    out[2] = kEncodingTable[(p[1] & 15) << 2];
    out[3] = kPad;
  } else if (end - p == 1) {
    out[0] = kEncodingTable[p[0] >> 2];
    out[1] = kEncodingTable[(p[0] & 3) << 4];
    out[2] = kPad;
    out[3] = kPad;
  }
}

std::optional<std::string> base64Encoding(std::span<const uint8_t> bytes) {
  try {
    std::string text(base64EncodedLength(bytes.size()), '\0');
    base64Encode(bytes, text.data());
    return text;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::vector<uint8_t>> dataWithBase64EncodedString(
    std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  try {
    constexpr std::size_t kStoreSlack = 4;
    std::vector<uint8_t> bytes((text->size() + 3) / 4 * 3 + kStoreSlack);
    const std::ptrdiff_t written =
        decodeInto(reinterpret_cast<const uint8_t*>(text->data()), text->size(), bytes.data());
    if (written < 0) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(written));
    return bytes;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace xr
