#include "contact_jobs.h"

#include <gtest/gtest.h>

#include "xrfoundation/contacts/contact_enums.h"

namespace xrf {
namespace {

// The columns and first data row of a CSV text, read by the library's reader.
struct ParsedCsv {
  std::unique_ptr<ContactColumns> columns;
  std::optional<xr::CsvRow> row;
};
ParsedCsv parse(const std::string& text) {
  xr::XRBufferedInputStream reader(xr::makeDataInputStream(text), 4096);
  reader.open();
  ParsedCsv parsed;
  parsed.columns = std::make_unique<ContactColumns>(*reader.csvReadHeader());
  parsed.row = reader.csvReadData();
  return parsed;
}

TEST(ContactColumnsTest, MatchesTitlesLooselyAndReportsUnknownAndRepeatedOnes) {
  const auto parsed = parse(
      "\xEF\xBB\xBFGiven Name,given_name,PHONE-2-TYPE,IM 3 Service,Address 12 Zip,Image,Phone 0,"
      "Phone 1234567,E-mail,Email 1,Web Address,Shoe Size\r\n");
  EXPECT_EQ(parsed.columns->unknown(),
            (std::vector<std::string>{"Image", "Phone 0", "Phone 1234567", "Shoe Size"}));
  EXPECT_EQ(parsed.columns->repeated(), (std::vector<std::string>{"given_name", "Email 1"}));
}

struct KindRow {
  const char* word;
  const char* kind;  // nullptr: refused
};

TEST(ContactColumnsTest, TypeColumnsNameKindsByTheirEnumerationNames) {
  const KindRow rows[] = {{"work mobile", xr::E_Number_WorkMobile},
                          {"E_Number_Pager", xr::E_Number_Pager},
                          {"Cell", xr::E_Number_Mobile},
                          {"", xr::E_Number_Mobile},  // the default
                          {"FAX", nullptr},
                          {"Cellular", nullptr}};
  for (const KindRow& row : rows) {
    const auto parsed = parse(std::string("Phone,Phone Type\n555 0100,") + row.word + "\n");
    std::string error;
    const auto contact = parsed.columns->contactFromRow(*parsed.row, ".", error);
    if (!row.kind) {
      EXPECT_FALSE(contact) << row.word;
      EXPECT_NE(error.find("in column \"Phone Type\" is not a phone number kind"),
                std::string::npos)
          << row.word << ": " << error;
      continue;
    }
    ASSERT_TRUE(contact) << row.word << ": " << error;
    ASSERT_EQ(contact->groupNumber.arrItem.size(), 1u) << row.word;
    EXPECT_EQ(contact->groupNumber.arrItem[0].mobileType, row.kind) << row.word;
  }
}

TEST(ContactColumnsTest, ItemsFollowTheirNumbersAndBlankRowsGiveNoContact) {
  const auto parsed = parse(
      "Phone 2,Phone 1,Email 3,Email,Groups,Anniversary,Birthday\n"
      "222,111,c@x,a@x, A ;;B ,2001-01-01,1990-02-03\n");
  std::string error;
  const auto contact = parsed.columns->contactFromRow(*parsed.row, ".", error);
  ASSERT_TRUE(contact) << error;
  ASSERT_EQ(contact->groupNumber.arrItem.size(), 2u);
  EXPECT_EQ(contact->groupNumber.arrItem[0].mobile, "111");
  EXPECT_EQ(contact->groupNumber.arrItem[1].mobile, "222");
  ASSERT_EQ(contact->groupEmail.arrItem.size(), 2u);
  EXPECT_EQ(contact->groupEmail.arrItem[0].email, "a@x");
  EXPECT_EQ(*contact->userDataForKey(xr::kContactGroupNamesKey),
            (std::vector<std::string>{"A", "B"}));
  // The birthday comes first, so that it also gives the BDAY line.
  ASSERT_EQ(contact->groupDate.arrItem.size(), 2u);
  EXPECT_EQ(contact->groupDate.arrItem[0].dateType, xr::E_Date_Birthday);
  EXPECT_FALSE(contact->displayName) << "no name part, no display name";

  const auto blank = parse("Given Name,Phone,Shoe Size\n ,,42\n");
  EXPECT_FALSE(blank.columns->contactFromRow(*blank.row, ".", error));
  EXPECT_EQ(error, "") << "a row with values only in unknown columns is blank, not bad";
}

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
  full.givenName = "Ann";
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
