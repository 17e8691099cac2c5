// ContactCsvReader: standard CSV under the header line, the count of every value that found
// no place, strict reading, and errors that name their line.
#include "xrfoundation/contacts/contact_csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/contacts/testing/contact_csv_import.h"

namespace xr {
namespace {

using testing::Import;
using testing::importCsv;
using testing::Unplaced;

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

  EXPECT_EQ(importCsv("").error, "no header line (an empty file)");
  EXPECT_NE(importCsv(std::string("G\0i\0v\0e\0n\0", 10)).error, "");
}

TEST(ContactCsvReaderTest, AHeaderThatNamesNoFieldIsAnError) {
  const Import unknown = importCsv("Shoe Size,\"Colour, favourite\",Pet\n42,blue,cat\n");
  EXPECT_FALSE(unknown.opened);
  EXPECT_EQ(unknown.error,
            "no column names a contact field; its columns: Shoe Size, Colour, favourite, Pet");
  // Read with the wrong separator, a header is one unknown column.
  EXPECT_EQ(importCsv("Name;Phone\nAnn;1\n", false, std::nullopt, ',').error,
            "no column names a contact field; its columns: Name;Phone");
}

TEST(ContactCsvReaderTest, NotesBeforeTheHeaderArePassedOver) {
  // The business network's export: a note, a quoted paragraph and a blank line first.
  const Import linkedIn = importCsv(
      "Notes:\n\"When exporting your connection data, some e-mail addresses may be missing.\"\n\n"
      "First Name,Last Name,URL,Email Address,Company,Position,Connected On\n"
      "Ann,Lee,https://example.org/in/ann,ann@example.org,Acme,CTO,01 Mar 2024\n");
  EXPECT_TRUE(linkedIn.opened) << linkedIn.error;
  EXPECT_EQ(linkedIn.summary.headerLine, 4u);
  ASSERT_EQ(linkedIn.contacts.size(), 1u);
  EXPECT_EQ(linkedIn.contacts[0].displayName, "Ann Lee");
  // Past a few records, a file of unknown columns is that, and the error names the first line.
  const Import unknown = importCsv("a\nb\nc\nd\ne\nFirst Name\nAnn\n");
  EXPECT_FALSE(unknown.opened);
  EXPECT_EQ(unknown.errorLine, 1u);
  EXPECT_EQ(unknown.error, "no column names a contact field; its columns: a");
}

TEST(ContactCsvReaderTest, CountsUndecodableBytesAndStrictStopsAtTheFirst) {
  // 0x81 is no Windows-1252 character: on lines 3 and 4.
  const std::string text =
      "Display Name,Note\n"
      "Ren\xE9,caf\xE9\n"
      "Zo\xEB,x\x81\n"
      "Chlo\xE9,\x81\x81\n";
  const Import lenient = importCsv(text, false, "cp1252");
  EXPECT_EQ(lenient.contacts.size(), 3u) << lenient.error;
  EXPECT_EQ(lenient.summary.undecodable, 3u);
  EXPECT_EQ(lenient.summary.undecodableLines, (std::vector<std::uint64_t>{3, 4}));
  const Import strict = importCsv(text, true, "cp1252");
  ASSERT_EQ(strict.contacts.size(), 1u);
  EXPECT_EQ(strict.contacts[0].displayName, "Ren\xC3\xA9");
  EXPECT_EQ(strict.errorLine, 3u);
  EXPECT_EQ(strict.error, "bytes that are not valid Windows-1252 text");
}

}  // namespace
}  // namespace xr
