// The writer of the own layout: fields that line up with their titles, RFC 4180 quoting, and
// contacts that read back from what it wrote unchanged.
#include "xrfoundation/contacts/contact_csv_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/testing/contact_csv_import.h"
#include "xrfoundation/contacts/testing/contact_text.h"

namespace xr {
namespace {

using testing::contactText;
using testing::Import;
using testing::importCsv;

TEST(ContactCsvWriterTest, FieldsLineUpWithTitlesAndQuoteWhatNeedsIt) {
  ContactInfo full;
  full.givenName.emplace("Ann");  // not "=": GCC 12 at -Os falsely warns it reads uninitialised
  full.groupNumber.arrItem = {{"1", E_Number_WorkMobile}, {"2", std::nullopt}};
  full.groupAddress.arrItem = {{E_Address_Home, "1 Main St\nApt 2", "Bern", {}, {}, {}}};
  full.groupOrganization.arrItem = {{"Acme", "Sales", "CEO"}, {"Beta", {}, {}}};
  full.groupNote.arrItem = {{"one"}, {"two"}};
  ContactInfo empty;
  const std::vector<ContactInfo> contacts = {full, empty};
  const ContactCsvItemCounts counts = contactCsvItemCounts(contacts);
  const auto titles = contactCsvTitles(counts);
  std::vector<std::string> lost;
  const auto fields = contactCsvFields(full, counts, "p/1.jpg", lost);
  ASSERT_EQ(fields.size(), titles.size());
  EXPECT_EQ(contactCsvFields(empty, counts, "", lost).size(), titles.size());
  std::string pairs;
  for (std::size_t n = 0; n < titles.size(); ++n) pairs += titles[n] + "=" + fields[n] + "|";
  EXPECT_EQ(pairs,
            "Given Name=Ann|Middle Name=|Family Name=|Prefix=|Suffix=|Display Name=|Nickname=|"
            "Phone 1=1|Phone 1 Type=WorkMobile|Phone 2=2|Phone 2 Type=|"
            "Address 1 Street=1 Main St\nApt 2|Address 1 City=Bern|Address 1 Region=|"
            "Address 1 Postcode=|Address 1 Country=|Address 1 Type=Home|"
            "Organization=Acme|Department=Sales|Title=CEO|Note=one\n\ntwo|Groups=|Photo=p/1.jpg|");
  ASSERT_EQ(lost.size(), 1u);  // the second organisation has no column
  EXPECT_NE(lost[0].find("Beta"), std::string::npos);

  std::string line;
  appendCsvRecord(line, {"plain", "a,b", "say \"hi\"", "two\nlines", " padded", ""});
  EXPECT_EQ(line, "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\" padded\",\r\n");
}

// Two contacts of unequal item counts, every column family of the own layout.
TEST(ContactCsvWriterTest, ContactsReadBackFromTheOwnLayoutUnchanged) {
  const Import first = importCsv(
      "Given Name,Middle Name,Family Name,Prefix,Suffix,Nickname,Phone,Phone Type,Phone 2,Email,"
      "Email Type,IM 1,IM 1 Service,Birthday,Date 2,Date 2 Type,Address 1 Street,Address 1 City,"
      "Address 1 Region,Address 1 Postcode,Address 1 Country,Address 1 Type,Organization,"
      "Department,Title,Website,Note,Groups\n"
      "Ann,M.,Lee,Dr.,PhD,Annie,111,Work Mobile,222,a@x,Work,ann1,Skype,1990-02-03,2015-06-01,"
      "Anniversary,\"1 Main St\nApt 2\",Bern,BE,3000,CH,Home,Acme,Sales,CEO,https://a.example,"
      "\"say \"\"hi\"\", twice\",A;B\n"
      "Bob,,,,,,333,,,,,,,,,,,,,,,,,,,,,\n");
  ASSERT_EQ(first.contacts.size(), 2u) << first.error;
  const ContactCsvItemCounts counts = contactCsvItemCounts(first.contacts);
  std::vector<std::string> lost;
  std::string written;
  appendCsvRecord(written, contactCsvTitles(counts));
  for (const ContactInfo& contact : first.contacts)
    appendCsvRecord(written, contactCsvFields(contact, counts, "", lost));
  EXPECT_TRUE(lost.empty());
  // Strict: a written value that found no place on the way back is an error.
  const Import back = importCsv(written, true);
  EXPECT_TRUE(back.unknown.empty() && back.repeated.empty()) << written;
  EXPECT_EQ(back.error, "") << written;
  ASSERT_EQ(back.contacts.size(), 2u) << written;
  for (std::size_t n = 0; n < 2; ++n) {
    EXPECT_EQ(contactText(back.contacts[n]), contactText(first.contacts[n])) << written;
  }
}

}  // namespace
}  // namespace xr
