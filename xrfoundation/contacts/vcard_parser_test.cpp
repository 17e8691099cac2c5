// Reading vCards back: the standard form round trip, and records in the shapes that phones,
// web and desktop address books write.
#include "xrfoundation/contacts/vcard_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/platform/image.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"
#include "xrfoundation/platform/testing/heap_usage.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

// Every field of a contact as text, so that a difference shows where it is.
std::string describe(const ContactInfo& c) {
  std::ostringstream out;
  const auto text = [&](const char* name, const std::optional<std::string>& value) {
    out << name << "=" << (value ? "'" + *value + "'" : std::string("-")) << " ";
  };
  text("family", c.familyName);
  text("middle", c.middleName);
  text("given", c.givenName);
  text("prefix", c.prefix);
  text("suffix", c.suffix);
  text("display", c.displayName);
  text("nick", c.nickname);
  out << "\n";
  for (const auto& i : c.groupNumber.arrItem) text("tel", i.mobile), text("kind", i.mobileType);
  for (const auto& i : c.groupEmail.arrItem) text("email", i.email), text("kind", i.emailType);
  for (const auto& i : c.groupIm.arrItem) text("im", i.im), text("kind", i.imType);
  for (const auto& i : c.groupDate.arrItem) text("date", i.date), text("kind", i.dateType);
  out << "\n";
  for (const auto& i : c.groupAddress.arrItem) {
    text("adr", i.addressType), text("street", i.street), text("city", i.city);
    text("region", i.region), text("code", i.postcode), text("country", i.country);
  }
  for (const auto& i : c.groupOrganization.arrItem) {
    text("company", i.company), text("dept", i.department), text("title", i.title);
  }
  for (const auto& i : c.groupWebsite.arrItem) text("url", i.website);
  for (const auto& i : c.groupNote.arrItem) text("note", i.note);
  for (const auto& [key, values] : c.userData) {
    out << "\n" << key << ":";
    for (const auto& v : values) out << " '" << v << "'";
  }
  out << "\nphoto=" << (c.icon ? c.icon->jpegRepresentation().size() : 0);
  return out.str();
}

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
    c.displayName = word("Ann Lee");
    c.nickname = maybe("Annie");
    static const char* const kNumbers[] = {
        E_Number_Home,       E_Number_Mobile,      E_Number_Work,      E_Number_FaxWork,
        E_Number_FaxHome,    E_Number_Pager,       E_Number_Other,     E_Number_Callback,
        E_Number_Car,        E_Number_CompanyMain, E_Number_ISDN,      E_Number_Main,
        E_Number_OtherFax,   E_Number_Radio,       E_Number_Telex,     E_Number_TTY,
        E_Number_WorkMobile, E_Number_WorkPager,   E_Number_Assistant, E_Number_MMS};
    for (int n = pick(4); n > 0; --n) {
      c.groupNumber.arrItem.push_back(
          {"+44 (20) 7946-" + std::to_string(pick(10000)) + (pick(4) ? "" : ";ext=1,2"),
           kNumbers[pick(std::size(kNumbers))]});
    }
    static const char* const kEmails[] = {E_Email_Home, E_Email_Work, E_Email_Other,
                                          E_Email_Mobile};
    for (int n = pick(3); n > 0; --n) {
      c.groupEmail.arrItem.push_back(
          {"ann" + std::to_string(pick(100)) + "@example.org", kEmails[pick(std::size(kEmails))]});
    }
    static const char* const kIms[] = {E_Im_AIM,   E_Im_MSN,    E_Im_Yahoo,
                                       E_Im_Skype, E_Im_QQ,     E_Im_GoogleTalk,
                                       E_Im_ICQ,   E_Im_Jabber, E_Im_NetMeeting};
    for (int n = pick(3); n > 0; --n) {
      std::optional<std::string> kind;
      if (pick(5)) kind = kIms[pick(std::size(kIms))];
      c.groupIm.arrItem.push_back({"ann." + std::to_string(pick(1000)), kind});
    }
    static const char* const kDates[] = {E_Date_Birthday, E_Date_Anniversary, E_Date_Other};
    for (int n = pick(3); n > 0; --n) {
      c.groupDate.arrItem.push_back({"19" + std::to_string(50 + pick(50)) + "-0" +
                                         std::to_string(1 + pick(9)) + "-1" +
                                         std::to_string(pick(10)),
                                     kDates[pick(std::size(kDates))]});
    }
    if (pick(2)) c.userData[kContactGroupNamesKey] = {word("Friends"), "Work, Golf"};
    static const char* const kAddresses[] = {E_Address_Home, E_Address_Work, E_Address_Other};
    for (int n = pick(3); n > 0; --n) {
      c.groupAddress.arrItem.push_back({kAddresses[pick(3)], word("1 Main St"), maybe("Zürich"),
                                        maybe("ZH"), maybe("8001"), word("Schweiz")});
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
    std::string expected = describe(contact);
    for (std::size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.erase(at, 1);
    ASSERT_EQ(describe(readBack(written)), expected) << written;
  }
}

TEST(VCardParser, StandardFormEscapesFoldsAndLeavesNothingEmpty) {
  ContactInfo contact;
  contact.familyName.emplace("Lee;Smith");  // emplace: assigning trips a false GCC 12 warning
  contact.givenName = "Ann";
  contact.displayName =
      "Smith, John \\ 日本語日本語日本語日本語日本語日本語日本語日本語日本語日本語";
  contact.groupOrganization.arrItem = {{"Acme; Inc", std::nullopt, ""}};
  contact.groupNote.arrItem = {{"a\nb"}, {""}};
  contact.groupNumber.arrItem = {{"", E_Number_Home}};
  const std::string text = standardForm(contact);
  EXPECT_NE(text.find("\r\nN:Lee\\;Smith;Ann;;;\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nFN:Smith\\, John \\\\ "), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nORG:Acme\\; Inc\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nNOTE:a\\nb\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("TITLE"), std::string::npos) << text;
  EXPECT_EQ(text.find("TEL"), std::string::npos) << text;
  EXPECT_EQ(text.find("charset"), std::string::npos) << text;
  // Physical lines of at most 75 octets, each of whole UTF-8 sequences.
  std::size_t folded = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string_view line(text.data() + at, end - at);
    EXPECT_LE(line.size(), 75u) << line;
    if (!line.empty() && line[0] == ' ') {
      ++folded;
      EXPECT_NE(static_cast<unsigned char>(line[1]) & 0xC0, 0x80) << "split sequence: " << line;
    }
    at = end + 2;
  }
  EXPECT_GE(folded, 1u);
  EXPECT_EQ(readBack(text).displayName, contact.displayName);
}

TEST(VCardParser, DeviceFormIsUnchangedAndStillReadable) {
  ContactInfo contact;
  contact.familyName = "Lee";
  contact.givenName = "Ann";
  VCardInfo device;
  device.loadFromContactInfo(contact);
  VCardInfo chosen;
  chosen.loadFromContactInfo(contact, VCardForm::Device);
  EXPECT_EQ(chosen.toVCardData(), device.toVCardData());
  const std::vector<uint8_t> bytes = device.toVCardData();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN;charset=UTF-8:Lee;;Ann;;\r\nEND:VCARD\r\n");
  chosen.loadFromContactInfo(contact, VCardForm::Standard);
  const std::vector<uint8_t> standard = chosen.toVCardData();
  EXPECT_EQ(std::string(standard.begin(), standard.end()),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nEND:VCARD\r\n");

  // The device form's doubled lines (X-IM pairs, BDAY beside X-DE) give each item once.
  contact.groupIm.arrItem = {{"ann.skype", E_Im_Skype}, {"ann@g.example", E_Im_GoogleTalk}};
  contact.groupDate.arrItem = {{"1980-02-03", E_Date_Birthday}, {"2005-06-07", E_Date_Anniversary}};
  device.loadFromContactInfo(contact);
  const std::vector<uint8_t> rich = device.toVCardData();
  const ContactInfo back = readBack(std::string(rich.begin(), rich.end()));
  ASSERT_EQ(back.groupIm.arrItem.size(), 2u);
  EXPECT_EQ(back.groupIm.arrItem[1].imType, E_Im_GoogleTalk);
  ASSERT_EQ(back.groupDate.arrItem.size(), 2u);
  EXPECT_EQ(back.groupDate.arrItem[1].dateType, E_Date_Anniversary);
  // The device form's N holds the given name third, where a standard reader sees the
  // additional name.
  EXPECT_EQ(back.familyName, "Lee");
  EXPECT_EQ(back.middleName, "Ann");
}

TEST(VCardParser, PhoneStyle21WithQuotedPrintableAndCharsets) {
  // "山田" in SHIFT_JIS is 8E 52 93 63; "表" (95 5C) ends in the byte of a backslash.
  const std::string text =
      "BEGIN:VCARD\r\n"
      "VERSION:2.1\r\n"
      "N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63;=95=5C\r\n"
      "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=91and=C3=BA =\r\n"
      "P=C3=A9rez\r\n"
      "TEL;CELL;PREF:+34 600 111 222\r\n"
      "TEL;WORK;FAX:+34 91 555 0000\r\n"
      "TEL;HOME;VOICE:91 555 0001\r\n"
      "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Caf=E9=0D=0A=\r\n"
      "second line\r\n"
      "ADR;HOME;CHARSET=UTF-8:;;Calle Mayor\\; 1;Madrid;;28001;Espa\xC3\xB1"
      "a\r\n"
      "EMAIL;INTERNET:nandu@example.es\r\n"
      "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Nandu;1;;;;;;;;;;;;;\r\n"
      "END:VCARD\r\n";
  const ContactInfo c = readBack(text);
  EXPECT_EQ(c.familyName, "山田");
  EXPECT_EQ(c.givenName, "表");
  EXPECT_EQ(c.displayName, "Ñandú Pérez");
  ASSERT_EQ(c.groupNumber.arrItem.size(), 3u);
  EXPECT_EQ(c.groupNumber.arrItem[0].mobileType, E_Number_Mobile);
  EXPECT_EQ(c.groupNumber.arrItem[1].mobileType, E_Number_FaxWork);
  EXPECT_EQ(c.groupNumber.arrItem[2].mobileType, E_Number_Home);
  ASSERT_EQ(c.groupNote.arrItem.size(), 1u);
  EXPECT_EQ(c.groupNote.arrItem[0].note, "Café\r\nsecond line");
  ASSERT_EQ(c.groupAddress.arrItem.size(), 1u);
  EXPECT_EQ(c.groupAddress.arrItem[0].street, "Calle Mayor; 1");
  EXPECT_EQ(c.groupAddress.arrItem[0].country, "España");
  EXPECT_EQ(c.groupAddress.arrItem[0].addressType, E_Address_Home);
  ASSERT_EQ(c.groupEmail.arrItem.size(), 1u);
  EXPECT_EQ(c.groupEmail.arrItem[0].emailType, E_Email_Other);
  const auto* unplaced = c.userDataForKey(kContactVCardUnplacedKey);
  ASSERT_NE(unplaced, nullptr);
  ASSERT_EQ(unplaced->size(), 1u);
  EXPECT_EQ(unplaced->front().rfind("X-ANDROID-CUSTOM:", 0), 0u);
}

TEST(VCardParser, AppleStyleGroupedLabelsAndFoldedPhoto) {
  const std::vector<uint8_t> jpeg = testing::makeTestJpeg(16, 16);
  std::string photo = "PHOTO;ENCODING=b;TYPE=JPEG:";
  {
    ContactInfo withPhoto;
    withPhoto.icon = Image::fromBytes(jpeg);
    const std::string standard = standardForm(withPhoto);
    const std::size_t at = standard.find("PHOTO");
    photo = standard.substr(at, standard.find("END:VCARD") - at);  // folded, CR LF included
  }
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
  ASSERT_EQ(c.groupNumber.arrItem.size(), 3u) << describe(c);
  EXPECT_EQ(c.groupNumber.arrItem[0].mobile, "(408) 555-0101");
  EXPECT_EQ(c.groupNumber.arrItem[0].mobileType, E_Number_FaxHome);
  EXPECT_EQ(c.groupNumber.arrItem[1].mobileType, E_Number_Mobile);
  EXPECT_EQ(c.groupNumber.arrItem[2].mobileType, E_Number_Mobile);
  ASSERT_EQ(c.groupEmail.arrItem.size(), 1u);
  EXPECT_EQ(c.groupEmail.arrItem[0].emailType, E_Email_Work);
  ASSERT_EQ(c.groupDate.arrItem.size(), 1u);
  EXPECT_EQ(c.groupDate.arrItem[0].dateType, E_Date_Anniversary);
  ASSERT_EQ(c.groupAddress.arrItem.size(), 1u);
  EXPECT_EQ(c.groupAddress.arrItem[0].street, "1 Infinite Loop");
  EXPECT_EQ(c.groupAddress.arrItem[0].addressType, E_Address_Work);
  ASSERT_NE(c.icon, nullptr);
  EXPECT_EQ(c.icon->jpegRepresentation(), jpeg);
  // The related name, its label, the social profile and PRODID are kept, not dropped.
  const auto* unplaced = c.userDataForKey(kContactVCardUnplacedKey);
  ASSERT_NE(unplaced, nullptr);
  EXPECT_EQ(unplaced->size(), 4u) << describe(c);
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
      "PHOTO:data:image/png;base64," +
      std::string(*base64Encoding(png)) +
      "\r\n"
      "END:VCARD\r\n";
  const ContactInfo c = readBack(text);
  EXPECT_EQ(c.givenName, "Zoë");
  ASSERT_EQ(c.groupNumber.arrItem.size(), 2u);
  EXPECT_EQ(c.groupNumber.arrItem[0].mobile, "+1-555-555-0199");
  EXPECT_EQ(c.groupNumber.arrItem[0].mobileType, E_Number_Mobile);
  EXPECT_EQ(c.groupNumber.arrItem[1].mobileType, E_Number_FaxWork);
  ASSERT_EQ(c.groupIm.arrItem.size(), 2u);
  EXPECT_EQ(c.groupIm.arrItem[0].im, "zoe@jabber.example");
  EXPECT_EQ(c.groupIm.arrItem[0].imType, E_Im_Jabber);
  EXPECT_EQ(c.groupIm.arrItem[1].imType, E_Im_Skype);
  ASSERT_EQ(c.groupDate.arrItem.size(), 2u);
  EXPECT_EQ(c.groupDate.arrItem[0].dateType, E_Date_Anniversary);
  EXPECT_EQ(c.groupDate.arrItem[1].date, "--0415");
  ASSERT_EQ(c.groupOrganization.arrItem.size(), 1u);
  EXPECT_EQ(c.groupOrganization.arrItem[0].company, "Example, Ltd");
  EXPECT_EQ(c.groupOrganization.arrItem[0].department, "R&D");
  EXPECT_EQ(c.groupOrganization.arrItem[0].title, "Engineer");
  EXPECT_EQ(*c.userDataForKey(kContactGroupNamesKey),
            (std::vector<std::string>{"friends", "work,golf"}));
  ASSERT_NE(c.icon, nullptr);
  EXPECT_EQ(c.icon->width(), 8);
}

TEST(VCardParser, RecordsAreCutWhereverTheyStandAndBrokenOnesAreKept) {
  const std::string text =
      "junk before\r\nbegin:vcard\r\nFN:One\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\n"
      "END:VCARD\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\rFN:Two\rNO COLON HERE\rEND:VCARD\r"
      "BEGIN:VCARD\nFN:Three \xFF\n";
  const auto contacts = contactsFromVCards(text);
  ASSERT_EQ(contacts.size(), 3u);
  EXPECT_EQ(contacts[0].displayName, "One");
  EXPECT_EQ(contacts[1].displayName, "Two");
  EXPECT_EQ(contacts[1].userDataForKey(kContactVCardUnplacedKey)->front(), "NO COLON HERE");
  EXPECT_EQ(contacts[2].displayName, "Three ÿ");  // not UTF-8, no charset: Windows-1252
  EXPECT_FALSE(contactFromVCard("no record here\r\n").has_value());
}

// text (UTF-8 of the Basic Multilingual Plane) as UTF-16 with its byte order mark.
std::string utf16(std::string_view text, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : 3;
    unsigned unit = length == 1 ? byte : byte & (length == 2 ? 0x1F : 0x0F);
    for (std::size_t i = 1; i < length; ++i) unit = unit << 6 | (text[at + i] & 0x3F);
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += little ? std::string{low, high} : std::string{high, low};
    at += length;
  }
  return out;
}

TEST(VCardParser, ByteOrderMarksLoseNoRecord) {
  const std::string two =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zo\xC3\xAB\r\nEND:VCARD\r\n";
  const std::string mark = "\xEF\xBB\xBF";
  struct Row {
    const char* what;
    std::string text;
  };
  const Row rows[] = {
      {"UTF-8 mark", mark + two},
      {"UTF-16LE mark", utf16(two, true)},
      {"UTF-16BE mark", utf16(two, false)},
      {"files joined end to end",
       mark + two.substr(0, two.size() / 2) + mark + two.substr(two.size() / 2)},
  };
  for (const Row& row : rows) {
    const auto contacts = contactsFromVCards(row.text);
    ASSERT_EQ(contacts.size(), 2u) << row.what;
    EXPECT_EQ(contacts[0].displayName, "Ann") << row.what;
    EXPECT_EQ(contacts[1].displayName, "Zo\xC3\xAB") << row.what;
  }
  testing::LogCapture log;
  EXPECT_TRUE(contactsFromVCards("\xFF\xFE\x3D\xD8" + utf16(two, true).substr(2)).empty());
  EXPECT_EQ(log.texts(), std::vector<std::string>{"vCard text after a UTF-16LE byte order mark "
                                                  "is not valid UTF-16LE; no record read"});
}

TEST(VCardParser, EveryLineEndFoldsAlike) {
  // A folded name and a folded photo, as phones write them with each kind of line end.
  ContactInfo contact;
  contact.displayName = std::string(70, 'a') + " Lee";
  contact.icon = Image::fromBytes(testing::makeTestJpeg(24, 16));
  const std::string crlf = standardForm(contact);
  const std::string expected = describe(contact);
  ASSERT_EQ(describe(readBack(crlf)), expected) << crlf;
  for (const char* end : {"\n", "\r", "\r\r\n", "\r\r\r\n"}) {
    std::string text;
    for (std::size_t at = 0, next; at < crlf.size(); at = next + 2) {
      next = crlf.find("\r\n", at);
      text.append(crlf, at, next - at).append(end);
    }
    EXPECT_EQ(describe(readBack(text)), expected) << text;
  }
}

// Every contact that a VCardContactReader reads from input, given in blocks of block bytes.
std::vector<std::string> readStream(const std::string& input, std::size_t block) {
  auto stream = std::make_shared<testing::FakeInputStream>(input);
  stream->setChunkLimit(block);
  VCardContactReader reader(block);
  EXPECT_TRUE(reader.open(stream)) << reader.errorReason();
  std::vector<std::string> contacts;
  ContactInfo contact;
  VCardContactReader::Next next;
  while ((next = reader.next(contact)) == VCardContactReader::Next::Contact)
    contacts.push_back(describe(contact));
  EXPECT_EQ(next, VCardContactReader::Next::End) << reader.errorReason();
  EXPECT_EQ(reader.bytesRead(), input.size());
  return contacts;
}

TEST(VCardContactReader, ReadsAStreamAsTheTextIsRead) {
  ContactInfo rich = ContactMaker(5).make();
  rich.icon = Image::fromBytes(testing::makeTestJpeg(24, 16));
  const std::string standard = standardForm(rich);
  std::string crcrlf;
  for (const char c : standard) c == '\n' ? crcrlf += "\r\n" : crcrlf += c;
  const std::string inputs[] = {
      standard + "junk\r\n" + standard,
      "\xEF\xBB\xBF" + crcrlf + crcrlf,
      utf16("BEGIN:VCARD\r\nFN:Zo\xC3\xAB\r\nEND:VCARD\r\nBEGIN:VCARD\rFN:Cut", true),
      "BEGIN:VCARD\nAGENT:\nBEGIN:VCARD\nFN:In\nEND:VCARD\nFN:Out\nEND:VCARD\n",
      "no record\r\n",
      "",
  };
  for (const std::string& input : inputs) {
    std::vector<std::string> expected;
    for (const ContactInfo& contact : contactsFromVCards(input))
      expected.push_back(describe(contact));
    for (const std::size_t block : {1, 3, 64, 1 << 16})
      ASSERT_EQ(readStream(input, block), expected) << "block " << block << ": " << input;
  }
}

TEST(VCardContactReader, ErrorsEndTheReadingAndLeaveTheContact) {
  const std::string card = "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n";
  auto failing = std::make_shared<testing::FakeInputStream>(card + card);
  failing->setFailAt(card.size() + 5);
  struct Row {
    std::shared_ptr<InputStream> input;
    const char* reason;
  };
  const Row rows[] = {
      {failing, "injected read error"},
      {makeDataInputStream(utf16(card, true) + "\x3D\xD8"),
       "the input ends inside a UTF-16LE character"},
      {makeDataInputStream("\xFF\xFE\x3D\xD8"
                           "a\0"),
       "the input is not valid UTF-16LE"},
  };
  for (const Row& row : rows) {
    VCardContactReader reader(4);
    ASSERT_TRUE(reader.open(row.input));
    ContactInfo contact;
    VCardContactReader::Next next;
    while ((next = reader.next(contact)) == VCardContactReader::Next::Contact) {
    }
    EXPECT_EQ(next, VCardContactReader::Next::Error) << row.reason;
    EXPECT_EQ(reader.errorReason(), row.reason);
    contact.nickname = "kept";
    EXPECT_EQ(reader.next(contact), VCardContactReader::Next::Error);
    EXPECT_EQ(contact.nickname, "kept");
  }
  VCardContactReader reader;
  EXPECT_FALSE(reader.open(makeFileInputStream("/nonexistent/contacts.vcf")));
  EXPECT_NE(reader.errorReason().find("/nonexistent/contacts.vcf"), std::string::npos);
}

// A stream that makes count records as they are read, so that the input is never held whole.
class GeneratedVCards final : public InputStream {
 public:
  explicit GeneratedVCards(std::size_t count) : left_(count) {}
  StreamStatus status() const override { return StreamStatus::Open; }
  void open() override {}
  void close() override {}
  std::int64_t read(std::uint8_t* buffer, std::uint64_t maxLength) override {
    if (pending_.empty() && left_ > 0) {
      pending_ = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann " + std::to_string(left_--) +
                 "\r\nNOTE:" + std::string(900, 'x') + "\r\nEND:VCARD\r\n";
    }
    const std::size_t n = std::min<std::size_t>(maxLength, pending_.size());
    std::memcpy(buffer, pending_.data(), n);
    pending_.erase(0, n);
    return static_cast<std::int64_t>(n);
  }
  bool hasBytesAvailable() const override { return left_ > 0 || !pending_.empty(); }
  bool getBuffer(const std::uint8_t*&, std::uint64_t&) override { return false; }
  std::optional<std::string> streamError() const override { return std::nullopt; }

 private:
  std::size_t left_;
  std::string pending_;
};

TEST(VCardContactReader, MemoryStaysBoundedByTheLongestRecord) {
  constexpr std::size_t kRecords = 40000;  // about 38 MB of vCards
  VCardContactReader reader(64 * 1024);
  ASSERT_TRUE(reader.open(std::make_shared<GeneratedVCards>(kRecords)));
  const std::optional<std::size_t> before = testing::heapBytesInUse();
  std::size_t peak = 0, records = 0;
  ContactInfo contact;
  while (reader.next(contact) == VCardContactReader::Next::Contact) {
    if (++records % 1000 == 0 && before) peak = std::max(peak, *testing::heapBytesInUse());
  }
  EXPECT_EQ(records, kRecords);
  EXPECT_GT(reader.bytesRead(), 36'000'000u);
  if (!before) GTEST_SKIP() << "the heap cannot be measured here";
  EXPECT_LT(peak - std::min(peak, *before), std::size_t{1} << 20);
}

}  // namespace
}  // namespace xr
