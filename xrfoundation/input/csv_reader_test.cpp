// The CSV reader of XRBufferedInputStream and the rows it returns.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using testing::FakeInputStream;
using Row = std::map<std::string, std::string>;

XRBufferedInputStream& openReader(std::unique_ptr<XRBufferedInputStream>& holder,
                                  const std::string& input) {
  holder = std::make_unique<XRBufferedInputStream>(std::make_shared<FakeInputStream>(input), 8);
  holder->open();
  return *holder;
}

std::vector<std::string> tokens(const XRBufferedInputStream& reader, const std::string& line) {
  std::vector<std::string> fields;
  std::int32_t position = 0;
  while (auto field = reader.csvReadToken(line, position)) fields.push_back(*field);
  return fields;
}

struct TokenCase {
  const char* name;
  std::string line;
  std::vector<std::string> fields;
};

TEST(CsvReaderTest, CutsFieldsByTheQuotingAndWhitespaceRules) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>(""), 8);
  const TokenCase cases[] = {
      {"line feed stays in the last field", "a,b,c\n", {"a", "b", "c\n"}},
      {"quoted separator, outer whitespace", " a , \"b,c\" ,d", {"a ", "b,c", "d"}},
      {"empty field between separators", "a,,b", {"a", "", "b"}},
      {"separator at the end gives no field", "a,b,", {"a", "b"}},
      {"no escaped quote", "\"a\"\"b\"", {"a\"b\""}},
      {"quote inside unquoted field", "a\"b,c", {"a\"b", "c"}},
      {"quoted part left open", "\"abc,d", {"abc,d"}},
      {"whitespace after closing quote dropped", "\"x\" y z,w", {"xyz", "w"}},
      {"CR LF after closing quote", "\"q\"\r\n", {"q\r\n"}},
      {"whitespace inside quotes kept", "\" a \",b", {" a ", "b"}},
      {"tab, no-break and ideographic space skipped", "\t\xC2\xA0\xE3\x80\x80x,y", {"x", "y"}},
      {"en space and narrow no-break space", "\xE2\x80\x82\xE2\x80\xAFv", {"v"}},
      {"zero-width space is not whitespace", "\xE2\x80\x8Bz", {"\xE2\x80\x8Bz"}},
      {"whitespace-only field", "  ,a", {"", "a"}},
      {"outside the BMP",
       "\xF0\x9F\x98\x80,\xC3\xA9\xF0\x9F\x98\x80",
       {"\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80"}},
      {"empty line", "", {}},
      {"only a separator", ",", {""}},
  };
  for (const TokenCase& c : cases) EXPECT_EQ(tokens(reader, c.line), c.fields) << c.name;
}

struct PositionCase {
  const char* name;
  std::string line;
  std::int32_t from;
  std::optional<std::string> field;
  std::int32_t after;
};

TEST(CsvReaderTest, CountsPositionsInUtf16Units) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>(""), 8);
  const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600: two UTF-16 units
  const PositionCase cases[] = {
      {"past a non-BMP field", grin + ",b", 0, grin, 3},
      {"field after a non-BMP field", grin + ",b", 3, "b", 4},
      {"two-byte character is one unit", "\xC3\xA9,b", 2, "b", 3},
      {"inside a surrogate pair", grin + "x,b", 1, "\xEF\xBF\xBDx", 4},
      {"at the end", "ab", 2, std::nullopt, 2},
      {"past the end", "ab", 7, std::nullopt, 7},
      {"negative", "ab", -1, std::nullopt, -1},
      {"empty line", "", 0, std::nullopt, 0},
      // A stray continuation byte decodes to no character of its own; read raw, it had no
      // unit either, and a last field of such bytes left the position where it was.
      {"stray continuation byte last", "a,\xBE", 2, "\xEF\xBF\xBD", 3},
      {"after the stray byte", "a,\xBE", 3, std::nullopt, 3},
      {"invalid bytes are one unit each", "\xFF\xFE,b", 0, "\xEF\xBF\xBD\xEF\xBF\xBD", 3},
      {"field after invalid bytes", "\xFF\xFE,b", 3, "b", 4},
  };
  for (const PositionCase& c : cases) {
    std::int32_t position = c.from;
    EXPECT_EQ(reader.csvReadToken(c.line, position), c.field) << c.name;
    EXPECT_EQ(position, c.after) << c.name;
  }
}

TEST(CsvReaderTest, KeysRowsByTheHeaderTitles) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "Name,Phone\nBob,123\nAnn\n\"Lee, J\",\"4 5\"\n");
  testing::LogCapture log;
  const CsvTitles titles = reader.csvReadHeader();
  ASSERT_TRUE(titles);
  EXPECT_EQ(*titles, (std::vector<std::string>{"Name", "Phone\n"}));
  EXPECT_EQ(reader.csvTitles(), titles);
  EXPECT_EQ(reader.csvReadData()->toMap(), (Row{{"Name", "Bob"}, {"Phone\n", "123\n"}}));
  EXPECT_EQ(reader.csvReadData()->toMap(), (Row{{"Name", "Ann\n"}})) << "fewer fields than titles";
  EXPECT_EQ(reader.csvReadData()->toMap(), (Row{{"Name", "Lee, J"}, {"Phone\n", "4 5\n"}}));
  EXPECT_FALSE(reader.csvReadData());
  EXPECT_FALSE(reader.csvReadHeader());
  EXPECT_EQ(reader.csvTitles(), titles) << "a header read at the end keeps the titles";
  EXPECT_TRUE(log.texts().empty());
}

TEST(CsvReaderTest, SurplusFieldsGetNumberedKeysAndOneWarningEach) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "Name,Phone\n1,2,3\n4,5,6,7\n");
  testing::LogCapture log;
  reader.csvReadHeader();
  EXPECT_EQ(reader.csvReadData()->toMap(),
            (Row{{"Name", "1"}, {"Phone\n", "2"}, {"field2", "3\n"}}));
  EXPECT_EQ(log.texts(),
            std::vector<std::string>{"Warning: possible error in following line\n1,2,3\n\n"});
  log.clear();
  EXPECT_EQ(reader.csvReadData()->size(), 4u);
  EXPECT_EQ(log.count("Warning: possible error in following line\n4,5,6,7\n\n"), 2u);
}

TEST(CsvReaderTest, WithoutTitlesKeysAreFieldNumbersWithoutWarning) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "x,y");
  testing::LogCapture log;
  EXPECT_EQ(reader.csvReadData()->toMap(), (Row{{"field0", "x"}, {"field1", "y"}}));
  EXPECT_TRUE(log.texts().empty());
}

TEST(CsvReaderTest, LaterFieldReplacesEarlierOneOfTheSameKey) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "a,b,a,c\n1,2,3,4\nfield3,k\n5,6,7,8\n");
  reader.csvReadHeader();
  const std::optional<CsvRow> row = reader.csvReadData();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->size(), 3u);
  EXPECT_EQ(row->value("a"), "3");
  using Entries = std::vector<std::pair<std::string_view, std::string_view>>;
  EXPECT_EQ(row->entries(), (Entries{{"b", "2"}, {"a", "3"}, {"c\n", "4\n"}}));
  // A title may read like a surplus field's key: the surplus field, coming later, wins.
  testing::LogCapture log;
  reader.csvReadHeader();
  EXPECT_EQ(reader.csvReadData()->toMap(), (Row{{"field3", "8\n"}, {"k\n", "6"}, {"field2", "7"}}));
}

TEST(CsvReaderTest, InvalidUtf8LineIsRepairedAndReadingGoesOn) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "Name,City\nJos\xE9,K\xF6ln\nAnn,Bonn\n");
  testing::LogCapture log;
  reader.csvReadHeader();
  EXPECT_EQ(reader.csvReadData()->toMap(),
            (Row{{"Name", "Jos\xEF\xBF\xBD"}, {"City\n", "K\xEF\xBF\xBDln\n"}}));
  EXPECT_EQ(log.texts(), std::vector<std::string>{
                             "CSV line 2 is not valid UTF-8; invalid bytes were replaced by "
                             "U+FFFD: Jos\xEF\xBF\xBD,K\xEF\xBF\xBDln"});
  EXPECT_EQ(reader.csvReadData()->toMap(), (Row{{"Name", "Ann"}, {"City\n", "Bonn\n"}}));
  EXPECT_FALSE(reader.csvReadData());
}

TEST(CsvReaderTest, InvalidUtf8HeaderStillGivesTitles) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "N\xC0me,x\n");
  testing::LogCapture log;
  const CsvTitles titles = reader.csvReadHeader();
  ASSERT_TRUE(titles);
  EXPECT_EQ(*titles, (std::vector<std::string>{"N\xEF\xBF\xBDme", "x\n"}));
  EXPECT_EQ(log.texts().size(), 1u);
}

TEST(CsvReaderTest, NonBmpCharacterArrivesIntactInRows) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "\xF0\x9F\x98\x80 Name, \"\xF0\x9D\x84\x9E\" \n");
  const std::optional<CsvRow> row = reader.csvReadData();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->toMap(),
            (Row{{"field0", "\xF0\x9F\x98\x80 Name"}, {"field1", "\xF0\x9D\x84\x9E\n"}}));
}

TEST(CsvReaderTest, TitlesAreGoneAfterClose) {
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, "a,b\n");
  ASSERT_TRUE(reader.csvReadHeader());
  reader.close();
  EXPECT_EQ(reader.csvTitles(), nullptr);
}

// Another thread may swap the titles while the reader's thread reads rows with them.
TEST(CsvReaderTest, TitlesMayBeSetFromAnotherThread) {
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "1,2\n";
  std::unique_ptr<XRBufferedInputStream> holder;
  auto& reader = openReader(holder, input);
  const auto ab =
      std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"a", "b"});
  const auto xy =
      std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"x", "y"});
  std::thread setter([&] {
    for (int i = 0; i < 2000; ++i) reader.setCsvTitles(i % 2 ? ab : xy);
  });
  int rows = 0;
  while (auto row = reader.csvReadData()) {
    const auto keys = row->toMap();
    EXPECT_TRUE(keys.count("field0") || keys.count("a") || keys.count("x"));
    ++rows;
  }
  setter.join();
  EXPECT_EQ(rows, 2000);
}

}  // namespace
}  // namespace xr
