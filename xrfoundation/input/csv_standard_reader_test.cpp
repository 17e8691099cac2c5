// StandardCsvReader: RFC 4180 quoting, line ends, encodings and failures, read through streams
// that deliver the input a few bytes at a time so that records cross every block boundary.
#include "xrfoundation/input/csv_standard_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "xrfoundation/platform/testing/encoded_samples.h"
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
  std::string encoding;  // encodingName()
  char delimiter = 0;
  DecodeDamage damage;
};

// Reads all of input with reads of at most chunk bytes (0: whole blocks) into blocks of
// blockSize.
Read readAll(const std::string& input, std::size_t chunk = 0, std::size_t blockSize = 16,
             CsvReadOptions options = {}) {
  auto stream = std::make_shared<FakeInputStream>(input);
  stream->setChunkLimit(chunk);
  StandardCsvReader reader(stream, std::move(options), blockSize);
  Read read;
  if (reader.open()) {
    while (const auto* fields = reader.readRecord()) {
      read.records.emplace_back(fields->begin(), fields->end());
      read.lines.push_back(reader.recordLine());
    }
  }
  read.error = reader.error();
  read.encoding = reader.encodingName();
  read.delimiter = reader.delimiter();
  read.damage = reader.undecodable();
  return read;
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

TEST(StandardCsvReaderTest, ReadsEveryLegacySampleWhateverTheBlocks) {
  for (const testing::EncodedSample& sample : testing::encodedSamples()) {
    const Records expected =
        readAll(std::string(sample.utf8), 0, 1 << 20, {std::nullopt, "UTF-8"}).records;
    ASSERT_EQ(expected.size(), 4u);
    // Told the encoding (by any spelling of it), every sample reads exactly.
    const Read read =
        readAll(std::string(sample.bytes), 5, 16, {std::nullopt, std::string(sample.encoding)});
    EXPECT_EQ(read.records, expected) << sample.encoding;
    EXPECT_EQ(read.encoding, sample.encoding);
    EXPECT_EQ(read.damage.count, 0u);
    if (sample.encoding == "ISO-8859-2") continue;  // guessed as Windows-1250
    // Detected from a first block that holds the sample.
    const Read guessed = readAll(std::string(sample.bytes), 0, 4096);
    EXPECT_EQ(guessed.records, expected) << sample.encoding << " read as " << guessed.encoding;
  }
}

TEST(StandardCsvReaderTest, AnAsciiStartLeavesTheEncodingToTheFirstOtherBytes) {
  // Many ASCII rows, then Windows-1252 on line 202 and 204: blocks of 64 bytes see ASCII only
  // at first.
  std::string input = "Name,City\n";
  for (int i = 0; i < 200; ++i) input += "Someone,Somewhere\n";
  const std::string ascii = input;
  input += "Fran\xE7ois,Besan\xE7on \x80\nAnn,Bath\nJos\xE9,M\xE1laga \x81\n";
  testing::LogCapture log;
  const Read read = readAll(input, 0, 64);
  ASSERT_EQ(read.records.size(), 204u) << read.error;
  EXPECT_EQ(read.records[201],
            (std::vector<std::string>{"Fran\xC3\xA7ois", "Besan\xC3\xA7on \xE2\x82\xAC"}));
  EXPECT_EQ(read.records[203][1], "M\xC3\xA1laga \xEF\xBF\xBD");
  EXPECT_EQ(read.encoding, "Windows-1252");
  EXPECT_EQ(read.damage.lines, std::vector<std::uint64_t>{204});
  EXPECT_TRUE(log.contains(
      "CSV line 202: the first bytes that are not ASCII are not UTF-8; read as Windows-1252"))
      << ::testing::PrintToString(log.texts());
  // Valid UTF-8 late in the file stays UTF-8.
  const Read utf8 = readAll(ascii + "Zo\xC3\xAB,K\xC3\xB6ln\n", 0, 64);
  EXPECT_EQ(utf8.records.back(), (std::vector<std::string>{"Zo\xC3\xAB", "K\xC3\xB6ln"}));
  EXPECT_EQ(utf8.encoding, "UTF-8");
}

// Quoting, line ends, the separator found from the header or a sep= line, and UTF-16 and UTF-32
// with or without a mark, read alike whatever the blocks.
TEST(StandardCsvReaderTest, ReadsQuotingLineEndsSeparatorsAndEncodingsAlikeWhateverTheBlocks) {
  // "Name,Note\r\nÉlodie,"a,😀"\r\n" in UTF-16 LE and BE with a mark, the emoji a surrogate pair.
  const std::u16string text = u"Name,Note\r\n\u00C9lodie,\"a,\U0001F600\"\r\n";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (const char16_t unit : text) {
    little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  }
  const Records marked = {{"Name", "Note"}, {"\xC3\x89lodie", "a,\xF0\x9F\x98\x80"}};
  const Records unmarked = {{"Na", "\xC3\xA9"}};
  const struct {
    const char* name;
    std::string input;
    Records records;
    char delimiter = ',';             // the separator found
    const char* encoding = "UTF-8";   // the encoding found
    std::optional<char> option = {};  // the separator option
  } cases[] = {
      {"plain LF", "a,b,c\nd,e,f\n", {{"a", "b", "c"}, {"d", "e", "f"}}},
      {"CR LF", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"lone CR", "a,b\rc,d\r", {{"a", "b"}, {"c", "d"}}},
      {"no final line end", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
      {"empty fields", ",a,,\n", {{"", "a", "", ""}}},
      {"doubled quotes", "\"Met \"\"Dev\"\", 2019\",x\n", {{"Met \"Dev\", 2019", "x"}}},
      {"only a doubled quote, empty quoted", "\"\"\"\"\n\"\",b\n", {{"\""}, {"", "b"}}},
      {"line breaks inside quotes",
       "\"line 1\r\nline 2\nline 3\",z\r\nnext\r\n",
       {{"line 1\r\nline 2\nline 3", "z"}, {"next"}}},
      {"separator inside quotes", "\"Acme, Inc\",\"Lee;Smith\"\n", {{"Acme, Inc", "Lee;Smith"}}},
      {"blanks around quotes", "  \"a\"  , b \n", {{"a", " b "}}},
      {"quote inside an unquoted field", "5'10\",x\n", {{"5'10\"", "x"}}},
      {"blank lines skipped", "\n\r\n\ra\n\n\nb\n", {{"a"}, {"b"}}},
      {"non-ASCII kept", "\xC3\x89lodie,\xE6\x97\xA5\n", {{"\xC3\x89lodie", "\xE6\x97\xA5"}}},
      {"empty input", "", {}},
      {"semicolons", "a;b;c\n1;2,5;3\n", {{"a", "b", "c"}, {"1", "2,5", "3"}}, ';'},
      {"separators inside quotes don't count", "\"a,b,c\";d;e\n", {{"a,b,c", "d", "e"}}, ';'},
      {"tabs", "a\tb\tc\n\t\" x \"\t\n", {{"a", "b", "c"}, {"", " x ", ""}}, '\t'},
      {"a tie goes to the comma", "a,b;c\n", {{"a", "b;c"}}},
      {"no separator at all", "Name\nLee\n", {{"Name"}, {"Lee"}}},
      {"sep= line", "sep=;\na,b;c\n", {{"a,b", "c"}}, ';'},
      {"SEP= line with CR LF", "SEP=|\r\na|b\r\n", {{"a", "b"}}, '|'},
      {"the option wins over a sep= line", "sep=;\na;b,c\n", {{"a;b", "c"}}, ',', "UTF-8", ','},
      {"sep= line with CR", "sep=;\ra;b\r", {{"a", "b"}}, ';'},
      {"a sep= line alone", "sep=;", {}, ';'},
      {"sep= and a line end is no sep= line", "sep=\na,b\n", {{"sep="}, {"a", "b"}}},
      {"sep= and two characters is none", "sep=;x\n", {{"sep=", "x"}}, ';'},
      {"a tab and a semicolon tie", "a\tb;c\n", {{"a\tb;c"}}},
      {"more tabs than commas", "a\tb\tc,d\n", {{"a", "b", "c,d"}}, '\t'},
      {"UTF-16LE with a mark", little, marked, ',', "UTF-16LE"},
      {"UTF-16BE with a mark", big, marked, ',', "UTF-16BE"},
      {"UTF-16LE", std::string("N\0a\0;\0\xE9\0\n\0", 10), unmarked, ';', "UTF-16LE"},
      {"UTF-16BE", std::string("\0N\0a\0;\0\xE9\0\n", 10), unmarked, ';', "UTF-16BE"},
      {"UTF-32LE with a mark", std::string("\xFF\xFE\0\0N\0\0\0a\0\0\0;\0\0\0\xE9\0\0\0", 20),
       unmarked, ';', "UTF-32LE"},
      {"UTF-32BE with a mark", std::string("\0\0\xFE\xFF\0\0\0N\0\0\0a\0\0\0;\0\0\0\xE9", 20),
       unmarked, ';', "UTF-32BE"},
  };
  for (const auto& [name, input, records, delimiter, encoding, option] : cases) {
    for (const std::size_t chunk : {0, 1, 3, 7}) {
      const Read read = readAll(input, chunk, 16, {option, std::nullopt});
      EXPECT_EQ(read.records, records) << name << ", reads of " << chunk;
      EXPECT_EQ(read.error, "") << name;
      EXPECT_EQ(read.delimiter, delimiter) << name;
      EXPECT_EQ(read.encoding, encoding) << name;
    }
  }
  // A character cut short at the end is replaced and reported with its line.
  EXPECT_EQ(readAll(little.substr(0, little.size() - 1)).damage.lines,
            std::vector<std::uint64_t>{3});
  // A sep= line is line 1: records are numbered after it.
  EXPECT_EQ(readAll("sep=;\na;b\n").lines, std::vector<std::uint64_t>{2});
}

TEST(StandardCsvReaderTest, AHeaderScoreConfirmsAGuessedEncoding) {
  // Russian titles in KOI8-R; scored by a list of titles in UTF-8.
  const auto sample =
      *std::find_if(testing::encodedSamples().begin(), testing::encodedSamples().end(),
                    [](const testing::EncodedSample& s) { return s.encoding == "KOI8-R"; });
  const std::string titles = "\xE9\xCD\xD1,\xF4\xC5\xCC\xC5\xC6\xCF\xCE\n";  // Имя,Телефон
  const std::string input = titles + std::string(sample.bytes.substr(sample.bytes.find('\n') + 1));
  const auto russian = [](const std::vector<std::string_view>& header) {
    std::size_t known = 0;
    for (const std::string_view title : header) {
      known += title == "\xD0\x98\xD0\xBC\xD1\x8F" ||
               title == "\xD0\xA2\xD0\xB5\xD0\xBB\xD0\xB5\xD1\x84\xD0\xBE\xD0\xBD";
    }
    return known;
  };
  for (const bool anyHeader : {false, true}) {
    // Score 1 for any header: the guess is kept; else the encodings are tried.
    StandardCsvReader reader(std::make_shared<FakeInputStream>(input), 1 << 16);
    ASSERT_TRUE(reader.open());
    const std::string guess = reader.encodingName();
    const auto* header = reader.readHeader(
        [&](const std::vector<std::string_view>& h) { return anyHeader ? 1 : russian(h); });
    ASSERT_TRUE(header);
    EXPECT_EQ(reader.encodingName(), anyHeader ? guess : "KOI8-R");
    if (!anyHeader) {
      EXPECT_EQ(russian(*header), 2u);
    }
    const auto* first = reader.readRecord();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), 5u);
  }
  // Past the first block, a guess can no longer be reread.
  StandardCsvReader reader(std::make_shared<FakeInputStream>(input), 16);
  ASSERT_TRUE(reader.open());
  while (reader.readRecord()) {
  }
  EXPECT_FALSE(reader.reread("KOI8-R"));
}

TEST(StandardCsvReaderTest, ReplacesInvalidUtf8AndSaysWhere) {
  testing::LogCapture log;
  const Read read = readAll("ok\n\"caf\xE9\",\"x\ny\"\nnext\xFF\n", 0, 16, {std::nullopt, "utf-8"});
  EXPECT_EQ(read.records, (Records{{"ok"}, {"caf\xEF\xBF\xBD", "x\ny"}, {"next\xEF\xBF\xBD"}}));
  for (const char* line : {"2", "4"}) {
    EXPECT_TRUE(log.contains(std::string("CSV line ") + line +
                             " is not valid UTF-8; invalid bytes were replaced by U+FFFD"))
        << "line " << line;
  }
  EXPECT_EQ(read.damage.lines, (std::vector<std::uint64_t>{2, 4}));
  EXPECT_EQ(read.damage.count, 2u);
}

// A read error ends the records; the reader closes the stream only if it opened it.
TEST(StandardCsvReaderTest, ReportsReadErrorsUnopenableFilesAndClosesOnlyWhatItOpened) {
  for (const bool openedByCaller : {false, true}) {
    auto stream = std::make_shared<FakeInputStream>("a,b\nc,d\ne,f\n");
    stream->setChunkLimit(4);
    stream->setFailAt(8);
    if (openedByCaller) stream->open();
    {
      StandardCsvReader reader(stream, 4);
      ASSERT_TRUE(reader.open());
      int records = 0;
      while (reader.readRecord()) ++records;
      EXPECT_EQ(records, 2);
      EXPECT_TRUE(reader.failed());
    }
    EXPECT_EQ(stream->closeCalls(), openedByCaller ? 0 : 1)
        << "opened by caller " << openedByCaller;
  }

  StandardCsvReader missing(makeFileInputStream("/nonexistent/contacts.csv"));
  EXPECT_FALSE(missing.open());
  EXPECT_NE(missing.error(), "");
  EXPECT_EQ(missing.readRecord(), nullptr);
}

}  // namespace
}  // namespace xr
