#include "xrfoundation/input/buffered_input_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "xrfoundation/platform/testing/fake_input_stream.h"

namespace xr {
namespace {

using testing::FakeInputStream;

std::vector<std::string> readAllLines(XRBufferedInputStream& reader) {
  std::vector<std::string> lines;
  while (auto line = reader.readLine()) lines.emplace_back(*line);
  return lines;
}

// What the reader must give: the input cut after every line feed, the remainder last.
std::vector<std::string> plainSplit(const std::string& input) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t feed; (feed = input.find('\n', start)) != std::string::npos; start = feed + 1) {
    lines.push_back(input.substr(start, feed + 1 - start));
  }
  if (start < input.size()) lines.push_back(input.substr(start));
  return lines;
}

struct LineCase {
  const char* name;
  std::string input;
  std::uint64_t bufSize;
  std::size_t chunkLimit;  // 0: the fake delivers all it is asked for
  std::vector<std::string> lines;
};

TEST(BufferedInputStreamTest, CutsLinesAtLineFeedsOnly) {
  const std::string longLine = std::string(1000, 'x') + "\n";
  const LineCase cases[] = {
      {"last line without feed", "a\nb", 4096, 0, {"a\n", "b"}},
      {"CR LF kept", "a\r\nb\r\n", 4096, 0, {"a\r\n", "b\r\n"}},
      {"lone CR is ordinary", "a\rb\n", 4096, 0, {"a\rb\n"}},
      {"blank lines", "\n\n", 4096, 0, {"\n", "\n"}},
      {"empty input", "", 4096, 0, {}},
      {"block of 1", "ab\ncd\nef", 1, 0, {"ab\n", "cd\n", "ef"}},
      {"block of 2", "ab\ncd\nef", 2, 0, {"ab\n", "cd\n", "ef"}},
      {"block of 3", "ab\ncd\nef", 3, 0, {"ab\n", "cd\n", "ef"}},
      {"feed last byte of block", "abc\ndefg\nh", 4, 0, {"abc\n", "defg\n", "h"}},
      {"line 333 blocks long", longLine + "z\n", 3, 0, {longLine, "z\n"}},
      {"stream gives 1 byte a time", "ab\r\ncd\n", 64, 1, {"ab\r\n", "cd\n"}},
      {"zero bytes kept", std::string("a\0b\n", 4), 2, 0, {std::string("a\0b\n", 4)}},
  };
  for (const LineCase& c : cases) {
    auto stream = std::make_shared<FakeInputStream>(c.input);
    stream->setChunkLimit(c.chunkLimit);
    XRBufferedInputStream reader(stream, c.bufSize);
    reader.setWantsEmptyLines(true);  // stored only: must not change any line
    reader.open();
    EXPECT_EQ(readAllLines(reader), c.lines) << c.name;
    EXPECT_FALSE(reader.readLine()) << c.name << ": none again after the end";
    EXPECT_TRUE(reader.atEnd()) << c.name;
    EXPECT_LE(stream->largestRequest(), c.bufSize) << c.name;
  }
}

TEST(BufferedInputStreamTest, LineFeedAsLastByteOfBlockEndsLineWithoutRefill) {
  auto stream = std::make_shared<FakeInputStream>("abc\ndef\n");
  XRBufferedInputStream reader(stream, 4);
  reader.open();
  EXPECT_EQ(reader.readLine(), "abc\n");
  EXPECT_EQ(stream->readCalls(), 1);
  EXPECT_FALSE(reader.atEnd());
}

TEST(BufferedInputStreamTest, ReadErrorMidLineEndsInputAfterThePartialLine) {
  auto stream = std::make_shared<FakeInputStream>("abc\ndef\nghi\n");
  stream->setFailAt(6);
  XRBufferedInputStream reader(stream, 2);
  reader.open();
  EXPECT_EQ(readAllLines(reader), (std::vector<std::string>{"abc\n", "de"}));
  EXPECT_FALSE(reader.readLine());
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(reader.status(), StreamStatus::Error);
  EXPECT_TRUE(reader.streamError().has_value());
}

TEST(BufferedInputStreamTest, OnlyReadMaxLengthCountsBytesProcessed) {
  auto stream = std::make_shared<FakeInputStream>("line one\n0123456789abcdef");
  XRBufferedInputStream reader(stream, 9);
  reader.open();
  EXPECT_EQ(reader.readLine(), "line one\n");
  EXPECT_EQ(reader.bytesProcessed(), 0u);
  std::uint8_t block[10];
  EXPECT_EQ(reader.read(block, sizeof block), 10);
  EXPECT_EQ(std::string(block, block + 10), "0123456789");
  EXPECT_EQ(reader.bytesProcessed(), 10u);
  EXPECT_EQ(reader.read(block, sizeof block), 6);
  EXPECT_EQ(reader.read(block, sizeof block), 0);
  EXPECT_EQ(reader.bytesProcessed(), 16u);
  stream->setFailAt(0);
  EXPECT_LT(reader.read(block, sizeof block), 0);
  EXPECT_EQ(reader.bytesProcessed(), 16u) << "an error delivers no bytes";
}

TEST(BufferedInputStreamTest, ClosesTheWrappedStreamOnlyIfItOpenedIt) {
  auto unopened = std::make_shared<FakeInputStream>("x\n");
  {
    XRBufferedInputStream reader(unopened, 8);
    reader.open();
    EXPECT_EQ(unopened->openCalls(), 1);
    EXPECT_EQ(unopened->status(), StreamStatus::Open);
    reader.close();
    EXPECT_EQ(unopened->status(), StreamStatus::Closed);
    EXPECT_EQ(reader.status(), StreamStatus::Closed);
  }
  EXPECT_GE(unopened->closeCalls(), 1);

  auto opened = std::make_shared<FakeInputStream>("x\n");
  opened->open();
  {
    XRBufferedInputStream reader(opened, 8);
    reader.open();
    EXPECT_EQ(reader.readLine(), "x\n");
    reader.close();
  }
  EXPECT_EQ(opened->openCalls(), 1);
  EXPECT_EQ(opened->closeCalls(), 0);
  EXPECT_EQ(opened->status(), StreamStatus::Open);
}

TEST(BufferedInputStreamTest, ReadsOutsideOpenAndCloseGiveNone) {
  auto stream = std::make_shared<FakeInputStream>("a,b\nBEGIN:VCARD\nEND:VCARD\n");
  XRBufferedInputStream reader(stream, 4);
  EXPECT_EQ(reader.status(), StreamStatus::NotOpen);
  EXPECT_FALSE(reader.readLine());
  EXPECT_FALSE(reader.readVCardData());
  EXPECT_FALSE(reader.csvReadData());
  EXPECT_EQ(stream->readCalls(), 0) << "nothing is read before open";
  reader.open();
  reader.open();  // a second open keeps the first one's buffers and position
  EXPECT_TRUE(reader.csvReadHeader());
  reader.close();
  EXPECT_EQ(reader.csvTitles(), nullptr);
  EXPECT_FALSE(reader.readLine());
  EXPECT_FALSE(reader.readVCardData());
  EXPECT_FALSE(reader.csvReadHeader());
  EXPECT_TRUE(reader.atEnd());
  reader.close();  // closing twice is harmless
}

// Random inputs of few distinct bytes (so that blank lines, CR LF and long lines all occur),
// read through random block sizes and random short deliveries, give a plain split's lines.
TEST(BufferedInputStreamTest, AgreesWithPlainSplitOnRandomInput) {
  std::mt19937 random(20240611);
  const char alphabet[] = {'a', 'b', '\n', '\r', '\n', '\xFF', '\0'};
  for (int round = 0; round < 2000; ++round) {
    std::string input(std::uniform_int_distribution<int>(0, 300)(random), ' ');
    const int spread =
        std::uniform_int_distribution<int>(1, 7)(random);  // fewer feeds: longer lines
    for (char& c : input) c = alphabet[std::uniform_int_distribution<int>(0, spread - 1)(random)];
    const auto bufSize = std::uniform_int_distribution<std::uint64_t>(1, 40)(random);
    auto stream = std::make_shared<FakeInputStream>(input);
    stream->setChunkLimit(std::uniform_int_distribution<std::size_t>(0, 5)(random));
    XRBufferedInputStream reader(stream, bufSize);
    reader.open();
    ASSERT_EQ(readAllLines(reader), plainSplit(input))
        << "round " << round << ", block " << bufSize << ", input size " << input.size();
  }
}

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("xr_input_test_" + std::to_string(std::random_device()())))
                .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::string path_;
};

TEST_F(FileStreamTest, ReadsLinesOfAFile) {
  std::ofstream(path_, std::ios::binary) << "first\r\nsecond\nthird";
  XRBufferedInputStream reader(makeFileInputStream(path_), 5);
  reader.open();
  EXPECT_EQ(readAllLines(reader), (std::vector<std::string>{"first\r\n", "second\n", "third"}));
  EXPECT_EQ(reader.status(), StreamStatus::AtEnd);
  EXPECT_FALSE(reader.streamError());
}

TEST_F(FileStreamTest, MissingFileEndsReadsAtOnceWithAnError) {
  auto stream = makeFileInputStream(path_ + ".missing");
  XRBufferedInputStream reader(stream, 64);
  reader.open();
  EXPECT_FALSE(reader.readLine());
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(stream->status(), StreamStatus::Error);
  ASSERT_TRUE(stream->streamError());
  EXPECT_NE(stream->streamError()->find(path_ + ".missing"), std::string::npos);
  reader.close();
  stream->close();  // harmless on a stream that never opened
}

TEST(DataStreamTest, PassesBufferAndAvailabilityThrough) {
  auto stream = makeDataInputStream("abcdef");
  XRBufferedInputStream reader(stream, 4);
  reader.open();
  EXPECT_TRUE(reader.hasBytesAvailable());
  std::uint8_t two[2];
  ASSERT_EQ(reader.read(two, 2), 2);
  const std::uint8_t* rest = nullptr;
  std::uint64_t length = 0;
  ASSERT_TRUE(reader.getBuffer(rest, length));
  EXPECT_EQ(std::string(rest, rest + length), "cdef");
  ASSERT_EQ(reader.read(two, 2), 2);
  ASSERT_EQ(reader.read(two, 2), 2);
  EXPECT_FALSE(reader.hasBytesAvailable());
  EXPECT_EQ(reader.read(two, 2), 0);
  reader.close();
  stream->close();
  EXPECT_LT(stream->read(two, 2), 0) << "a closed stream reads nothing";
}

}  // namespace
}  // namespace xr
