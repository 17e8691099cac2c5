// The row mapping (ContactCsvColumns::contactFromRecord) through the reader: this library's
// own columns, the export layouts of the common address books in their languages, and the report
// of every value that found no place.
#include "xrfoundation/contacts/contact_csv_row.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
using testing::Numbers;
using testing::numbersOf;

TEST(ContactCsvRowTest, OwnTypeColumnsNameKindsAndRefuseOtherWords) {
  const std::pair<const char*, const char*> rows[] = {{"work mobile", E_Number_WorkMobile},
                                                      {"E_Number_Pager", E_Number_Pager},
                                                      {"Cell", E_Number_Mobile},
                                                      {"", E_Number_Mobile},  // the default
                                                      {"FAX", nullptr},
                                                      {"Cellular", nullptr}};
  for (const auto& [word, kind] : rows) {
    const Import import =
        importCsv(std::string("Name,Phone,Phone Type\nx,555 0100,") + word + "\n");
    if (!kind) {
      EXPECT_TRUE(import.contacts.empty()) << word;
      EXPECT_EQ(import.errorLine, 2u) << word;
      EXPECT_NE(import.error.find("in column \"Phone Type\" is not a phone number kind"),
                std::string::npos)
          << word << ": " << import.error;
      continue;
    }
    ASSERT_EQ(import.contacts.size(), 1u) << word << ": " << import.error;
    EXPECT_EQ(numbersOf(import.contacts[0]), (Numbers{{"555 0100", kind}})) << word;
  }
}

// A real header of each layout and language with its rows: the layout and language told, every
// value in its place, the summary's counts and each column's count of values that found no place.
TEST(ContactCsvRowTest, MapsEachLayoutAndLanguageAndCountsTheUnplaced) {
  using Layout = ContactCsvColumns::Layout;
  const struct {
    const char* name;
    Layout layout;
    const char* language;
    std::uint64_t contacts, numbers, emails;  // read, and counted in the summary
    const char* unplaced;                     // "column: count, ..."
    const char* csv;
    const char* text;  // the contacts' text, one after the other
  } rows[] = {
      {"own items follow their numbers; the birthday first, also as BDAY; no name nor display name",
       Layout::Own, "English", 1, 2, 2, "",
       "Phone 2,Phone 1,Email 3,Email,Groups,Anniversary,Birthday\n"
       "222,111,c@x,a@x, A ;;B ,2001-01-01,1990-02-03\n",
       "tel='111'/E_Number_Mobile tel='222'/E_Number_Mobile\n"
       "email='a@x'/E_Email_Other email='c@x'/E_Email_Other\n"
       "date='1990-02-03'/E_Date_Birthday date='2001-01-01'/E_Date_Anniversary\n"
       "ContactGroupNames: 'A' 'B'\n"},
      {"a spreadsheet's CSV UTF-8: a mark, quoted titles, CR LF, a note with a quote, a comma and "
       "a line break",
       Layout::DesktopMail, "English", 2, 1, 1, "",
       "\xEF\xBB\xBF\"First Name\",\"Last Name\",\"Mobile Phone\",\"E-mail Address\",\"Notes\"\r\n"
       "\"Ann\",\"Lee\",\"+44 7700 900123\",\"ann@example.org\",\"Met at \"\"DevConf\"\", "
       "2019\r\nsecond line\"\r\n"
       "\"Bob\",\"\",\"\",\"\",\"\"\r\n",
       "family='Lee' given='Ann' display='Ann Lee'\n"
       "tel='+44 7700 900123'/E_Number_Mobile\n"
       "email='ann@example.org'/E_Email_Other\n"
       "note='Met at \"DevConf\", 2019\r\nsecond line'\n"
       "given='Bob' display='Bob'\n"},
      {"desktop mail program: Title is the name's prefix, 0/0/00 no anniversary",
       Layout::DesktopMail, "English", 1, 4, 2, "Spouse: 1",
       "First Name,Middle Name,Last Name,Title,Suffix,E-mail Address,E-mail Type,"
       "E-mail Display Name,E-mail 2 Address,Home Phone,Business Phone,Business Fax,Pager,"
       "Company,Department,Job Title,Home Street,Home City,Home Postal Code,"
       "Home Country/Region,Business Street,Birthday,Anniversary,Spouse\r\n"
       "Ann,Marie,Lee,Dr.,PhD,ann@x.org,SMTP,Ann Lee (ann@x.org),ann@y.org,020 1,020 2,020 3,"
       "020 4,\"Acme; Inc\",Design,Architect,12 Square,London,W1S 1JA,United Kingdom,1 Way,"
       "4/12/1985,0/0/00,Sam\r\n",
       "family='Lee' middle='Marie' given='Ann' prefix='Dr.' suffix='PhD' "
       "display='Dr. Ann Marie Lee PhD'\n"
       "tel='020 1'/E_Number_Home tel='020 2'/E_Number_Work tel='020 3'/E_Number_FaxWork "
       "tel='020 4'/E_Number_Pager\n"
       "email='ann@x.org'/E_Email_Other email='ann@y.org'/E_Email_Other\n"
       "date='4/12/1985'/E_Date_Birthday\n"
       "adr/E_Address_Home street='12 Square' city='London' code='W1S 1JA' "
       "country='United Kingdom'\n"
       "adr/E_Address_Work street='1 Way'\n"
       "org company='Acme; Inc' dept='Design' title='Architect'\n"},
      {"desktop mail program, a third street line", Layout::DesktopMail, "English", 1, 2, 2, "",
       "Title,First Name,Last Name,Company,Job Title,Home Street,Home City,Home Postal Code,"
       "Mobile Phone,Business Phone,E-mail Address,E-mail 2 Address,Home Street 3\n"
       "Dr.,Ann,Lee,Acme,CEO,1 Main St,Bern,3000,555,556,a@x,b@x,Flat 2\n",
       "family='Lee' given='Ann' prefix='Dr.' display='Dr. Ann Lee'\n"
       "tel='555'/E_Number_Mobile tel='556'/E_Number_Work\n"
       "email='a@x'/E_Email_Other email='b@x'/E_Email_Other\n"
       "adr/E_Address_Home street='1 Main St, Flat 2' city='Bern' code='3000'\n"
       "org company='Acme' title='CEO'\n"},
      {"desktop mail program in German", Layout::DesktopMail, "German", 1, 2, 1, "",
       "Anrede,Vorname,Weitere Vornamen,Nachname,Firma,Position,Straße privat,Ort privat,"
       "Postleitzahl privat,Bundesland/Kanton privat,Land/Region privat,Mobiltelefon,"
       "Telefon geschäftlich,E-Mail-Adresse,E-Mail-Typ\n"
       "Dr.,Jörg,K.,Müller,Beispiel AG,Leiter,Hauptstr. 1,Köln,50667,NRW,Deutschland,0151,"
       "0221,j@x,SMTP\n",
       "family='Müller' middle='K.' given='Jörg' prefix='Dr.' display='Dr. Jörg K. Müller'\n"
       "tel='0151'/E_Number_Mobile tel='0221'/E_Number_Work\nemail='j@x'/E_Email_Other\n"
       "adr/E_Address_Home street='Hauptstr. 1' city='Köln' region='NRW' code='50667' "
       "country='Deutschland'\norg company='Beispiel AG' title='Leiter'\n"},
      {"desktop mail program in Dutch, titles with a comma", Layout::DesktopMail, "Dutch", 1, 2, 1,
       "",
       "Voornaam,Achternaam,Bedrijf,Functie,Mobiele telefoon,Telefoon op werk,E-mailadres,"
       "\"Werkadres, straat\",\"Werkadres, plaats\"\n"
       "Anne,Jansen,Voorbeeld BV,Directeur,06-1,020-2,a@x,Dam 1,Amsterdam\n",
       "family='Jansen' given='Anne' display='Anne Jansen'\n"
       "tel='06-1'/E_Number_Mobile tel='020-2'/E_Number_Work\nemail='a@x'/E_Email_Other\n"
       "adr/E_Address_Work street='Dam 1' city='Amsterdam'\n"
       "org company='Voorbeeld BV' title='Directeur'\n"},
      {"web address book: the first address from its parts, not its text, the second from its "
       "text; a custom label, a website's label and a photo's web address have no place",
       Layout::WebAddressBook, "English", 1, 3, 2,
       "Phone 2 - Type: 1, Website 1 - Type: 1, Photo: 1",
       "Name,Given Name,Family Name,Group Membership,E-mail 1 - Type,E-mail 1 - Value,"
       "Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,Address 1 - Type,"
       "Address 1 - Formatted,Address 1 - Street,Address 1 - City,Address 2 - Formatted,"
       "Organization 1 - Name,Organization 1 - Title,Website 1 - Type,Website 1 - Value,Photo\n"
       "Kenji Sato,Kenji,Sato,* myContacts ::: Friends ::: * starred,* Home,a@x.jp ::: b@x.jp,"
       "Mobile,090-1234-5678 ::: +81 90 8765 4321,Gym,03-1234-5678,Home,\"1-2-3 Shibuya\n"
       "Tokyo\",1-2-3 Shibuya,Tokyo,\"PO Box 9, Osaka\",Example KK,Engineer,Blog,"
       "https://x.jp,https://photos.example/k.jpg\n",
       "family='Sato' given='Kenji' display='Kenji Sato'\n"
       "tel='090-1234-5678'/E_Number_Mobile tel='+81 90 8765 4321'/E_Number_Mobile "
       "tel='03-1234-5678'/E_Number_Mobile\n"
       "email='a@x.jp'/E_Email_Home email='b@x.jp'/E_Email_Home\n"
       "adr/E_Address_Home street='1-2-3 Shibuya' city='Tokyo'\n"
       "adr/E_Address_Other street='PO Box 9, Osaka'\n"
       "org company='Example KK' title='Engineer'\n"
       "url='https://x.jp'\n"
       "ContactGroupNames: 'Friends' 'starred'\n"},
      {"web address book, newer form", Layout::WebAddressBook, "English", 1, 2, 1, "",
       "First Name,Last Name,Organization Name,Organization Title,Labels,E-mail 1 - Label,"
       "E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value\n"
       "Eva,Novak,Example s.r.o.,CTO,* myContacts ::: Family,Work,eva@x.cz,Mobile,+420 601,"
       "Work Fax,+420 2\n",
       "family='Novak' given='Eva' display='Eva Novak'\n"
       "tel='+420 601'/E_Number_Mobile tel='+420 2'/E_Number_FaxWork\n"
       "email='eva@x.cz'/E_Email_Work\n"
       "org company='Example s.r.o.' title='CTO'\n"
       "ContactGroupNames: 'Family'\n"},
      {"web address book, one address part", Layout::WebAddressBook, "English", 1, 1, 1, "",
       "Name,Given Name,Family Name,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,"
       "Phone 1 - Value,Organization 1 - Name,Address 1 - Type,Address 1 - City\n"
       "Ann Lee,Ann,Lee,Work,a@x,Mobile,555,Acme,Home,Bern\n",
       "family='Lee' given='Ann' display='Ann Lee'\n"
       "tel='555'/E_Number_Mobile\nemail='a@x'/E_Email_Work\n"
       "adr/E_Address_Home city='Bern'\norg company='Acme'\n"},
      {"open-source mail client: Zoe's birthday is in month 13, none", Layout::OpenSourceMail,
       "English", 3, 3, 2, "Birth Month: 1, Birth Day: 1, Custom 1: 1",
       "First Name,Last Name,Display Name,Primary Email,Secondary Email,Work Phone,Fax Number,"
       "Mobile Number,Home Address,Home Address 2,Home City,Home ZipCode,Home Country,"
       "Work Address,Organization,Job Title,Web Page 1,Birth Year,Birth Month,Birth Day,"
       "Custom 1,Notes\n"
       "L\xC3\xA9"
       "a,Dubois,L\xC3\xA9"
       "a D.,l@x.fr,l2@x.fr,+33 1,+33 2,+33 6,5 rue de la Paix,"
       "B\xC3\xA2timent B,Paris,75002,France,,Exemple "
       "SA,Directrice,https://x.fr,1988,3,9,VIP,\"a\nb\"\n"
       "Marc,,,,,,,,,,,,,,,,,,12,31,,\n"
       "Zoe,,,,,,,,,,,,,,,,,,13,1,,\n",
       "family='Dubois' given='Léa' display='Léa D.'\n"
       "tel='+33 1'/E_Number_Work tel='+33 2'/E_Number_FaxWork tel='+33 6'/E_Number_Mobile\n"
       "email='l@x.fr'/E_Email_Other email='l2@x.fr'/E_Email_Other\n"
       "date='1988-03-09'/E_Date_Birthday\n"
       "adr/E_Address_Home street='5 rue de la Paix, Bâtiment B' city='Paris' code='75002' "
       "country='France'\n"
       "org company='Exemple SA' title='Directrice'\n"
       "url='https://x.fr' note='a\nb'\n"
       "given='Marc' display='Marc'\n"
       "date='--12-31'/E_Date_Birthday\n"
       "given='Zoe' display='Zoe'\n"},
      {"open-source mail client in German", Layout::OpenSourceMail, "German", 1, 2, 1, "",
       "Vorname,Nachname,Anzeigename,Primäre E-Mail-Adresse,Mobil-Tel.-Nr.,Tel. dienstlich,"
       "Organisation,Privat: Adresse,Privat: PLZ,Geburtsjahr,Geburtsmonat,Geburtstag\n"
       "Jörg,Müller,Jörg M.,j@x,0151,0221,Beispiel AG,Hauptstr. 1,50667,1980,2,29\n",
       "family='Müller' given='Jörg' display='Jörg M.'\n"
       "tel='0151'/E_Number_Mobile tel='0221'/E_Number_Work\nemail='j@x'/E_Email_Other\n"
       "date='1980-02-29'/E_Date_Birthday\n"
       "adr/E_Address_Home street='Hauptstr. 1' code='50667'\norg company='Beispiel AG'\n"},
      {"open-source mail client in French, one title for the home's and the work's address part: "
       "the first column is the home's",
       Layout::OpenSourceMail, "French", 1, 1, 1, "",
       "Prénom,Nom de famille,Adresse électronique principale,Portable,Adresse privée,Ville,"
       "Code postal,Adresse professionnelle,Ville,Code postal,Société\n"
       "Léa,Dubois,l@x,06,1 rue A,Paris,75001,2 rue B,Lyon,69001,Exemple SA\n",
       "family='Dubois' given='Léa' display='Léa Dubois'\n"
       "tel='06'/E_Number_Mobile\nemail='l@x'/E_Email_Other\n"
       "adr/E_Address_Home street='1 rue A' city='Paris' code='75001'\n"
       "adr/E_Address_Work street='2 rue B' city='Lyon' code='69001'\n"
       "org company='Exemple SA'\n"},
      {"webmail", Layout::Webmail, "English", 1, 1, 2, "",
       "Display Name,First Name,Last Name,Email Home,Email Work,Home Mobile,Company,Job Title,"
       "Work City,Work Zip,IM Skype\n"
       "Ann Lee,Ann,Lee,a@x,b@x,555,Acme,CEO,Bern,3000,ann.lee\n",
       "family='Lee' given='Ann' display='Ann Lee'\n"
       "tel='555'/E_Number_Mobile\nemail='a@x'/E_Email_Home email='b@x'/E_Email_Work\n"
       "im='ann.lee'/E_Im_Skype\n"
       "adr/E_Address_Work city='Bern' code='3000'\norg company='Acme' title='CEO'\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Import import = importCsv(row.csv);
    EXPECT_EQ(import.layout, row.layout);
    EXPECT_EQ(import.language, row.language);
    ASSERT_EQ(import.contacts.size(), row.contacts) << import.error;
    std::string text, unplaced;
    for (const ContactInfo& contact : import.contacts) text += contactText(contact);
    EXPECT_EQ(text, row.text);
    EXPECT_EQ(import.summary.contacts, row.contacts);
    EXPECT_EQ(import.summary.numbers, row.numbers);
    EXPECT_EQ(import.summary.emails, row.emails);
    for (const auto& [column, count] : import.summary.unplaced) {
      unplaced += (unplaced.empty() ? "" : ", ") + column + ": " + std::to_string(count);
    }
    EXPECT_EQ(unplaced, row.unplaced);
  }
}

// The birthday from its parts only when each is a number in its range; an address only with
// some part, its one text standing for it only when it has no other part.
TEST(ContactCsvRowTest, DatePartsAndAddressPartsGiveWholeItemsOrNone) {
  const std::pair<const char*, const char*> rows[] = {
      {"Ann,1990,2,3,,,,,,,,", "date='1990-02-03'/E_Date_Birthday\n"},
      {"Ann,x,2,3,,,,,,,,", ""},
      {"Ann,12345,2,3,,,,,,,,", ""},
      {"Ann,0,2,3,,,,,,,,", ""},
      {"Ann,,2,,,,,,,,,", ""},
      {"Ann,,13,3,,,,,,,,", ""},
      {"Ann,,2,32,,,,,,,,", ""},
      {"Ann,,,,,,,,NRW,,,", "adr/E_Address_Home region='NRW'\n"},
      {"Ann,,,,,,,,,,Sales,", "org dept='Sales'\n"},
      {"Ann,,,,,,,,,,,CEO", "org title='CEO'\n"},
  };
  for (const auto& [line, items] : rows) {
    const Import import = importCsv(
        std::string("First Name,Birth Year,Birth Month,Birth Day,Home Address,Home Address 2,"
                    "Home City,Home ZipCode,Home State,Home Country,Department,Job Title\n") +
        line + "\n");
    ASSERT_EQ(import.contacts.size(), 1u) << line << ": " << import.error;
    EXPECT_EQ(contactText(import.contacts[0]), std::string("given='Ann' display='Ann'\n") + items)
        << line;
  }
}

TEST(ContactCsvRowTest, APhotoTooLargeOrNoFileEndsTheImport) {
  const std::filesystem::path big = "contact_csv_row_test_big.jpg";
  std::ofstream(big, std::ios::binary) << "x";
  std::filesystem::resize_file(big, (16u << 20) + 1);
  std::filesystem::create_directories("contact_csv_row_test_folder.jpg");
  for (const char* file : {"contact_csv_row_test_big.jpg", "contact_csv_row_test_folder.jpg"}) {
    const Import import = importCsv(std::string("Given Name,Photo\nAnn,") + file + "\n");
    EXPECT_TRUE(import.contacts.empty()) << file;
    EXPECT_NE(import.error.find(file), std::string::npos) << import.error;
  }
  EXPECT_NE(importCsv("Given Name,Photo\nAnn,contact_csv_row_test_big.jpg\n")
                .error.find("is larger than 16 MiB"),
            std::string::npos);
  std::filesystem::remove(big);
  std::filesystem::remove("contact_csv_row_test_folder.jpg");
}

}  // namespace
}  // namespace xr
