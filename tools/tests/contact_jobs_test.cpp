#include "contact_jobs.h"

#include <gtest/gtest.h>

namespace xrf {
namespace {

struct RecordRow {
  const char* record;
  const char* name;
  std::vector<std::string> numbers;
};

TEST(CardNumbersTest, ReadsNameAndNumbersFromTheRecordsLines) {
  const RecordRow rows[] = {
      {"BEGIN:VCARD\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nTEL:1\r\nEND:VCARD\r\n", "Ann Lee", {"1"}},
      {"BEGIN:VCARD\r\nN;charset=UTF-8:Lee;;Ann;Dr.;\r\nEND:VCARD\r\n", "Lee, Ann Dr.", {}},
      {"BEGIN:VCARD\nN:;Ann;;;\nFN:\nEND:VCARD\n", "Ann", {}},
      {"BEGIN:VCARD\r\nN:Smith\\; Jones;Al\\,ex\r\nEND:VCARD\r\n", "Smith; Jones, Al,ex", {}},
      {"BEGIN:VCARD\r\ntel;type=WORK:(650) 253-\r\n 0000\r\nitem1.TEL:+1 2\r\n"
       "TEL;VALUE=uri:tel:+44 20\r\nTEL:\r\nTELEX:9\r\nEND:VCARD\r\n",
       "",
       {"(650) 253-0000", "+1 2", "+44 20"}},
  };
  for (const RecordRow& row : rows) {
    const CardNumbers card = cardNumbersFromRecord(row.record);
    EXPECT_EQ(card.name, row.name) << row.record;
    EXPECT_EQ(card.numbers, row.numbers) << row.record;
  }
}

}  // namespace
}  // namespace xrf
