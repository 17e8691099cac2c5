// ContactCsvReader: standard CSV under the header line, the count of every value that found
// no place, strict reading, and errors that name their line.
#include "xrfoundation/contacts/contact_csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/contacts/testing/contact_csv_import.h"
#include "xrfoundation/contacts/testing/contact_text.h"

namespace xr {
namespace {

using testing::contactText;
using testing::Import;
using testing::importCsv;
using testing::Unplaced;

TEST(ContactCsvReaderTest, ReadsTheQuotedHeaderWithAByteOrderMark) {
  // A spreadsheet's "CSV UTF-8": a mark, every title quoted, CR LF, a note with a quote, a
  // comma and a line break.
  const Import import = importCsv(
      "\xEF\xBB\xBF\"First Name\",\"Last Name\",\"Mobile Phone\",\"E-mail Address\",\"Notes\"\r\n"
      "\"Ann\",\"Lee\",\"+44 7700 900123\",\"ann@example.org\",\"Met at \"\"DevConf\"\", "
      "2019\r\nsecond line\"\r\n"
      "\"Bob\",\"\",\"\",\"\",\"\"\r\n");
  EXPECT_EQ(import.layout, ContactCsvColumns::Layout::DesktopMail);
  ASSERT_EQ(import.contacts.size(), 2u) << import.error;
  EXPECT_EQ(contactText(import.contacts[0]) + contactText(import.contacts[1]),
            "family='Lee' given='Ann' display='Ann Lee'\n"
            "tel='+44 7700 900123'/E_Number_Mobile\n"
            "email='ann@example.org'/E_Email_Other\n"
            "note='Met at \"DevConf\", 2019\r\nsecond line'\n"
            "given='Bob' display='Bob'\n");
  EXPECT_EQ(import.summary.contacts, 2u);
  EXPECT_EQ(import.summary.numbers, 1u);
  EXPECT_EQ(import.summary.emails, 1u);
  EXPECT_TRUE(import.summary.unplaced.empty());
}

TEST(ContactCsvReaderTest, CountsEveryUnplacedValueByColumnAndStrictStopsAtTheFirst) {
  const std::string text =
      "Given Name,Shoe Size,Phone,phone 1\n"
      "Ann,38,111,999\n"
      ",,,\n"
      ",42,,\n"                  // only an unplaced value: no contact, still counted
      "Bob,,222,,extra,more\n";  // fields beyond the header
  const Import import = importCsv(text);
  EXPECT_EQ(import.contacts.size(), 2u);
  EXPECT_EQ(import.summary.blankRows, 2u);
  EXPECT_EQ(import.summary.unplaced,
            (Unplaced{{"Shoe Size", 2}, {"phone 1", 1}, {"(column 5)", 1}, {"(column 6)", 1}}));
  EXPECT_EQ(import.error, "");

  const Import strict = importCsv(text, true);
  EXPECT_TRUE(strict.contacts.empty());
  EXPECT_EQ(strict.errorLine, 2u);
  EXPECT_EQ(strict.error, "\"38\" in column \"Shoe Size\" has no place in a contact");
}

TEST(ContactCsvReaderTest, ErrorsNameTheLineTheRowBeginsOn) {
  const Import photo = importCsv("Given Name,Note,Photo\nAnn,\"two\nlines\",\nBob,,missing.jpg\n");
  EXPECT_EQ(photo.contacts.size(), 1u);
  EXPECT_EQ(photo.errorLine, 4u);
  EXPECT_EQ(photo.error.rfind("cannot read photo", 0), 0u) << photo.error;

  const Import quote = importCsv("Given Name,Note\nAnn,\"open\nBob,x\n");
  EXPECT_EQ(quote.errorLine, 2u);
  EXPECT_NE(quote.error.find("not closed"), std::string::npos) << quote.error;

  EXPECT_EQ(importCsv("").error, "no header line (an empty file)");
  EXPECT_NE(importCsv(std::string("G\0i\0v\0e\0n\0", 10)).error, "");
}

}  // namespace
}  // namespace xr
