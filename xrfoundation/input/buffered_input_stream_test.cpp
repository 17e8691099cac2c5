#include "xrfoundation/input/buffered_input_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "xrfoundation/platform/testing/fake_input_stream.h"

namespace xr {
namespace {

using testing::FakeInputStream;
using Lines = std::vector<std::string>;

Lines readAllLines(XRBufferedInputStream& reader) {
  Lines lines;
  while (auto line = reader.readLine()) lines.emplace_back(*line);
  return lines;
}

// What the reader must give: the input cut after every line feed, the remainder last.
Lines plainSplit(const std::string& input) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t feed; (feed = input.find('\n', start)) != std::string::npos; start = feed + 1) {
    lines.push_back(input.substr(start, feed + 1 - start));
  }
  if (start < input.size()) lines.push_back(input.substr(start));
  return lines;
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
  EXPECT_EQ(readAllLines(reader), (Lines{"abc\n", "de"}));
  EXPECT_FALSE(reader.readLine());
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(reader.status(), StreamStatus::Error);
  EXPECT_EQ(reader.readError(), "injected read error");
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
  for (const bool openedByCaller : {false, true}) {
    auto stream = std::make_shared<FakeInputStream>("x\n");
    if (openedByCaller) stream->open();
    {
      XRBufferedInputStream reader(stream, 8);
      reader.open();
      EXPECT_EQ(reader.readLine(), "x\n");
      reader.close();
      EXPECT_EQ(reader.status(), StreamStatus::Closed);
    }
    EXPECT_EQ(stream->openCalls(), 1) << "opened by caller " << openedByCaller;
    EXPECT_EQ(stream->closeCalls() > 0, !openedByCaller) << "opened by caller " << openedByCaller;
    EXPECT_EQ(stream->status(), openedByCaller ? StreamStatus::Open : StreamStatus::Closed);
  }
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
  reader.open();   // over the stream the first close() closed: reads end, and that is no error
  EXPECT_FALSE(reader.nextVCardRecord());
  EXPECT_EQ(reader.readError(), std::nullopt);
}

// An impossible block is a failed open, not an exception: nothing is read and the reader says
// why. A reader opened again after close() reads on from a stream it did not close.
TEST(BufferedInputStreamTest, OpenWithoutABlockFailsAsAResult) {
  {
    const std::uint64_t size = XRBufferedInputStream::kMaxBlockSize + 1;
    auto stream = std::make_shared<FakeInputStream>("a\n");
    XRBufferedInputStream reader(stream, size);
    reader.open();
    EXPECT_EQ(reader.status(), StreamStatus::Error);
    EXPECT_EQ(reader.streamError(),
              "cannot make a read block of " + std::to_string(size) + " bytes");
    EXPECT_FALSE(reader.readLine());
    EXPECT_FALSE(reader.readVCardData());
    EXPECT_FALSE(reader.csvReadData());
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(stream->openCalls() + stream->readCalls(), 0) << "the stream is left alone";
  }
  auto stream = std::make_shared<FakeInputStream>("a\nb\n");
  stream->open();
  XRBufferedInputStream reader(stream, 2);
  reader.open();
  EXPECT_EQ(reader.readLine(), "a\n");
  reader.close();
  reader.open();
  EXPECT_EQ(reader.status(), StreamStatus::Open);
  EXPECT_EQ(reader.readLine(), "b\n") << "fresh buffers over the stream as it stands";
}

// Random inputs of few distinct bytes (so that blank lines, CR LF, NUL, long lines and empty
// inputs all occur), read through random block sizes and random short deliveries, give a plain
// split's lines: cut after every line feed only, however the blocks fall.
TEST(BufferedInputStreamTest, CutsLinesAtLineFeedsOnlyWhateverTheBlocks) {
  std::mt19937 random(20240611);
  auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution(low, high)(random);
  };
  const char alphabet[] = {'a', 'b', '\n', '\r', '\n', '\xFF', '\0'};
  for (int round = 0; round < 2000; ++round) {
    std::string input(uniform(0, 300), ' ');
    const int spread = uniform(1, 7);  // fewer feeds: longer lines
    for (char& c : input) c = alphabet[uniform(0, spread - 1)];
    const int bufSize = uniform(1, 40);
    auto stream = std::make_shared<FakeInputStream>(input);
    stream->setChunkLimit(uniform(0, 5));
    XRBufferedInputStream reader(stream, bufSize);
    reader.setWantsEmptyLines(round % 2);  // stored only: must not change any line
    reader.open();
    SCOPED_TRACE("round " + std::to_string(round) + ", block " + std::to_string(bufSize) +
                 ", input size " + std::to_string(input.size()));
    ASSERT_EQ(readAllLines(reader), plainSplit(input));
    EXPECT_FALSE(reader.readLine()) << "none again after the end";
    EXPECT_EQ(reader.status(), StreamStatus::AtEnd);
    EXPECT_LE(stream->largestRequest(), std::uint64_t(bufSize));
  }
}

// A file that cannot be opened ends the reads at once, with an error naming it; over memory,
// getBuffer and hasBytesAvailable pass through to the unread part.
TEST(BufferedInputStreamTest, ReadsNoMissingFileAndPassesMemoryThrough) {
  const std::string path = ::testing::TempDir() + "xr_input_missing/none.txt";
  auto missing = makeFileInputStream(path);
  XRBufferedInputStream missingReader(missing, 64);
  missingReader.open();
  EXPECT_FALSE(missingReader.readLine());
  EXPECT_TRUE(missingReader.atEnd());
  EXPECT_NE(missingReader.streamError().value_or("").find(path), std::string::npos);

  XRBufferedInputStream dataReader(makeDataInputStream("abcdef"), 4);
  dataReader.open();
  std::uint8_t bytes[4];
  ASSERT_EQ(dataReader.read(bytes, 2), 2);
  const std::uint8_t* rest = nullptr;
  std::uint64_t length = 0;
  ASSERT_TRUE(dataReader.getBuffer(rest, length));
  EXPECT_EQ(std::string(rest, rest + length), "cdef");
  EXPECT_TRUE(dataReader.hasBytesAvailable());
  ASSERT_EQ(dataReader.read(bytes, 4), 4);
  EXPECT_FALSE(dataReader.hasBytesAvailable());
}

}  // namespace
}  // namespace xr
