// The column vocabulary: titles matched loosely, in every layout and language, and the same under
// a Turkish locale.
#include "xrfoundation/contacts/contact_csv_columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
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

// The titles of a header line; a title in double quotes may hold a comma.
std::vector<std::string> splitTitles(const std::string& line) {
  std::vector<std::string> titles(1);
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      titles.emplace_back();
    } else {
      titles.back().push_back(c);
    }
  }
  return titles;
}

// A real header of each layout and language with one row: the layout and language are told
// and the main columns (names, phones, e-mails, organisation, address) go to their places.
TEST(ContactCsvColumnsTest, ReadsEachLayoutAndLanguage) {
  using Layout = ContactCsvColumns::Layout;
  // The layout and language told, the header, its row and the contact read.
  const std::tuple<Layout, const char*, std::string, std::string, std::string> cases[] = {
      {Layout::DesktopMail, "English",
       "Title,First Name,Last Name,Company,Job Title,Home Street,Home City,Home Postal Code,"
       "Mobile Phone,Business Phone,E-mail Address,E-mail 2 Address,Home Street 3",
       "Dr.,Ann,Lee,Acme,CEO,1 Main St,Bern,3000,555,556,a@x,b@x,Flat 2",
       "family='Lee' given='Ann' prefix='Dr.' display='Dr. Ann Lee'\n"
       "tel='555'/E_Number_Mobile tel='556'/E_Number_Work\n"
       "email='a@x'/E_Email_Other email='b@x'/E_Email_Other\n"
       "adr/E_Address_Home street='1 Main St, Flat 2' city='Bern' code='3000'\n"
       "org company='Acme' title='CEO'\n"},
      {Layout::DesktopMail, "German",
       "Anrede,Vorname,Weitere Vornamen,Nachname,Firma,Position,Straße privat,Ort privat,"
       "Postleitzahl privat,Bundesland/Kanton privat,Land/Region privat,Mobiltelefon,"
       "Telefon geschäftlich,E-Mail-Adresse,E-Mail-Typ",
       "Dr.,Jörg,K.,Müller,Beispiel AG,Leiter,Hauptstr. 1,Köln,50667,NRW,Deutschland,0151,"
       "0221,j@x,SMTP",
       "family='Müller' middle='K.' given='Jörg' prefix='Dr.' display='Dr. Jörg K. Müller'\n"
       "tel='0151'/E_Number_Mobile tel='0221'/E_Number_Work\nemail='j@x'/E_Email_Other\n"
       "adr/E_Address_Home street='Hauptstr. 1' city='Köln' region='NRW' code='50667' "
       "country='Deutschland'\norg company='Beispiel AG' title='Leiter'\n"},
      {Layout::DesktopMail, "Dutch",
       "Voornaam,Achternaam,Bedrijf,Functie,Mobiele telefoon,Telefoon op werk,E-mailadres,"
       "\"Werkadres, straat\",\"Werkadres, plaats\"",
       "Anne,Jansen,Voorbeeld BV,Directeur,06-1,020-2,a@x,Dam 1,Amsterdam",
       "family='Jansen' given='Anne' display='Anne Jansen'\n"
       "tel='06-1'/E_Number_Mobile tel='020-2'/E_Number_Work\nemail='a@x'/E_Email_Other\n"
       "adr/E_Address_Work street='Dam 1' city='Amsterdam'\n"
       "org company='Voorbeeld BV' title='Directeur'\n"},
      {Layout::WebAddressBook, "English",
       "Name,Given Name,Family Name,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,"
       "Phone 1 - Value,Organization 1 - Name,Address 1 - Type,Address 1 - City",
       "Ann Lee,Ann,Lee,Work,a@x,Mobile,555,Acme,Home,Bern",
       "family='Lee' given='Ann' display='Ann Lee'\n"
       "tel='555'/E_Number_Mobile\nemail='a@x'/E_Email_Work\n"
       "adr/E_Address_Home city='Bern'\norg company='Acme'\n"},
      {Layout::OpenSourceMail, "German",
       "Vorname,Nachname,Anzeigename,Primäre E-Mail-Adresse,Mobil-Tel.-Nr.,Tel. dienstlich,"
       "Organisation,Privat: Adresse,Privat: PLZ,Geburtsjahr,Geburtsmonat,Geburtstag",
       "Jörg,Müller,Jörg M.,j@x,0151,0221,Beispiel AG,Hauptstr. 1,50667,1980,2,29",
       "family='Müller' given='Jörg' display='Jörg M.'\n"
       "tel='0151'/E_Number_Mobile tel='0221'/E_Number_Work\nemail='j@x'/E_Email_Other\n"
       "date='1980-02-29'/E_Date_Birthday\n"
       "adr/E_Address_Home street='Hauptstr. 1' code='50667'\norg company='Beispiel AG'\n"},
      // The same title for the home and the work address: the first column is the home's.
      {Layout::OpenSourceMail, "French",
       "Prénom,Nom de famille,Adresse électronique principale,Portable,Adresse privée,Ville,"
       "Code postal,Adresse professionnelle,Ville,Code postal,Société",
       "Léa,Dubois,l@x,06,1 rue A,Paris,75001,2 rue B,Lyon,69001,Exemple SA",
       "family='Dubois' given='Léa' display='Léa Dubois'\n"
       "tel='06'/E_Number_Mobile\nemail='l@x'/E_Email_Other\n"
       "adr/E_Address_Home street='1 rue A' city='Paris' code='75001'\n"
       "adr/E_Address_Work street='2 rue B' city='Lyon' code='69001'\n"
       "org company='Exemple SA'\n"},
      {Layout::Webmail, "English",
       "Display Name,First Name,Last Name,Email Home,Email Work,Home Mobile,Company,Job Title,"
       "Work City,Work Zip,IM Skype",
       "Ann Lee,Ann,Lee,a@x,b@x,555,Acme,CEO,Bern,3000,ann.lee",
       "family='Lee' given='Ann' display='Ann Lee'\n"
       "tel='555'/E_Number_Mobile\nemail='a@x'/E_Email_Home email='b@x'/E_Email_Work\n"
       "im='ann.lee'/E_Im_Skype\n"
       "adr/E_Address_Work city='Bern' code='3000'\norg company='Acme' title='CEO'\n"},
  };
  for (const auto& [layout, language, header, row, contact] : cases) {
    const ContactCsvColumns columns(splitTitles(header));
    EXPECT_EQ(columns.layout(), layout) << header;
    EXPECT_EQ(columns.languageName(), language) << header;
    const Import import = importCsv(header + "\n" + row + "\n");
    ASSERT_EQ(import.contacts.size(), 1u) << header << ": " << import.error;
    EXPECT_EQ(contactText(import.contacts[0]), contact) << header;
  }
  EXPECT_EQ(ContactCsvColumns(splitTitles(std::get<2>(cases[1]))).layoutName(),
            "desktop mail program");
}

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
