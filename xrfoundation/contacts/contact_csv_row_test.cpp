// ContactCsvColumns::contactFromRecord through the reader: this library's own columns, the
// export layouts of the common address books, and the report of every value that found no place.
#include "xrfoundation/contacts/contact_csv_row.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/testing/contact_csv_import.h"

namespace xr {
namespace {

using testing::Import;
using testing::importCsv;
using testing::Numbers;
using testing::numbersOf;
using testing::Unplaced;

TEST(ContactCsvColumnsTest, OwnTypeColumnsNameKindsAndRefuseOtherWords) {
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

TEST(ContactCsvColumnsTest, OwnItemsFollowTheirNumbers) {
  const Import import = importCsv(
      "Phone 2,Phone 1,Email 3,Email,Groups,Anniversary,Birthday\n"
      "222,111,c@x,a@x, A ;;B ,2001-01-01,1990-02-03\n");
  ASSERT_EQ(import.contacts.size(), 1u) << import.error;
  const ContactInfo& contact = import.contacts[0];
  EXPECT_EQ(numbersOf(contact), (Numbers{{"111", E_Number_Mobile}, {"222", E_Number_Mobile}}));
  ASSERT_EQ(contact.groupEmail.arrItem.size(), 2u);
  EXPECT_EQ(contact.groupEmail.arrItem[0].email, "a@x");
  EXPECT_EQ(*contact.userDataForKey(kContactGroupNamesKey), (std::vector<std::string>{"A", "B"}));
  // The birthday comes first, so that it also gives the BDAY line.
  ASSERT_EQ(contact.groupDate.arrItem.size(), 2u);
  EXPECT_EQ(contact.groupDate.arrItem[0].dateType, E_Date_Birthday);
  EXPECT_FALSE(contact.displayName) << "no name part, no display name";
}

TEST(ContactCsvReaderTest, MapsTheDesktopMailProgramsColumns) {
  const Import import = importCsv(
      "First Name,Middle Name,Last Name,Title,Suffix,E-mail Address,E-mail Type,"
      "E-mail Display Name,E-mail 2 Address,Home Phone,Business Phone,Business Fax,Pager,"
      "Company,Department,Job Title,Home Street,Home City,Home Postal Code,"
      "Home Country/Region,Business Street,Birthday,Anniversary,Spouse\r\n"
      "Ann,Marie,Lee,Dr.,PhD,ann@x.org,SMTP,Ann Lee (ann@x.org),ann@y.org,020 1,020 2,020 3,"
      "020 4,\"Acme; Inc\",Design,Architect,12 Square,London,W1S 1JA,United Kingdom,1 Way,"
      "4/12/1985,0/0/00,Sam\r\n");
  ASSERT_EQ(import.contacts.size(), 1u) << import.error;
  const ContactInfo& ann = import.contacts[0];
  EXPECT_EQ(ann.prefix, "Dr.") << "the desktop program's Title is the name's prefix";
  EXPECT_EQ(ann.middleName, "Marie");
  EXPECT_EQ(ann.displayName, "Dr. Ann Marie Lee PhD");
  EXPECT_EQ(numbersOf(ann), (Numbers{{"020 1", E_Number_Home},
                                     {"020 2", E_Number_Work},
                                     {"020 3", E_Number_FaxWork},
                                     {"020 4", E_Number_Pager}}));
  ASSERT_EQ(ann.groupEmail.arrItem.size(), 2u);
  EXPECT_EQ(ann.groupEmail.arrItem[1].email, "ann@y.org");
  ASSERT_EQ(ann.groupOrganization.arrItem.size(), 1u);
  EXPECT_EQ(ann.groupOrganization.arrItem[0].company, "Acme; Inc");
  EXPECT_EQ(ann.groupOrganization.arrItem[0].title, "Architect");
  ASSERT_EQ(ann.groupAddress.arrItem.size(), 2u);
  EXPECT_EQ(ann.groupAddress.arrItem[0].addressType, E_Address_Home);
  EXPECT_EQ(ann.groupAddress.arrItem[0].country, "United Kingdom");
  EXPECT_EQ(ann.groupAddress.arrItem[1].addressType, E_Address_Work);
  ASSERT_EQ(ann.groupDate.arrItem.size(), 1u) << "0/0/00 is no anniversary";
  EXPECT_EQ(ann.groupDate.arrItem[0].date, "4/12/1985");
  EXPECT_EQ(import.summary.unplaced, (Unplaced{{"Spouse", 1}}));
}

TEST(ContactCsvReaderTest, MapsTheWebAddressBooksColumns) {
  const Import import = importCsv(
      "Name,Given Name,Family Name,Group Membership,E-mail 1 - Type,E-mail 1 - Value,"
      "Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,Address 1 - Type,"
      "Address 1 - Formatted,Address 1 - Street,Address 1 - City,Address 2 - Formatted,"
      "Organization 1 - Name,Organization 1 - Title,Website 1 - Type,Website 1 - Value,Photo\n"
      "Kenji Sato,Kenji,Sato,* myContacts ::: Friends ::: * starred,* Home,a@x.jp ::: b@x.jp,"
      "Mobile,090-1234-5678 ::: +81 90 8765 4321,Gym,03-1234-5678,Home,\"1-2-3 Shibuya\n"
      "Tokyo\",1-2-3 Shibuya,Tokyo,\"PO Box 9, Osaka\",Example KK,Engineer,Blog,"
      "https://x.jp,https://photos.example/k.jpg\n");
  EXPECT_EQ(import.layout, ContactCsvColumns::Layout::WebAddressBook);
  ASSERT_EQ(import.contacts.size(), 1u) << import.error;
  const ContactInfo& kenji = import.contacts[0];
  EXPECT_EQ(kenji.displayName, "Kenji Sato");
  EXPECT_EQ(numbersOf(kenji), (Numbers{{"090-1234-5678", E_Number_Mobile},
                                       {"+81 90 8765 4321", E_Number_Mobile},
                                       {"03-1234-5678", E_Number_Mobile}}));
  ASSERT_EQ(kenji.groupEmail.arrItem.size(), 2u);
  EXPECT_EQ(kenji.groupEmail.arrItem[1].email, "b@x.jp");
  EXPECT_EQ(kenji.groupEmail.arrItem[1].emailType, E_Email_Home);
  EXPECT_EQ(*kenji.userDataForKey(kContactGroupNamesKey),
            (std::vector<std::string>{"Friends", "starred"}));
  ASSERT_EQ(kenji.groupAddress.arrItem.size(), 2u);
  EXPECT_EQ(kenji.groupAddress.arrItem[0].street, "1-2-3 Shibuya") << "the parts, not the text";
  EXPECT_EQ(kenji.groupAddress.arrItem[1].street, "PO Box 9, Osaka") << "only the text";
  ASSERT_EQ(kenji.groupOrganization.arrItem.size(), 1u);
  EXPECT_EQ(kenji.groupOrganization.arrItem[0].title, "Engineer");
  ASSERT_EQ(kenji.groupWebsite.arrItem.size(), 1u);
  // A custom label, a website's label and a photo's web address have no place.
  EXPECT_EQ(import.summary.unplaced,
            (Unplaced{{"Phone 2 - Type", 1}, {"Website 1 - Type", 1}, {"Photo", 1}}));
}

TEST(ContactCsvReaderTest, MapsTheWebAddressBooksNewerForm) {
  const Import import = importCsv(
      "First Name,Last Name,Organization Name,Organization Title,Labels,E-mail 1 - Label,"
      "E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value\n"
      "Eva,Novak,Example s.r.o.,CTO,* myContacts ::: Family,Work,eva@x.cz,Mobile,+420 601,"
      "Work Fax,+420 2\n");
  EXPECT_EQ(import.layout, ContactCsvColumns::Layout::WebAddressBook);
  ASSERT_EQ(import.contacts.size(), 1u) << import.error;
  const ContactInfo& eva = import.contacts[0];
  EXPECT_EQ(numbersOf(eva), (Numbers{{"+420 601", E_Number_Mobile}, {"+420 2", E_Number_FaxWork}}));
  EXPECT_EQ(eva.groupEmail.arrItem.at(0).emailType, E_Email_Work);
  EXPECT_EQ(eva.groupOrganization.arrItem.at(0).company, "Example s.r.o.");
  EXPECT_EQ(*eva.userDataForKey(kContactGroupNamesKey), (std::vector<std::string>{"Family"}));
  EXPECT_TRUE(import.summary.unplaced.empty());
}

TEST(ContactCsvReaderTest, MapsTheOpenSourceMailClientsColumns) {
  const Import import = importCsv(
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
      "Zoe,,,,,,,,,,,,,,,,,,13,1,,\n");
  EXPECT_EQ(import.layout, ContactCsvColumns::Layout::OpenSourceMail);
  ASSERT_EQ(import.contacts.size(), 3u) << import.error;
  const ContactInfo& lea = import.contacts[0];
  EXPECT_EQ(lea.displayName,
            "L\xC3\xA9"
            "a D.");
  EXPECT_EQ(
      numbersOf(lea),
      (Numbers{{"+33 1", E_Number_Work}, {"+33 2", E_Number_FaxWork}, {"+33 6", E_Number_Mobile}}));
  ASSERT_EQ(lea.groupEmail.arrItem.size(), 2u);
  ASSERT_EQ(lea.groupAddress.arrItem.size(), 1u);
  EXPECT_EQ(lea.groupAddress.arrItem[0].street, "5 rue de la Paix, B\xC3\xA2timent B");
  EXPECT_EQ(lea.groupAddress.arrItem[0].postcode, "75002");
  EXPECT_EQ(lea.groupAddress.arrItem[0].addressType, E_Address_Home);
  ASSERT_EQ(lea.groupDate.arrItem.size(), 1u);
  EXPECT_EQ(lea.groupDate.arrItem[0].date, "1988-03-09");
  EXPECT_EQ(import.contacts[1].groupDate.arrItem.at(0).date, "--12-31");
  EXPECT_TRUE(import.contacts[2].groupDate.arrItem.empty()) << "month 13";
  EXPECT_EQ(import.summary.unplaced,
            (Unplaced{{"Birth Month", 1}, {"Birth Day", 1}, {"Custom 1", 1}}));
}

}  // namespace
}  // namespace xr
