#include "contact_jobs.h"

#include <gtest/gtest.h>

#include "xrfoundation/contacts/contact_enums.h"

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

TEST(DuplicateNumbersTest, GroupsChainsAndIgnoresANumberRepeatedInOneRecord) {
  const std::vector<CardNumbers> cards = {
      {"A", {"+44 20 7946 0018", "+44 20 7946 0999"}},
      {"B", {"020 7946 0018"}},
      {"Self", {"+81 90 1234 5678", "090-1234-5678"}},
      {"C", {"020 7946 0999"}},
      {"D", {"+49 30 901820"}},
  };
  const auto groups = findDuplicateNumbers(cards);
  ASSERT_TRUE(groups);
  ASSERT_EQ(groups->size(), 1u) << "Self shares numbers only with itself";
  const auto& members = (*groups)[0].members;
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].card, 0u);
  EXPECT_EQ(members[0].numbers, cards[0].numbers);
  EXPECT_EQ(members[1].card, 1u);
  EXPECT_EQ(members[2].card, 3u);
}

TEST(DuplicateNumbersTest, StopsWhenTheCallerSaysSo) {
  const std::vector<CardNumbers> cards = {{"A", {"1"}}, {"B", {"1"}}, {"C", {"2"}}};
  int calls = 0;
  EXPECT_FALSE(findDuplicateNumbers(cards, [&](double) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1);
  std::vector<double> shares;
  ASSERT_TRUE(findDuplicateNumbers(cards, [&](double share) {
    shares.push_back(share);
    return true;
  }));
  EXPECT_EQ(shares.back(), 1.0);
}

TEST(ContactCsvTest, FieldsLineUpWithTitlesAndQuoteWhatNeedsIt) {
  xr::ContactInfo full;
  full.givenName.emplace("Ann");  // not "=": GCC 12 at -Os falsely warns it reads uninitialised
  full.groupNumber.arrItem = {{"1", xr::E_Number_WorkMobile}, {"2", std::nullopt}};
  full.groupAddress.arrItem = {{xr::E_Address_Home, "1 Main St\nApt 2", "Bern", {}, {}, {}}};
  full.groupOrganization.arrItem = {{"Acme", "Sales", "CEO"}, {"Beta", {}, {}}};
  full.groupNote.arrItem = {{"one"}, {"two"}};
  xr::ContactInfo empty;
  const std::vector<xr::ContactInfo> contacts = {full, empty};
  const CsvItemCounts counts = csvItemCounts(contacts);
  const auto titles = contactCsvTitles(counts);
  std::vector<std::string> lost;
  const auto fields = contactCsvFields(full, counts, "p/1.jpg", lost);
  ASSERT_EQ(fields.size(), titles.size());
  EXPECT_EQ(contactCsvFields(empty, counts, "", lost).size(), titles.size());
  const auto at = [&](const std::string& title) {
    const auto found = std::find(titles.begin(), titles.end(), title);
    return found == titles.end() ? std::string("<no column>") : fields[found - titles.begin()];
  };
  EXPECT_EQ(at("Phone 1 Type"), "WorkMobile");
  EXPECT_EQ(at("Phone 2 Type"), "");
  EXPECT_EQ(at("Address 1 Street"), "1 Main St\nApt 2");
  EXPECT_EQ(at("Address 1 Type"), "Home");
  EXPECT_EQ(at("Title"), "CEO");
  EXPECT_EQ(at("Note"), "one\n\ntwo");
  EXPECT_EQ(at("Photo"), "p/1.jpg");
  ASSERT_EQ(lost.size(), 1u);  // the second organisation has no column
  EXPECT_NE(lost[0].find("Beta"), std::string::npos);

  std::string line;
  appendCsvRecord(line, {"plain", "a,b", "say \"hi\"", "two\nlines", " padded", ""});
  EXPECT_EQ(line, "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\" padded\",\r\n");
}

}  // namespace
}  // namespace xrf
