// The CSV reader of XRBufferedInputStream: fields, keys and titles, repaired lines.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using testing::FakeInputStream;
using Row = std::map<std::string, std::string>;
using Fields = std::vector<std::string>;

std::unique_ptr<XRBufferedInputStream> openReader(const std::string& input) {
  auto reader =
      std::make_unique<XRBufferedInputStream>(std::make_shared<FakeInputStream>(input), 8);
  reader->open();
  return reader;
}

Fields tokens(const XRBufferedInputStream& reader, const std::string& line) {
  Fields fields;
  std::int32_t position = 0;
  while (auto field = reader.csvReadToken(line, position)) fields.push_back(*field);
  return fields;
}

TEST(BufferedInputStreamCsvTest, CutsFieldsByTheQuotingAndWhitespaceRulesCountingUtf16Units) {
  XRBufferedInputStream reader(std::make_shared<FakeInputStream>(""), 8);
  const std::pair<std::string, Fields> cases[] = {
      {"a,b,c\n", {"a", "b", "c\n"}},  // the line feed stays in the last field
      {" a , \"b,c\" ,d", {"a ", "b,c", "d"}},
      {"a,,b", {"a", "", "b"}},
      {"a,b,", {"a", "b"}},        // a separator at the end gives no field
      {"\"a\"\"b\"", {"a\"b\""}},  // no escaped quote
      {"a\"b,c", {"a\"b", "c"}},
      {"\"abc,d", {"abc,d"}},         // a quoted part left open
      {"\"x\" y z,w", {"xyz", "w"}},  // whitespace after a closing quote dropped
      {"\"q\"\r\n", {"q\r\n"}},
      {"\" a \",b", {" a ", "b"}},
      {"\t\xC2\xA0\xE3\x80\x80x,y", {"x", "y"}},  // tab, no-break and ideographic space
      {"  ,a", {"", "a"}},
      {"\xF0\x9F\x98\x80,\xC3\xA9\xF0\x9F\x98\x80",
       {"\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80"}},
      {"", {}},
      {",", {""}}};
  for (const auto& [line, fields] : cases) EXPECT_EQ(tokens(reader, line), fields) << line;

  const std::string grin = "\xF0\x9F\x98\x80";  // U+1F600: two UTF-16 units
  using Text = std::optional<std::string>;
  const std::tuple<std::string, std::int32_t, Text, std::int32_t> positions[] = {
      {grin + ",b", 0, grin, 3},
      {grin + ",b", 3, "b", 4},
      {"\xC3\xA9,b", 2, "b", 3},
      {grin + "x,b", 1, "\xEF\xBF\xBDx", 4},  // inside a surrogate pair
      {"ab", 2, std::nullopt, 2},
      {"ab", 7, std::nullopt, 7},
      {"ab", -1, std::nullopt, -1},
      {"", 0, std::nullopt, 0},
      // A stray continuation byte decodes to no character of its own; read raw, it had no
      // unit either, and a last field of such bytes left the position where it was.
      {"a,\xBE", 2, "\xEF\xBF\xBD", 3},
      {"a,\xBE", 3, std::nullopt, 3},
      {"\xFF\xFE,b", 0, "\xEF\xBF\xBD\xEF\xBF\xBD", 3},  // invalid bytes: one unit each
      {"\xFF\xFE,b", 3, "b", 4}};
  for (const auto& [line, from, field, after] : positions) {
    std::int32_t position = from;
    EXPECT_EQ(reader.csvReadToken(line, position), field) << line << " from " << from;
    EXPECT_EQ(position, after) << line << " from " << from;
  }
}

TEST(BufferedInputStreamCsvTest, KeysRowsByTheHeaderTitles) {
  auto reader = openReader("Name,Phone\nBob,123\nAnn\n\"Lee, J\",\"4 5\"\n");
  const CsvTitles titles = reader->csvReadHeader();
  ASSERT_TRUE(titles);
  EXPECT_EQ(*titles, (Fields{"Name", "Phone\n"}));
  EXPECT_EQ(reader->csvTitles(), titles);
  EXPECT_EQ(reader->csvReadData()->toMap(), (Row{{"Name", "Bob"}, {"Phone\n", "123\n"}}));
  EXPECT_EQ(reader->csvReadData()->toMap(), (Row{{"Name", "Ann\n"}})) << "fewer fields";
  EXPECT_EQ(reader->csvReadData()->toMap(), (Row{{"Name", "Lee, J"}, {"Phone\n", "4 5\n"}}));
  EXPECT_FALSE(reader->csvReadData());
  EXPECT_FALSE(reader->csvReadHeader());
  EXPECT_EQ(reader->csvTitles(), titles) << "a header read at the end keeps the titles";
}

TEST(BufferedInputStreamCsvTest, SurplusFieldsGetNumberedKeysAndOneWarningEach) {
  auto reader = openReader("Name,Phone\n1,2,3\n4,5,6,7\n");
  testing::LogCapture log;
  reader->csvReadHeader();
  EXPECT_EQ(reader->csvReadData()->toMap(),
            (Row{{"Name", "1"}, {"Phone\n", "2"}, {"field2", "3\n"}}));
  EXPECT_EQ(log.texts(), Fields{"Warning: possible error in following line\n1,2,3\n\n"});
  log.clear();
  EXPECT_EQ(reader->csvReadData()->size(), 4u);
  EXPECT_EQ(log.count("Warning: possible error in following line\n4,5,6,7\n\n"), 2u);
}

TEST(BufferedInputStreamCsvTest, WithoutTitlesKeysAreFieldNumbersAndCharactersArriveWhole) {
  auto reader = openReader("x,y\n\xF0\x9F\x98\x80 Name, \"\xF0\x9D\x84\x9E\" \n");
  testing::LogCapture log;
  EXPECT_EQ(reader->csvReadData()->toMap(), (Row{{"field0", "x"}, {"field1", "y\n"}}));
  EXPECT_EQ(reader->csvReadData()->toMap(),
            (Row{{"field0", "\xF0\x9F\x98\x80 Name"}, {"field1", "\xF0\x9D\x84\x9E\n"}}));
  EXPECT_TRUE(log.texts().empty()) << "no titles: surplus fields are no error";
}

// A stray byte of another encoding must not end the import: the line is repaired and logged.
TEST(BufferedInputStreamCsvTest, InvalidUtf8LineIsRepairedAndReadingGoesOn) {
  auto reader = openReader("N\xC0me,City\nJos\xE9,K\xF6ln\nAnn,Bonn\n");
  testing::LogCapture log;
  const CsvTitles titles = reader->csvReadHeader();
  ASSERT_TRUE(titles);
  EXPECT_EQ(*titles, (Fields{"N\xEF\xBF\xBDme", "City\n"}));
  EXPECT_EQ(reader->csvReadData()->toMap(),
            (Row{{"N\xEF\xBF\xBDme", "Jos\xEF\xBF\xBD"}, {"City\n", "K\xEF\xBF\xBDln\n"}}));
  EXPECT_EQ(reader->csvReadData()->toMap(),
            (Row{{"N\xEF\xBF\xBDme", "Ann"}, {"City\n", "Bonn\n"}}));
  EXPECT_FALSE(reader->csvReadData());
  EXPECT_EQ(log.texts(), (Fields{"CSV line 1 is not valid UTF-8; invalid bytes were replaced by "
                                 "U+FFFD: N\xEF\xBF\xBDme,City",
                                 "CSV line 2 is not valid UTF-8; invalid bytes were replaced by "
                                 "U+FFFD: Jos\xEF\xBF\xBD,K\xEF\xBF\xBDln"}));
}

// Another thread may swap the titles while the reader's thread reads rows with them.
TEST(BufferedInputStreamCsvTest, TitlesMayBeSetFromAnotherThread) {
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "1,2\n";
  auto reader = openReader(input);
  const auto ab = std::make_shared<const Fields>(Fields{"a", "b"});
  const auto xy = std::make_shared<const Fields>(Fields{"x", "y"});
  std::thread setter([&] {
    for (int i = 0; i < 2000; ++i) reader->setCsvTitles(i % 2 ? ab : xy);
  });
  int rows = 0;
  while (auto row = reader->csvReadData()) {
    const auto keys = row->toMap();
    EXPECT_TRUE(keys.count("field0") || keys.count("a") || keys.count("x"));
    ++rows;
  }
  setter.join();
  EXPECT_EQ(rows, 2000);
}

}  // namespace
}  // namespace xr
