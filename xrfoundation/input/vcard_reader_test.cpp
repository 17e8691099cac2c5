// Cutting vCard files into records: readVCardData of XRBufferedInputStream.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"

namespace xr {
namespace {

using testing::FakeInputStream;
using Records = std::vector<std::string>;

// Every record up to the real end of the input, as a caller that must not stop at a stray
// "END:VCARD" reads them.
Records readAllRecords(const std::string& input, std::uint64_t bufSize) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>(input), bufSize);
  reader.open();
  Records records;
  for (;;) {
    if (auto record = reader.readVCardData()) {
      records.emplace_back(*record);
    } else if (reader.atEnd()) {
      return records;
    }
  }
}

const std::string kCardA = "BEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n";
const std::string kCardB = "BEGIN:VCARD\nVERSION:3.0\nFN:B\nEND:VCARD\n";

struct RecordCase {
  const char* name;
  std::string input;
  Records records;
};

TEST(VCardReaderTest, CutsRecordsFromBeginLineThroughEndLine) {
  const std::string crlf = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane\r\nEND:VCARD\r\n";
  const std::string invalid = "BEGIN:VCARD\nNOTE:caf\xE9\nEND:VCARD\n";
  const RecordCase cases[] = {
      {"two records", kCardA + kCardB, {kCardA, kCardB}},
      {"CR LF file", crlf + crlf, {crlf, crlf}},
      {"text before, between, after",
       "junk\n\nmore\n" + kCardA + "\n  \nX:1\n" + kCardB + "tail\n",
       {kCardA, kCardB}},
      {"missing END runs to the end",
       kCardA + "BEGIN:VCARD\nFN:C\n",
       {kCardA, "BEGIN:VCARD\nFN:C\n"}},
      {"last line without feed", "BEGIN:VCARD\nEND:VCARD", {"BEGIN:VCARD\nEND:VCARD"}},
      {"lower and mixed case",
       "begin:vcard\nfn:x\nEnd:VCard\n",
       {"begin:vcard\nfn:x\nEnd:VCard\n"}},
      {"marker inside another property ends the record",
       "BEGIN:VCARD\nNOTE:END:VCARD\nFN:y\nEND:VCARD\n",
       {"BEGIN:VCARD\nNOTE:END:VCARD\n"}},
      {"second BEGIN is an ordinary line",
       "BEGIN:VCARD\nX-BEGIN:VCARD\nEND:VCARD\n",
       {"BEGIN:VCARD\nX-BEGIN:VCARD\nEND:VCARD\n"}},
      {"one-line record", "pre\nBEGIN:VCARD END:VCARD\npost\n", {"BEGIN:VCARD END:VCARD\n"}},
      {"invalid UTF-8 carried inside a record", invalid, {invalid}},
      {"invalid UTF-8 line holds no marker",
       "BEGIN:VCARD\xFF\nBEGIN:VCARD\nEND:VCARD\xFF\nEND:VCARD\n",
       {"BEGIN:VCARD\nEND:VCARD\xFF\nEND:VCARD\n"}},
      {"byte order mark before BEGIN", "\xEF\xBB\xBF" + kCardA, {"\xEF\xBB\xBF" + kCardA}},
      {"stray END before a record", "END:VCARD\n" + kCardA, {kCardA}},
      {"empty input", "", {}},
  };
  for (const RecordCase& c : cases) {
    for (const std::uint64_t bufSize : {1, 2, 3, 7, 4096}) {
      EXPECT_EQ(readAllRecords(c.input, bufSize), c.records) << c.name << ", block " << bufSize;
    }
  }
}

TEST(VCardReaderTest, StrayEndLineGivesNoneBeforeTheInputEnds) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>("END:VCARD\n" + kCardA), 16);
  reader.open();
  EXPECT_FALSE(reader.readVCardData());
  EXPECT_FALSE(reader.atEnd());
  EXPECT_EQ(reader.readVCardData(), kCardA);
  EXPECT_FALSE(reader.readVCardData());
  EXPECT_TRUE(reader.atEnd());
}

TEST(VCardReaderTest, MissingEndLineGivesRecordThenNone) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>("BEGIN:VCARD\nFN:Z\n"), 5);
  reader.open();
  EXPECT_EQ(reader.readVCardData(), "BEGIN:VCARD\nFN:Z\n");
  EXPECT_FALSE(reader.readVCardData());
}

TEST(VCardReaderTest, ReadErrorInsideRecordReturnsWhatWasGathered) {
  auto stream = std::make_shared<FakeInputStream>(kCardA + kCardB);
  stream->setFailAt(kCardA.size() + 15);
  XRBufferedInputStream reader(stream, 4);
  reader.open();
  EXPECT_EQ(reader.readVCardData(), kCardA);
  EXPECT_EQ(reader.readVCardData(), kCardB.substr(0, 15));
  EXPECT_FALSE(reader.readVCardData());
  EXPECT_TRUE(reader.atEnd());
}

// A plain rendering of the record rules over whole lines, to hold the block-wise reader to.
Records referenceRecords(const std::string& input) {
  Records records;
  std::string record;
  bool inRecord = false;
  std::size_t start = 0;
  while (start < input.size()) {
    const std::size_t feed = input.find('\n', start);
    const std::size_t end = feed == std::string::npos ? input.size() : feed + 1;
    const std::string line = input.substr(start, end - start);
    start = end;
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.find("begin:vcard") != std::string::npos) inRecord = true;
    if (inRecord) record += line;
    if (lower.find("end:vcard") != std::string::npos) {
      if (!record.empty()) records.push_back(record);
      record.clear();
      inRecord = false;
    }
  }
  if (!record.empty()) records.push_back(record);
  return records;
}

TEST(VCardReaderTest, AgreesWithLineByLineReadingOnRandomFiles) {
  std::mt19937 random(7);
  const std::vector<std::string> pool = {
      "BEGIN:VCARD\n",
      "BEGIN:VCARD\r\n",
      "END:VCARD\n",
      "end:vcard\r\n",
      "VERSION:3.0\n",
      "\n",
      "N:Doe;J\r\n",
      "TEL:12:34:56\n",
      "X-LONG:" + std::string(70, 'v') + "\n",
      "PHOTO;ENCODING=b:" + std::string(300, 'Q') + "\n",
  };
  for (int round = 0; round < 1000; ++round) {
    std::string input;
    const int lines = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < lines; ++i) {
      input += pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
    }
    if (std::uniform_int_distribution<int>(0, 3)(random) == 0 && !input.empty()) input.pop_back();
    const auto bufSize = std::uniform_int_distribution<std::uint64_t>(1, 100)(random);
    ASSERT_EQ(readAllRecords(input, bufSize), referenceRecords(input))
        << "round " << round << ", block " << bufSize;
  }
}

}  // namespace
}  // namespace xr
