// Reading vCards back: the standard form round trip, and records in the shapes that phones,
// web and desktop address books write.
#include "xrfoundation/contacts/vcard_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/testing/contact_text.h"
#include "xrfoundation/contacts/testing/wide_text.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/contacts/vcard_standard.h"
#include "xrfoundation/platform/image.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

using testing::contactText;
using testing::utf16le;

std::string standardForm(const ContactInfo& contact) {
  std::string text;
  appendStandardVCard(contact, text);
  return text;
}

ContactInfo readBack(std::string_view text) {
  auto contact = contactFromVCard(text);
  EXPECT_TRUE(contact.has_value()) << text;
  return contact.value_or(ContactInfo{});
}

// Random contacts: every kind of every family, texts with the characters that need escaping,
// non-ASCII, long values that fold, several organisations, dates and groups.
class ContactMaker {
 public:
  explicit ContactMaker(unsigned seed) : random_(seed) {}

  ContactInfo make() {
    ContactInfo c;
    c.familyName = maybe("Lee");
    c.givenName = maybe("Ann");
    c.middleName = maybe("J");
    c.prefix = maybe("Dr.");
    c.suffix = maybe("PhD");
    c.nickname = maybe("Annie");
    c.displayName = word("Ann Lee");
    for (int n = pick(4); n > 0; --n) {
      c.groupNumber.arrItem.push_back(
          {"+44 (20) 7946-" + std::to_string(pick(10000)) + (pick(4) ? "" : ";ext=1,2"),
           kindOf(makeNumberEnumDictionary)});
    }
    for (int n = pick(3); n > 0; --n) {
      c.groupEmail.arrItem.push_back(
          {"ann" + std::to_string(pick(100)) + "@example.org", kindOf(makeEmailEnumDictionary)});
    }
    for (int n = pick(3); n > 0; --n) {
      std::optional<std::string> kind;
      if (pick(5)) kind = kindOf(makeImEnumDictionary);
      c.groupIm.arrItem.push_back({"ann." + std::to_string(pick(1000)), kind});
    }
    for (int n = pick(3); n > 0; --n) {
      c.groupDate.arrItem.push_back(
          {"1980-0" + std::to_string(1 + pick(9)) + "-15", kindOf(makeDateEnumDictionary)});
    }
    if (pick(2)) c.userData[kContactGroupNamesKey] = {word("Friends"), "Work, Golf"};
    for (int n = pick(3); n > 0; --n) {
      c.groupAddress.arrItem.push_back({kindOf(makeAddressEnumDictionary), word("1 Main St"),
                                        maybe("Zürich"), maybe("ZH"), maybe("8001"),
                                        word("Schweiz")});
    }
    for (int n = pick(3); n > 0; --n) {
      ContactOrganizationItem organization{maybe("Acme; Inc"), maybe("Sales"), maybe("CEO")};
      if (!organization.company && !organization.department && !organization.title)
        organization.title = "Fellow";
      c.groupOrganization.arrItem.push_back(organization);
    }
    if (pick(2)) c.groupWebsite.arrItem.push_back({"https://ann.example/a?b=1,2;c"});
    for (int n = pick(3); n > 0; --n) c.groupNote.arrItem.push_back({word("Met at \"DevConf\"")});
    return c;
  }

  int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

 private:
  // Any name of one kind's enumeration.
  std::string kindOf(EnumDictionary (*make)()) {
    const EnumDictionary names = make();
    return std::next(names.begin(), pick(static_cast<int>(names.size())))->second;
  }
  std::optional<std::string> maybe(const char* text) {
    if (pick(3) == 0) return std::nullopt;
    return word(text);
  }
  // A text with the characters that need escaping, non-ASCII and length enough to fold.
  std::string word(const char* base) {
    static const char* const kTails[] = {"",
                                         ", 2019",
                                         "; ja",
                                         "\\ back",
                                         "\nline2",
                                         "\r\nline2",
                                         " 日本語テキスト",
                                         " ÄÖÜ ñ",
                                         " 🙂🙂",
                                         (" Lorem ipsum dolor sit amet, consectetur "
                                          "adipiscing elit, sed do eiusmod tempor")};
    return std::string(base) + kTails[pick(std::size(kTails))];
  }

  std::mt19937 random_;
};

TEST(VCardParser, StandardFormReadsBackAsTheSameContact) {
  ContactMaker maker(17);
  for (int round = 0; round < 400; ++round) {
    ContactInfo contact = maker.make();
    if (round % 50 == 0) contact.icon = Image::fromBytes(testing::makeTestJpeg(24, 16));
    // "\r\n" in a value is one line break, and comes back as "\n".
    const std::string written = standardForm(contact);
    std::string expected = contactText(contact);
    for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.erase(at, 1);
    const ContactInfo back = readBack(written);
    ASSERT_EQ(contactText(back), expected) << written;
    if (contact.icon) {
      EXPECT_EQ(back.icon->jpegRepresentation(), contact.icon->jpegRepresentation());
    }
  }
}

TEST(VCardParser, DeviceFormIsUnchangedAndStillReadable) {
  ContactInfo contact;
  contact.familyName = "Lee";
  contact.givenName = "Ann";
  const auto render = [&](VCardForm form) {
    VCardInfo card;
    card.loadFromContactInfo(contact, form);
    const std::vector<uint8_t> bytes = card.toVCardData();
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ(render(VCardForm::Standard),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nEND:VCARD\r\n");
  // The device form's doubled lines (X-IM pairs, BDAY beside X-DE) give each item once. Its N
  // holds the given name third, where a standard reader sees the additional name.
  contact.groupIm.arrItem = {{"ann.skype", E_Im_Skype}, {"ann@g.example", E_Im_GoogleTalk}};
  contact.groupDate.arrItem = {{"1980-02-03", E_Date_Birthday}, {"2005-06-07", E_Date_Anniversary}};
  EXPECT_EQ(contactText(readBack(render(VCardForm::Device))),
            "family='Lee' middle='Ann'\n"
            "im='ann.skype'/E_Im_Skype im='ann@g.example'/E_Im_GoogleTalk\n"
            "date='1980-02-03'/E_Date_Birthday date='2005-06-07'/E_Date_Anniversary\n");
}

TEST(VCardParser, PhoneStyle21WithCharsetsAndBareTypes) {
  // "山田" in SHIFT_JIS is 8E 52 93 63; "表" (95 5C) ends in the byte of a backslash.
  const std::string text =
      "BEGIN:VCARD\r\n"
      "VERSION:2.1\r\n"
      "N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63;=95=5C\r\n"
      "TEL;CELL;PREF:+34 600 111 222\r\n"
      "TEL;WORK;FAX:+34 91 555 0000\r\n"
      "TEL;HOME;VOICE:91 555 0001\r\n"
      "ADR;HOME;CHARSET=UTF-8:;;Calle Mayor\\; 1;Madrid;;28001;Espa\xC3\xB1"
      "a\r\n"
      "EMAIL;INTERNET:nandu@example.es\r\n"
      "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Nandu;1;;;;;;;;;;;;;\r\n"
      "END:VCARD\r\n";
  EXPECT_EQ(contactText(readBack(text)),
            "family='山田' given='表'\n"
            "tel='+34 600 111 222'/E_Number_Mobile tel='+34 91 555 0000'/E_Number_FaxWork "
            "tel='91 555 0001'/E_Number_Home\n"
            "email='nandu@example.es'/E_Email_Other\n"
            "adr/E_Address_Home street='Calle Mayor; 1' city='Madrid' code='28001' "
            "country='España'\n"
            "VCardUnplacedLines: "
            "'X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Nandu;1;;;;;;;;;;;;;'\n");
}

TEST(VCardParser, AppleStyleGroupedLabelsAndFoldedPhoto) {
  const std::vector<uint8_t> jpeg = testing::makeTestJpeg(16, 16);
  ContactInfo withPhoto;
  withPhoto.icon = Image::fromBytes(jpeg);
  const std::string standard = standardForm(withPhoto);
  const std::size_t at = standard.find("PHOTO");
  // The photo line as the standard form folds it, CR LF included.
  const std::string photo = standard.substr(at, standard.find("END:VCARD") - at);
  const std::string text =
      "BEGIN:VCARD\nVERSION:3.0\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\n"
      "N:Appleseed;Johnny;;;\nFN:Johnny Appleseed\n"
      "item1.TEL;type=pref:(408) 555-0101\nitem1.X-ABLabel:_$!<HomeFAX>!$_\n"
      "item2.TEL:408 555 0102\nitem2.X-ABLabel:iPhone\n"
      "TEL;type=CELL;type=VOICE:408 555 0103\n"
      "item3.EMAIL;type=INTERNET:j@work.example\nitem3.X-ABLabel:_$!<Work>!$_\n"
      "item4.X-ABDATE;type=pref:2010-05-06\nitem4.X-ABLabel:_$!<Anniversary>!$_\n"
      "item5.X-ABRELATEDNAMES:Jane\nitem5.X-ABLabel:_$!<Spouse>!$_\n"
      "item6.ADR;type=WORK:;;1 Infinite\n  Loop;Cupertino;CA;95014;USA\n"
      "X-SOCIALPROFILE;type=twitter:x-apple:johnny\n" +
      photo + "END:VCARD\n";
  const ContactInfo c = readBack(text);
  // The related name, its label, the social profile and PRODID are kept, not dropped.
  ASSERT_EQ(contactText(c),
            "family='Appleseed' given='Johnny' display='Johnny Appleseed'\n"
            "tel='(408) 555-0101'/E_Number_FaxHome tel='408 555 0102'/E_Number_Mobile "
            "tel='408 555 0103'/E_Number_Mobile\n"
            "email='j@work.example'/E_Email_Work\n"
            "date='2010-05-06'/E_Date_Anniversary\n"
            "adr/E_Address_Work street='1 Infinite Loop' city='Cupertino' region='CA' "
            "code='95014' country='USA'\n"
            "VCardUnplacedLines: 'PRODID:-//Apple Inc.//iPhone OS 17.0//EN' "
            "'item5.X-ABRELATEDNAMES:Jane' 'X-SOCIALPROFILE;type=twitter:x-apple:johnny' "
            "'item5.X-ABLabel:_$!<Spouse>!$_'\n"
            "photo 16x16\n");
  EXPECT_EQ(c.icon->jpegRepresentation(), jpeg);
}

TEST(VCardParser, Version4WithDataUrisAndUriValues) {
  const std::vector<uint8_t> png = testing::makeTestPng(8, 8);
  const std::string text =
      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zoë Ng\r\nN:Ng;Zoë;;;\r\n"
      "TEL;VALUE=uri;TYPE=\"cell,voice\";PREF=1:tel:+1-555-555-0199\r\n"
      "TEL;TYPE=work,fax:tel:+1-555-555-0100\r\n"
      "EMAIL;TYPE=home:zoe@example.com\r\n"
      "IMPP;PREF=1:xmpp:zoe@jabber.example\r\n"
      "IMPP:skype:zoe.ng\r\n"
      "ANNIVERSARY:20090808\r\nBDAY:--0415\r\n"
      "ORG:Example\\, Ltd;R&D\r\nTITLE:Engineer\r\n"
      "CATEGORIES:friends,work\\,golf\r\n"
      "PHOTO;VALUE=uri:https://example.com/z.png\r\n"
      "PHOTO:data:image/png;base64," +
      std::string(*base64Encoding(png)) +
      "\r\n"
      "END:VCARD\r\n";
  EXPECT_EQ(contactText(readBack(text)),
            "family='Ng' given='Zoë' display='Zoë Ng'\n"
            "tel='+1-555-555-0199'/E_Number_Mobile tel='+1-555-555-0100'/E_Number_FaxWork\n"
            "email='zoe@example.com'/E_Email_Home\n"
            "im='zoe@jabber.example'/E_Im_Jabber im='zoe.ng'/E_Im_Skype\n"
            "date='20090808'/E_Date_Anniversary date='--0415'/E_Date_Birthday\n"
            "org company='Example, Ltd' dept='R&D' title='Engineer'\n"
            "ContactGroupNames: 'friends' 'work,golf'\n"
            "VCardUnplacedLines: 'PHOTO;VALUE=uri:https://example.com/z.png'\n"
            "photo 8x8\n");
}

TEST(VCardParser, RecordsAreCutWhereverTheyStandAndBrokenOnesAreKept) {
  const std::string text =
      "junk before\r\nbegin:vcard\r\nFN:One\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\n"
      "END:VCARD\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\rFN:Two\rNO COLON HERE\rEND:VCARD\r"
      "BEGIN:VCARD\nFN:Three \xFF\nX-NOTE:caf\xE9\n";
  const auto contacts = contactsFromVCards(text);
  ASSERT_EQ(contacts.size(), 3u);
  EXPECT_EQ(contacts[0].displayName, "One");
  EXPECT_EQ(contacts[1].displayName, "Two");
  EXPECT_EQ(contacts[1].userDataForKey(kContactVCardUnplacedKey)->front(), "NO COLON HERE");
  EXPECT_EQ(contacts[2].displayName, "Three ÿ");  // not UTF-8, no charset: Windows-1252
  // A kept line of a record that is not UTF-8 is read the same way.
  EXPECT_EQ(contacts[2].userDataForKey(kContactVCardUnplacedKey)->front(), "X-NOTE:café");
  EXPECT_FALSE(contactFromVCard("no record here\r\n").has_value());
}

TEST(VCardParser, FoldedLinesFollowTheRecordsVersion) {
  // What a row shows, its text, and each contact's text one after the other.
  const std::tuple<const char*, std::string, std::string> rows[] = {
      {"2.1 keeps the blank a fold stands before",
       "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:An\r\n example\r\nN:Lee;\r\n\tAnn\r\nEND:VCARD\r\n",
       "family='Lee' given='\tAnn' display='An example'\n"},
      {"3.0 and 4.0 drop one blank",
       "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:An\r\n  example\r\nEND:VCARD\r\n"
       "BEGIN:VCARD\r\nFN:An\r\n example\r\nVERSION:3.0\r\nEND:VCARD\r\n",
       "display='An example'\ndisplay='Anexample'\n"},
      {"a VERSION at the end decides, and a record without one unfolds as 3.0",
       "BEGIN:VCARD\nFN:An\n example\nVERSION:2.1\nEND:VCARD\n"
       "BEGIN:VCARD\nFN:An\n example\nEND:VCARD\n",
       "display='An example'\ndisplay='Anexample'\n"},
      {"2.1 soft breaks beside a fold",
       "BEGIN:VCARD\r\nVERSION:2.1\r\n"
       "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Z=C3=BCrich=3D=\r\nBern =\r\n=3D Genf\r\n"
       "FN:Ann\r\n Lee\r\nEND:VCARD\r\n",
       "display='Ann Lee'\nnote='Zürich=Bern = Genf'\n"},
      {"a NOTE whose fold reads END:VCARD keeps the rest of its record",
       "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:first\r\n END:VCARD\r\n\tBEGIN:VCARD\r\n"
       "FN:Ann\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n",
       "display='Ann'\nnote='firstEND:VCARDBEGIN:VCARD'\ndisplay='Bob'\n"},
      {"an indented BEGIN:VCARD opens no record",
       " BEGIN:VCARD\nFN:Nobody\nEND:VCARD\nBEGIN:VCARD\nFN:Ann\nEND:VCARD\n", "display='Ann'\n"},
  };
  for (const auto& [what, text, contacts] : rows) {
    std::string read;
    for (const ContactInfo& contact : contactsFromVCards(text)) read += contactText(contact);
    EXPECT_EQ(read, contacts) << what;
  }
}

// Lines a contact takes once, lines of no value, the parts of an address's street and an
// organisation's departments, every name of an anniversary, and the device form's copies.
TEST(VCardParser, RepeatedEmptyAndManyPartLines) {
  const std::pair<const char*, const char*> rows[] = {
      {"N:A;B;;;\r\nN:C;D;;;\r\nFN:Ann\r\nFN:Bob\r\nNICKNAME:a\r\nNICKNAME:b\r\n",
       "family='A' given='B' display='Ann' nick='a'\n"
       "VCardUnplacedLines: 'N:C;D;;;' 'FN:Bob' 'NICKNAME:b'\n"},
      {"EMAIL: \r\nURL:\r\nTEL:TEL:\r\nX-IM;Skype: \r\nPHOTO:x\r\n",
       "VCardUnplacedLines: 'EMAIL: ' 'URL:' 'TEL:TEL:' 'X-IM;Skype: ' 'PHOTO:x'\n"},
      {"ADR;TYPE=WORK:Box 1;Suite 2;1 Way;;;;\r\nORG:Acme;;Lab;Unit\r\n",
       "adr/E_Address_Work street='Box 1\nSuite 2\n1 Way'\norg company='Acme' dept='Lab;Unit'\n"},
      {"X-ANNIVERSARY:2001-01-01\r\nX-EVOLUTION-ANNIVERSARY:2002-02-02\r\n"
       "ANNIVERSARY:2003-03-03\r\nBDAY:\r\nX-ABDATE:2004-04-04\r\n",
       "date='2001-01-01'/E_Date_Anniversary date='2002-02-02'/E_Date_Anniversary "
       "date='2003-03-03'/E_Date_Anniversary date='2004-04-04'/E_Date_Other\n"},
      {"BDAY:1990-01-01\r\nX-DE;Birthday:1990-01-01\r\nX-DE;Anniversary:1990-01-01\r\n",
       "date='1990-01-01'/E_Date_Birthday date='1990-01-01'/E_Date_Anniversary\n"},
      {"X-IM;Skype:ann\r\nX-SKYPE:ann\r\nIMPP:im:bob\r\nIMPP:sip:x@y\r\n",
       "im='ann'/E_Im_Skype im='bob' im='sip:x@y'\n"},
  };
  for (const auto& [lines, text] : rows) {
    EXPECT_EQ(contactText(readBack(std::string("BEGIN:VCARD\r\nVERSION:3.0\r\n") + lines +
                                   "END:VCARD\r\n")),
              text)
        << lines;
  }
}

TEST(VCardParser, ByteOrderMarksLoseNoRecord) {
  const std::string two =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoe\r\nEND:VCARD\r\n";
  const std::string mark = "\xEF\xBB\xBF";
  const std::pair<const char*, std::string> rows[] = {
      {"UTF-16LE mark", utf16le(two)},
      {"files joined end to end",
       mark + two.substr(0, two.size() / 2) + mark + two.substr(two.size() / 2)},
  };
  for (const auto& [what, text] : rows) {
    const auto contacts = contactsFromVCards(text);
    ASSERT_EQ(contacts.size(), 2u) << what;
    EXPECT_EQ(contacts[0].displayName, "Ann") << what;
    EXPECT_EQ(contacts[1].displayName, "Zoe") << what;
  }
  testing::LogCapture log;
  EXPECT_TRUE(contactsFromVCards("\xFF\xFE\x3D\xD8" + utf16le(two).substr(2)).empty());
  EXPECT_EQ(log.texts(), std::vector<std::string>{"vCard text after a UTF-16LE byte order mark "
                                                  "is not valid UTF-16LE; no record read"});
}

}  // namespace
}  // namespace xr
