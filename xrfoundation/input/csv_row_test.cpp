// CsvRow: a line's fields by key -- empty and absent told apart, the later of two fields with
// one key counting -- and a value that stays whole after its reader has moved on or gone.
#include "xrfoundation/input/csv_row.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/log_capture.h"

namespace xr {
namespace {

using Row = std::map<std::string, std::string>;
using Entries = std::vector<std::pair<std::string_view, std::string_view>>;

std::unique_ptr<XRBufferedInputStream> openWithHeader(const std::string& input) {
  auto reader =
      std::make_unique<XRBufferedInputStream>(std::make_shared<testing::FakeInputStream>(input), 8);
  reader->open();
  reader->csvReadHeader();
  return reader;
}

TEST(CsvRowTest, TellsAnEmptyFieldFromAnAbsentOne) {
  auto reader = openWithHeader("a,b,c\n1,,\n");
  const std::optional<CsvRow> row = reader->csvReadData();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->size(), 3u);
  EXPECT_EQ(row->value("a"), "1");
  EXPECT_EQ(row->value("b"), "");
  EXPECT_TRUE(row->contains("b"));
  EXPECT_EQ(row->value("c\n"), "\n");
  EXPECT_EQ(row->value("c"), std::nullopt);  // the title keeps its line feed
  EXPECT_FALSE(row->contains("z"));
  EXPECT_TRUE(CsvRow().empty());
  EXPECT_EQ(CsvRow().value(""), std::nullopt);
}

TEST(CsvRowTest, LaterFieldReplacesEarlierOneOfTheSameKey) {
  auto reader = openWithHeader("a,b,a,c\n1,2,3,4\nfield3,k\n5,6,7,8\n");
  const std::optional<CsvRow> row = reader->csvReadData();
  ASSERT_TRUE(row);
  EXPECT_EQ(row->size(), 3u);
  EXPECT_EQ(row->value("a"), "3");
  EXPECT_EQ(row->entries(), (Entries{{"b", "2"}, {"a", "3"}, {"c\n", "4\n"}}));
  // A title may read like a surplus field's key: the surplus field, coming later, wins.
  testing::LogCapture log;
  reader->csvReadHeader();
  EXPECT_EQ(reader->csvReadData()->toMap(),
            (Row{{"field3", "8\n"}, {"k\n", "6"}, {"field2", "7"}}));
}

// A row shares its titles with the reader but holds its own fields: neither new titles, nor
// more reads, nor the reader's end change it.
TEST(CsvRowTest, KeepsItsFieldsAfterTheReaderMovesOnOrGoes) {
  std::optional<CsvRow> row;
  {
    auto reader = openWithHeader("Name,Phone\nAnn,555\nBob,666\n");
    row = reader->csvReadData();
    reader->setCsvTitles(std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"Other", "Titles"}));
    ASSERT_TRUE(reader->csvReadData());
  }
  ASSERT_TRUE(row);
  const CsvRow copy = *row;
  const CsvRow moved = std::move(*row);
  for (const CsvRow* each : {&copy, &moved}) {
    EXPECT_EQ(each->toMap(), (Row{{"Name", "Ann"}, {"Phone\n", "555\n"}}));
    EXPECT_EQ(each->entries(), (Entries{{"Name", "Ann"}, {"Phone\n", "555\n"}}));
  }
}

}  // namespace
}  // namespace xr
