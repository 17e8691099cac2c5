// ContactCsvReader: standard CSV under the header line, the count of every value that found
// no place, strict reading, and errors that name their line.
#include "xrfoundation/contacts/contact_csv.h"

#include <gtest/gtest.h>

#include <optional>
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

struct Opened {
  bool ok = false;
  std::string error;
  std::uint64_t errorLine = 0;
  std::vector<std::string> names;  // display names read
  ContactCsvSummary summary;
};

Opened openCsv(const std::string& text, std::optional<std::string> encoding = std::nullopt,
               std::optional<char> delimiter = std::nullopt, bool strict = false) {
  ContactCsvReader reader;
  reader.setEncoding(std::move(encoding));
  reader.setDelimiter(delimiter);
  reader.setStrict(strict);
  Opened opened;
  opened.ok = reader.open(makeDataInputStream(text), ".");
  ContactInfo contact;
  while (opened.ok && reader.next(contact) == ContactCsvReader::Next::Contact) {
    opened.names.push_back(contact.displayName.value_or(""));
  }
  opened.error = reader.errorReason();
  opened.errorLine = reader.errorLine();
  opened.summary = reader.summary();
  return opened;
}

TEST(ContactCsvReaderTest, AHeaderThatNamesNoFieldIsAnError) {
  const Opened opened = openCsv("Shoe Size,\"Colour, favourite\",Pet\n42,blue,cat\n");
  EXPECT_FALSE(opened.ok);
  EXPECT_EQ(opened.error,
            "no column names a contact field; its columns: Shoe Size, Colour, favourite, Pet");
  // Read with the wrong separator, a header is one unknown column.
  EXPECT_EQ(openCsv("Name;Phone\nAnn;1\n", std::nullopt, ',').error,
            "no column names a contact field; its columns: Name;Phone");
}

TEST(ContactCsvReaderTest, NotesBeforeTheHeaderArePassedOver) {
  // The business network's export: a note, a quoted paragraph and a blank line first.
  const Opened linkedIn = openCsv(
      "Notes:\n\"When exporting your connection data, some e-mail addresses may be missing.\"\n\n"
      "First Name,Last Name,URL,Email Address,Company,Position,Connected On\n"
      "Ann,Lee,https://example.org/in/ann,ann@example.org,Acme,CTO,01 Mar 2024\n");
  EXPECT_TRUE(linkedIn.ok) << linkedIn.error;
  EXPECT_EQ(linkedIn.summary.headerLine, 4u);
  EXPECT_EQ(linkedIn.names, (std::vector<std::string>{"Ann Lee"}));
  // Past a few records, a file of unknown columns is that, and the error names the first line.
  const Opened unknown = openCsv("a\nb\nc\nd\ne\nFirst Name\nAnn\n");
  EXPECT_FALSE(unknown.ok);
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
  const Opened lenient = openCsv(text, "cp1252");
  EXPECT_TRUE(lenient.ok);
  EXPECT_EQ(lenient.names.size(), 3u);
  EXPECT_EQ(lenient.summary.undecodable, 3u);
  EXPECT_EQ(lenient.summary.undecodableLines, (std::vector<std::uint64_t>{3, 4}));
  const Opened strict = openCsv(text, "cp1252", std::nullopt, true);
  EXPECT_EQ(strict.names, (std::vector<std::string>{"Ren\xC3\xA9"}));
  EXPECT_EQ(strict.errorLine, 3u);
  EXPECT_EQ(strict.error, "bytes that are not valid Windows-1252 text");
}

}  // namespace
}  // namespace xr
