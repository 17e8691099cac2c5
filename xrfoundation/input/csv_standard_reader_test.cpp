// StandardCsvReader: RFC 4180 quoting, line ends, encodings and failures, read through streams
// that deliver the input a few bytes at a time so that records cross every block boundary.
#include "xrfoundation/input/csv_standard_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using testing::FakeInputStream;
using Records = std::vector<std::vector<std::string>>;

struct Read {
  Records records;
  std::vector<std::uint64_t> lines;  // recordLine() of each record
  std::string error;
};

// Reads all of input with reads of at most chunk bytes (0: whole blocks) into blocks of
// blockSize.
Read readAll(const std::string& input, std::size_t chunk = 0, std::size_t blockSize = 16) {
  auto stream = std::make_shared<FakeInputStream>(input);
  stream->setChunkLimit(chunk);
  StandardCsvReader reader(stream, blockSize);
  Read read;
  if (reader.open()) {
    while (const auto* fields = reader.readRecord()) {
      read.records.emplace_back(fields->begin(), fields->end());
      read.lines.push_back(reader.recordLine());
    }
  }
  read.error = reader.error();
  return read;
}

struct Case {
  const char* name;
  std::string input;
  Records records;
};

TEST(StandardCsvReaderTest, ReadsQuotingAndLineEndsAlikeWhateverTheBlocks) {
  const Case cases[] = {
      {"plain LF", "a,b,c\nd,e,f\n", {{"a", "b", "c"}, {"d", "e", "f"}}},
      {"CR LF", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"lone CR", "a,b\rc,d\r", {{"a", "b"}, {"c", "d"}}},
      {"no final line end", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
      {"empty fields", ",a,,\n", {{"", "a", "", ""}}},
      {"doubled quotes",
       "\"Met at \"\"DevConf\"\", 2019\",x\n",
       {{"Met at \"DevConf\", 2019", "x"}}},
      {"only a doubled quote", "\"\"\"\"\n", {{"\""}}},
      {"empty quoted", "\"\",b\n", {{"", "b"}}},
      {"line breaks inside quotes",
       "\"line 1\r\nline 2\nline 3\",z\r\nnext\r\n",
       {{"line 1\r\nline 2\nline 3", "z"}, {"next"}}},
      {"separator inside quotes", "\"Acme, Inc\",\"Lee;Smith\"\n", {{"Acme, Inc", "Lee;Smith"}}},
      {"blanks around quotes", "  \"a\"  , b \n", {{"a", " b "}}},
      {"quote inside an unquoted field", "5'10\",x\n", {{"5'10\"", "x"}}},
      {"blank lines skipped", "\n\r\n\ra\n\n\nb\n", {{"a"}, {"b"}}},
      {"UTF-8 mark dropped", "\xEF\xBB\xBF\"First Name\",Last\r\n", {{"First Name", "Last"}}},
      {"non-ASCII kept",
       "\xC3\x89lodie,\xE6\x97\xA5\xE6\x9C\xAC\n",
       {{"\xC3\x89lodie", "\xE6\x97\xA5\xE6\x9C\xAC"}}},
      {"empty input", "", {}},
  };
  for (const Case& c : cases) {
    for (const std::size_t chunk : {0, 1, 3, 7}) {
      const Read read = readAll(c.input, chunk);
      EXPECT_EQ(read.records, c.records) << c.name << ", reads of " << chunk;
      EXPECT_EQ(read.error, "") << c.name;
    }
  }
}

TEST(StandardCsvReaderTest, NumbersRecordsByTheLineTheyStartOn) {
  const Read read = readAll("h1,h2\r\n\"two\r\nlines\",x\r\n\r\nlast,\"a\rb\"\nend\n", 5);
  EXPECT_EQ(read.lines, (std::vector<std::uint64_t>{1, 2, 5, 7}));
}

TEST(StandardCsvReaderTest, AssemblesARecordManyBlocksLong) {
  const std::string note(100000, 'n');
  const Read read = readAll("a,\"" + note + "\"\"" + note + "\",b\nc\n", 0, 16);
  ASSERT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.records[0][1], note + "\"" + note);
  EXPECT_EQ(read.records[1], std::vector<std::string>{"c"});
}

TEST(StandardCsvReaderTest, FaultsInTheTextNameTheirLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\nb,\"open\nstill open\n", "line 2: a quoted field is not closed"},
      {"a\n\"x\r\ny\"z,b\n", "line 3: text after the closing quote"},
  };
  for (const auto& [input, error] : cases) {
    for (const std::size_t chunk : {0, 2}) {
      const Read read = readAll(input, chunk);
      EXPECT_EQ(read.error.rfind(error, 0), 0u) << read.error;
      EXPECT_EQ(read.records.size(), 1u) << error;  // the records before the fault
    }
  }
}

TEST(StandardCsvReaderTest, ConvertsUtf16WithAMark) {
  // "Name,Note\r\nÉlodie,"a,😀"\r\n" in UTF-16 LE and BE, the emoji a surrogate pair.
  const std::u16string text = u"Name,Note\r\n\u00C9lodie,\"a,\U0001F600\"\r\n";
  std::string little = "\xFF\xFE";
  std::string big = "\xFE\xFF";
  for (const char16_t unit : text) {
    little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  }
  const Records expected = {{"Name", "Note"}, {"\xC3\x89lodie", "a,\xF0\x9F\x98\x80"}};
  for (const std::size_t chunk : {0, 1, 3}) {
    EXPECT_EQ(readAll(little, chunk).records, expected) << "LE, reads of " << chunk;
    EXPECT_EQ(readAll(big, chunk).records, expected) << "BE, reads of " << chunk;
  }
  // A character cut short at the end is an error, not a lost or garbled byte.
  EXPECT_NE(readAll(little.substr(0, little.size() - 1)).error, "");
  // A lone high surrogate is not UTF-16.
  EXPECT_NE(readAll(std::string("\xFF\xFE"
                                "a\0\x3D\xD8"
                                "b\0",
                                8))
                .error,
            "");
}

TEST(StandardCsvReaderTest, RefusesEncodingsItWouldReadAsGarbage) {
  const std::string cases[] = {
      std::string("N\0a\0m\0e\0", 8),         // UTF-16 LE without a mark
      std::string("\0N\0a\0m\0e", 8),         // UTF-16 BE without a mark
      std::string("\xFF\xFE\0\0N\0\0\0", 8),  // UTF-32 LE
  };
  for (const std::string& input : cases) {
    const Read read = readAll(input);
    EXPECT_TRUE(read.records.empty());
    EXPECT_NE(read.error, "") << "input of " << input.size() << " bytes";
  }
}

TEST(StandardCsvReaderTest, ReplacesInvalidUtf8AndSaysWhere) {
  testing::LogCapture log;
  const Read read = readAll("ok\n\"caf\xE9\",\"x\ny\"\nnext\xFF\n");
  EXPECT_EQ(read.records, (Records{{"ok"}, {"caf\xEF\xBF\xBD", "x\ny"}, {"next\xEF\xBF\xBD"}}));
  for (const char* line : {"2", "4"}) {
    EXPECT_TRUE(log.contains(std::string("CSV line ") + line +
                             " is not valid UTF-8; invalid bytes were replaced by U+FFFD"))
        << "line " << line;
  }
}

TEST(StandardCsvReaderTest, ReportsReadErrorsAndUnopenableFiles) {
  auto stream = std::make_shared<FakeInputStream>("a,b\nc,d\ne,f\n");
  stream->setChunkLimit(4);
  stream->setFailAt(8);
  StandardCsvReader reader(stream, 4);
  ASSERT_TRUE(reader.open());
  int records = 0;
  while (reader.readRecord()) ++records;
  EXPECT_EQ(records, 2);
  EXPECT_TRUE(reader.failed());

  StandardCsvReader missing(makeFileInputStream("/nonexistent/contacts.csv"));
  EXPECT_FALSE(missing.open());
  EXPECT_NE(missing.error(), "");
  EXPECT_EQ(missing.readRecord(), nullptr);
}

TEST(StandardCsvReaderTest, ClosesOnlyAStreamItOpened) {
  for (const bool openedByCaller : {false, true}) {
    auto stream = std::make_shared<FakeInputStream>("a\n");
    if (openedByCaller) stream->open();
    {
      StandardCsvReader reader(stream);
      ASSERT_TRUE(reader.open());
    }
    EXPECT_EQ(stream->closeCalls(), openedByCaller ? 0 : 1)
        << "opened by caller " << openedByCaller;
  }
}

}  // namespace
}  // namespace xr
