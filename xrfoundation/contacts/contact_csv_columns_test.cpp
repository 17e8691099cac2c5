// The column vocabulary: titles matched loosely, in every layout and language, and the same under
// a Turkish locale.
#include "xrfoundation/contacts/contact_csv_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_csv_vocabulary_internal.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/testing/contact_csv_import.h"
#include "xrfoundation/contacts/testing/contact_text.h"
#include "xrfoundation/platform/testing/turkish_locales.h"

namespace xr {
namespace {

using testing::contactText;
using testing::Import;
using testing::importCsv;

// Every table of the vocabulary, as a header of all its titles, is told as itself (or as an
// earlier table of the same layout and language) and binds every title it places.
TEST(ContactCsvColumnsTest, EveryTableIsToldAsItselfAndBindsItsTitles) {
  for (const auto& table : contact_csv_internal::vocabularyTables()) {
    std::vector<std::string> header;
    std::vector<std::string> placed;
    for (const auto& entry : table.entries) {
      header.emplace_back(entry.title);
      if (entry.placed) placed.emplace_back(entry.title);
    }
    const ContactCsvColumns columns(header);
    const std::string what =
        std::string(contact_csv_internal::layoutName(table.layout)) + ", " + table.language;
    EXPECT_EQ(columns.layout(), table.layout) << what;
    EXPECT_EQ(columns.languageName(), table.language) << what;
    for (const std::string& title : placed) {
      EXPECT_EQ(std::count(columns.unknown().begin(), columns.unknown().end(), title), 0)
          << what << ": " << title;
    }
    EXPECT_EQ(columns.unknown().size(), header.size() - placed.size()) << what;
  }
}

// Titles typed another way: other letter case beyond ASCII, decomposed accents, blanks.
TEST(ContactCsvColumnsTest, TitlesMatchInAnyCaseAndNormalisation) {
  const std::vector<std::string> ways = {
      "Primäre E-Mail-Adresse",
      "PRIMÄRE E-MAIL-ADRESSE",
      "prima\xCC\x88re e-mail-adresse",  // "a" and a combining diaeresis
      "  Primäre_E-Mail Adresse ",
  };
  for (const std::string& title : ways) {
    const ContactCsvColumns columns({"Vorname", title});
    EXPECT_TRUE(columns.unknown().empty()) << title;
    std::vector<ContactCsvUnplaced> unplaced;
    std::string error;
    const auto contact = columns.contactFromRecord({"Jörg", "j@x"}, ".", unplaced, error);
    ASSERT_TRUE(contact) << title;
    ASSERT_EQ(contact->groupEmail.arrItem.size(), 1u) << title;
    EXPECT_EQ(contact->groupEmail.arrItem[0].email, "j@x") << title;
  }
}

// The header's language is the one most of its titles are in; a title of another table binds
// all the same, and a title keeps the meaning of the layout the header was taken for.
TEST(ContactCsvColumnsTest, TheBestTableGivesLayoutLanguageAndMeaning) {
  const ContactCsvColumns german({"Vorname", "Nachname", "Firma", "Mobile Phone"});
  EXPECT_EQ(german.languageName(), "German");
  EXPECT_EQ(german.layout(), ContactCsvColumns::Layout::DesktopMail);
  EXPECT_EQ(german.layoutName(), "desktop mail program");
  EXPECT_TRUE(german.unknown().empty());

  std::vector<ContactCsvUnplaced> unplaced;
  std::string error;
  // "Title" is the name prefix of the desktop mail program, the job title of the own layout.
  const ContactCsvColumns desktop({"First Name", "Title", "Mobile Phone", "Business Fax"});
  const auto prefixed = desktop.contactFromRecord({"Ann", "Dr.", "1", "2"}, ".", unplaced, error);
  ASSERT_TRUE(prefixed);
  EXPECT_EQ(prefixed->prefix, "Dr.");
  const ContactCsvColumns own({"Given Name", "Title", "Phone 1"});
  const auto titled = own.contactFromRecord({"Ann", "CEO", "1"}, ".", unplaced, error);
  ASSERT_TRUE(titled);
  EXPECT_FALSE(titled->prefix);
  ASSERT_EQ(titled->groupOrganization.arrItem.size(), 1u);
  EXPECT_EQ(titled->groupOrganization.arrItem[0].title, "CEO");
  EXPECT_TRUE(unplaced.empty());
}

TEST(ContactCsvColumnsTest, MatchesOwnTitlesLooselyAndReportsUnknownAndRepeatedOnes) {
  const ContactCsvColumns columns(
      {"\xEF\xBB\xBFGiven Name", "given_name", "PHONE-2-TYPE", "IM 3 Service", "Address 12 Zip",
       "Image", "Phone 0", "Phone 1234567", "E-mail", "Email 1", "Web Address", " Shoe Size "});
  EXPECT_EQ(columns.layout(), ContactCsvColumns::Layout::Own);
  EXPECT_EQ(columns.unknown(),
            (std::vector<std::string>{"Image", "Phone 0", "Phone 1234567", "Shoe Size"}));
  EXPECT_EQ(columns.repeated(), (std::vector<std::string>{"given_name", "Email 1"}));
  EXPECT_EQ(columns.columnName(0), "Given Name");
  EXPECT_EQ(columns.columnName(12), "(column 13)");
}

// The process locale is the user's in a desktop application (Qt sets it at start); under
// Turkish rules "I" lowers to a dotless "ı" and the titles and kind words with an "I" -- "IM 1",
// "ISDN" -- must still match.
TEST(ContactCsvColumnsTest, MatchingIsTheSameUnderTheTurkishLocale) {
  const std::string csv =
      "Given Name,IM 1,IM 1 Service,Phone,Phone Type,INITIALS,ISDN\n"
      "Ann,ann1,ICQ,555 0100,ISDN,A.L.,555 0199\n";
  const Import before = importCsv(csv);
  ASSERT_EQ(before.contacts.size(), 1u) << before.error;
  EXPECT_EQ(contactText(before.contacts[0]),
            "given='Ann' display='Ann'\n"
            "tel='555 0100'/E_Number_ISDN tel='555 0199'/E_Number_ISDN\n"
            "im='ann1'/E_Im_ICQ\n");
  const int ran = testing::underTurkishLocales([&](const char* locale) {
    const Import turkish = importCsv(csv);
    EXPECT_EQ(turkish.error, "") << locale;
    EXPECT_EQ(turkish.unknown, before.unknown) << locale;
    ASSERT_EQ(turkish.contacts.size(), 1u) << locale;
    EXPECT_EQ(contactText(turkish.contacts[0]), contactText(before.contacts[0])) << locale;
  });
  if (ran == 0) GTEST_SKIP() << "no Turkish locale here (scripts/setup.sh makes one)";
}

}  // namespace
}  // namespace xr
