#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "xrfoundation/platform/byte_search_internal.h"

namespace xr {
namespace {

// Every length up to a few blocks, at every alignment, with the byte first, last, at each block
// edge, twice or nowhere, must give memchr's answer, and the search must read nothing outside
// its range (under ASan, a range is an allocation of exactly its size).
TEST(ByteSearchTest, FindsWhatMemchrFindsAndReadsNothingOutside) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length <= 50; ++length) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      const std::size_t places[] = {0, length - 1, 15, 16, 31, 32, length / 2, length};
      for (std::size_t place : places) {
        std::string bytes(offset + length, '\0');
        for (char& c : bytes) c = static_cast<char>('a' + random() % 20);
        if (place < length) bytes[offset + place] = '\xff';
        if (place + 3 < length) bytes[offset + place + 3] = '\xff';
        const std::vector<char> range(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                      bytes.end());
        const char* expected =
            length == 0 ? nullptr
                        : static_cast<const char*>(std::memchr(range.data(), 0xff, range.size()));
        EXPECT_EQ(findByteBlockwise(range.data(), range.size(), '\xff'), expected)
            << "length " << length << ", offset " << offset << ", byte at " << place;
        EXPECT_EQ(findByte(range.data(), range.size(), '\xff'), expected);
      }
    }
  }
  EXPECT_EQ(findByteBlockwise(nullptr, 0, 'a'), nullptr);
}

// The same lengths, alignments and places for a line end: the first CR or LF, whichever comes
// first, and no other control byte (a tab, a vertical tab, a CR's neighbours 0x0C and 0x0E).
TEST(ByteSearchTest, FindsTheFirstLineEndAndNoOtherControlByte) {
  std::mt19937 random(11);
  const char noise[] = {'\t', '\v', '\x0c', '\x0e', '\x8d', '\x8a'};
  for (std::size_t length = 0; length <= 50; ++length) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      const std::size_t places[] = {0, length - 1, 15, 16, 31, 32, length / 2, length};
      for (std::size_t place : places) {
        for (const char lineEnd : {'\r', '\n'}) {
          std::string bytes(offset + length, '\0');
          for (char& c : bytes) c = noise[random() % sizeof noise];
          if (place < length) bytes[offset + place] = lineEnd;
          if (place + 3 < length) bytes[offset + place + 3] = lineEnd == '\r' ? '\n' : '\r';
          const std::vector<char> range(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                        bytes.end());
          const char* expected = place < length ? range.data() + place : nullptr;
          EXPECT_EQ(findLineEnd(range.data(), range.size()), expected)
              << "length " << length << ", offset " << offset << ", line end at " << place;
        }
      }
    }
  }
  EXPECT_EQ(findLineEnd(nullptr, 0), nullptr);
}

}  // namespace
}  // namespace xr
