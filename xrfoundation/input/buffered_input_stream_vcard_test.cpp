// Cutting vCard files into records: readVCardData and nextVCardRecord of XRBufferedInputStream.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"

namespace xr {
namespace {

using testing::FakeInputStream;
using Records = std::vector<std::string>;

// Every record up to the end of the input.
Records readAllRecords(const std::string& input, std::uint64_t bufSize) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>(input), bufSize);
  reader.open();
  Records records;
  while (const auto record = reader.nextVCardRecord()) records.emplace_back(*record);
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(reader.readError(), std::nullopt);
  return records;
}

const std::string kCardA = "BEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n";
const std::string kCardB = "BEGIN:VCARD\nVERSION:3.0\nFN:B\nEND:VCARD\n";

TEST(BufferedInputStreamVCardTest, CutsRecordsFromBeginLineThroughEndLine) {
  const std::string crlf = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane\r\nEND:VCARD\r\n";
  const std::string invalid = "BEGIN:VCARD\nNOTE:caf\xE9\nEND:VCARD\n";
  const std::pair<std::string, Records> cases[] = {
      {kCardA + kCardB, {kCardA, kCardB}},
      {crlf + crlf, {crlf, crlf}},
      {"junk\n\nmore\n" + kCardA + "\n  \nX:1\n" + kCardB + "tail\n", {kCardA, kCardB}},
      {kCardA + "BEGIN:VCARD\nFN:C\n", {kCardA, "BEGIN:VCARD\nFN:C\n"}},  // END missing
      {"BEGIN:VCARD\nEND:VCARD", {"BEGIN:VCARD\nEND:VCARD"}},
      {"begin:vcard\nfn:x\nEnd:VCard\n", {"begin:vcard\nfn:x\nEnd:VCard\n"}},
      // A marker inside another property ends the record; a second BEGIN is an ordinary line.
      {"BEGIN:VCARD\nNOTE:END:VCARD\nFN:y\nEND:VCARD\n", {"BEGIN:VCARD\nNOTE:END:VCARD\n"}},
      {"BEGIN:VCARD\nX-BEGIN:VCARD\nEND:VCARD\n", {"BEGIN:VCARD\nX-BEGIN:VCARD\nEND:VCARD\n"}},
      {"pre\nBEGIN:VCARD END:VCARD\npost\n", {"BEGIN:VCARD END:VCARD\n"}},
      // Lines that are not UTF-8 are carried inside a record but hold no marker.
      {invalid, {invalid}},
      {"BEGIN:VCARD\xFF\nBEGIN:VCARD\nEND:VCARD\xFF\nEND:VCARD\n",
       {"BEGIN:VCARD\nEND:VCARD\xFF\nEND:VCARD\n"}},
      {"\xEF\xBB\xBF" + kCardA, {"\xEF\xBB\xBF" + kCardA}},  // a byte order mark before BEGIN
      {"END:VCARD\n" + kCardA, {kCardA}},
      {"", {}}};
  for (const auto& [input, records] : cases) {
    for (const std::uint64_t bufSize : {1, 2, 3, 7, 4096}) {
      EXPECT_EQ(readAllRecords(input, bufSize), records)
          << ::testing::PrintToString(input) << ", block " << bufSize;
    }
  }
}

// A record is replaced by the next record read only: lines and CSV rows read in between, which
// refill the block the record lies in, leave it as it was.
TEST(BufferedInputStreamVCardTest, RecordOutlivesLineAndCsvReadsUntilTheNextRecord) {
  const std::string input = kCardA + "a line\nx,y\nmore\n" + kCardB + "tail 1\ntail 2\n";
  for (std::uint64_t bufSize : {4u, 40u, 64u, 4096u}) {
    XRBufferedInputStream reader(std::make_shared<FakeInputStream>(input), bufSize);
    reader.open();
    std::optional<std::string_view> first = reader.readVCardData();
    ASSERT_TRUE(first);
    EXPECT_EQ(reader.readLine(), "a line\n");
    EXPECT_TRUE(reader.csvReadData());
    EXPECT_EQ(reader.readLine(), "more\n");
    EXPECT_EQ(*first, kCardA) << bufSize;
    std::optional<std::string_view> second = reader.readVCardData();
    ASSERT_TRUE(second);
    EXPECT_EQ(reader.readLine(), "tail 1\n");
    EXPECT_EQ(reader.readLine(), "tail 2\n");
    EXPECT_FALSE(reader.readLine());
    EXPECT_EQ(*second, kCardB) << bufSize;
  }
}

TEST(BufferedInputStreamVCardTest, ReadErrorInsideRecordReturnsWhatWasGatheredAndSaysWhy) {
  auto stream = std::make_shared<FakeInputStream>("END:VCARD\n" + kCardA + kCardB);
  stream->setFailAt(10 + kCardA.size() + 15);
  XRBufferedInputStream reader(stream, 4);
  reader.open();
  EXPECT_EQ(reader.nextVCardRecord(), kCardA);
  EXPECT_EQ(reader.readError(), std::nullopt);
  EXPECT_EQ(reader.nextVCardRecord(), kCardB.substr(0, 15));
  EXPECT_FALSE(reader.nextVCardRecord());
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(reader.readError(), "injected read error");
}

}  // namespace
}  // namespace xr
