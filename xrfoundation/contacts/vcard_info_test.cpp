// contacts/vcard_info_test.cpp
#include "xrfoundation/contacts/vcard_info.h"

#include <gtest/gtest.h>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/rich_contact_internal.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

std::string render(const ContactInfo* contact) {
  VCardInfo card;
  card.loadFromContactInfo(contact);
  const std::vector<uint8_t> bytes = card.toVCardData();
  return std::string(bytes.begin(), bytes.end());
}

TEST(VCardInfoTest, RendersABareContact) {
  ContactInfo contact;
  contact.familyName = "Lee";
  contact.givenName = "Ann";
  EXPECT_EQ(render(&contact),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN;charset=UTF-8:Lee;;Ann;;\r\nEND:VCARD\r\n");
  EXPECT_EQ(render(nullptr), "BEGIN:VCARD\r\nVERSION:3.0\r\nN;charset=UTF-8:;;;;\r\nEND:VCARD\r\n");
}

TEST(VCardInfoTest, RecordNeverLoadedHasAnEmptyVersionLine) {
  EXPECT_EQ(
      VCardInfo().toVCardData(),
      std::vector<uint8_t>({'B',  'E',  'G', 'I', 'N', ':', 'V', 'C', 'A', 'R', 'D', '\r', '\n',
                            '\r', '\n', 'E', 'N', 'D', ':', 'V', 'C', 'A', 'R', 'D', '\r', '\n'}));
}

TEST(VCardInfoTest, RendersARichContactInTheFixedOrder) {
  const int n = std::stoi(createUniqueNumber());
  const std::string a = "item" + std::to_string(n + 1);
  const std::string b = "item" + std::to_string(n + 2);
  const std::string c = "item" + std::to_string(n + 3);
  const ContactInfo contact = testing::makeRichContact();
  const std::string expected =
      "BEGIN:VCARD\r\n"
      "VERSION:3.0\r\n"
      "N;charset=UTF-8:Lee;J;Ann;Dr.;PhD\r\n"
      "FN;charset=UTF-8:Dr. Ann J Lee\r\n"
      "NICKNAME;charset=UTF-8:Annie\r\n"
      "TEL;type=CELL;charset=UTF-8:+1 555 0100\r\n"
      "TEL;type=FAX;type=WORK;charset=UTF-8:555 0101\r\n"
      "TEL;type=OTHER;charset=UTF-8:555 0102\r\n"
      "TEL;type=OTHER;charset=UTF-8:555 0103\r\n"
      "EMAIL;charset=UTF-8;type=INTERNET;type=HOME;type=pref:ann@home.example\r\n"
      "EMAIL;charset=UTF-8;type=INTERNET;type=MOBILE;type=pref:ann@phone.example\r\n"
      "EMAIL;charset=UTF-8;type=INTERNET;type=OTHER;type=pref:ann@x.example\r\n"
      "X-IM;AIM:ann.aim\r\nX-AIM;type=HOME:ann.aim\r\n"
      "X-IM;MSN:ann.msn\r\nX-MSN;type=HOME:ann.msn\r\n"
      "X-IM;Yahoo:ann.yahoo\r\nX-Yahoo;type=HOME:ann.yahoo\r\n"
      "X-IM;Skype:ann.skype\r\nX-Skype;type=HOME:ann.skype\r\n"
      "X-IM;QQ:10001\r\nX-QQ;type=HOME:10001\r\n"
      "X-IM;Google Talk:ann@gmail.example\r\n"
      "IMPP;X-SERVICE-TYPE=GoogleTalk;type=HOME:xmpp:ann@gmail.example\r\n"
      "X-IM;ICQ:20002\r\nX-ICQ;type=HOME:20002\r\n"
      "X-IM;Jabber:ann@jabber.example\r\nX-Jabber;type=HOME:ann@jabber.example\r\n"
      "X-IM;Netmeeting:ann.nm\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann.nm\r\n"
      "X-IM;OTHER:ann.sip\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann.sip\r\n"
      "X-IM;OTHER:ann.none\r\nIMPP;X-SERVICE-TYPE=GaduGadu;type=HOME:xmpp:ann.none\r\n"
      "BDAY:1980-02-03\r\n"
      "X-DE;Birthdate:1980-02-03\r\n" +
      a + ".X-ABDATE:2005-06-07\r\n" + a +
      ".X-ABLabel:_$!<Anniversary>!$_\r\n"
      "X-DE;Anniversary:2005-06-07\r\n"
      "X-DE;Birthdate:1981-01-01\r\n" +
      b + ".X-ABDATE:2010-10-10\r\n" + b +
      ".X-ABLabel:_$!<Other>!$_\r\n"
      "X-DE;Other:2010-10-10\r\n" +
      c + ".X-ABDATE:2011-11-11\r\n" + c +
      ".X-ABLabel:_$!<Other>!$_\r\n"
      "X-DE;Other:2011-11-11\r\n"
      "CATEGORIES;CHARSET=utf-8:Friends\r\n"
      "CATEGORIES;CHARSET=utf-8:Work\r\n"
      "ADR;charset=UTF-8;type=Home;type=pref:;;1 Main St\\nApt 2;Springfield;IL;62701;USA\r\n"
      "ADR;charset=UTF-8;type=Work;type=pref:;;2 Office Rd;Chicago;IL;60601;USA\r\n"
      "ADR;charset=UTF-8;type=OTHER;type=pref:;;;Paris;;;\r\n"
      "ORG;charset=UTF-8:Acme\\;Sales\r\n"
      "ORG;charset=UTF-8:Beta\r\n"
      "ORG;charset=UTF-8:\\;Research\r\n"
      "TITLE:CEO\r\n"
      "TITLE: \r\n"
      "TITLE:Fellow\r\n"
      "URL;charset=UTF-8:https://ann.example\r\n"
      "NOTE;charset=UTF-8:first line\\nsecond line\r\n"
      "END:VCARD\r\n";
  EXPECT_EQ(render(&contact), expected);
  // The next record goes on from the same counter.
  ContactInfo next;
  next.groupDate.arrItem = {{"2000-01-01", E_Date_Anniversary}};
  EXPECT_NE(render(&next).find("item" + std::to_string(n + 4) + ".X-ABDATE:2000-01-01\r\n"),
            std::string::npos);
}

TEST(VCardInfoTest, OnlyTheFirstBirthdayWithADateBecomesBday) {
  ContactInfo contact;
  contact.groupDate.arrItem = {{"", E_Date_Birthday}, {"1981-01-01", E_Date_Birthday}};
  EXPECT_EQ(render(&contact),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN;charset=UTF-8:;;;;\r\n"
            "X-DE;Birthdate:1981-01-01\r\nEND:VCARD\r\n");
}

TEST(VCardInfoTest, WritesNonAsciiValuesAsUtf8) {
  ContactInfo contact;
  contact.familyName = "Mu\xC3\xB1oz";                            // Muñoz
  contact.givenName = "Ren\xC3\xA9\xE2\x80\x94\xF0\x9F\x98\x80";  // René—😀
  contact.groupNote.arrItem = {{"\xE4\xBD\xA0\xE5\xA5\xBD\nok"}};
  EXPECT_EQ(render(&contact),
            "BEGIN:VCARD\r\nVERSION:3.0\r\n"
            "N;charset=UTF-8:Mu\xC3\xB1oz;;Ren\xC3\xA9\xE2\x80\x94\xF0\x9F\x98\x80;;\r\n"
            "NOTE;charset=UTF-8:\xE4\xBD\xA0\xE5\xA5\xBD\\nok\r\n"
            "END:VCARD\r\n");
}

TEST(VCardInfoTest, FoldsOnlyThePhotoLine) {
  const std::vector<uint8_t> jpeg = testing::makeTestJpeg(8, 8);
  ContactInfo contact;
  contact.icon = Image::fromBytes(jpeg);
  ASSERT_NE(contact.icon, nullptr);
  contact.groupNote.arrItem = {{std::string(150, 'n')}};
  const std::string line = "PHOTO;ENCODING=base64;TYPE=JPEG:" + *base64Encoding(jpeg);
  std::string folded;
  for (std::size_t at = 0; at < line.size(); at += 64) {
    folded += line.substr(at, 64);
    if (at + 64 <= line.size()) folded += "\r\n ";
  }
  EXPECT_EQ(render(&contact),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN;charset=UTF-8:;;;;\r\n"
            "NOTE;charset=UTF-8:" +
                std::string(150, 'n') + "\r\n" + folded + "\r\nEND:VCARD\r\n");
}

TEST(VCardInfoTest, FoldsAtSixtyFourCharacters) {
  const std::string x64(64, 'x');
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {std::string(63, 'x'), std::string(63, 'x')},
      {x64, x64 + "\r\n "},  // an exact multiple ends with CR LF and a space
      {std::string(100, 'x'), x64 + "\r\n " + std::string(36, 'x')},
      {x64 + x64, x64 + "\r\n " + x64 + "\r\n "},
      {x64 + "y", x64 + "\r\n y"},
      // Non-ASCII counts UTF-16 units: an e-acute is one, an emoji two, and the emoji that
      // would straddle the boundary moves whole to the next piece.
      {std::string(63, 'x') + "\xC3\xA9" + "z", std::string(63, 'x') + "\xC3\xA9\r\n z"},
      {std::string(63, 'x') + "\xF0\x9F\x98\x80", std::string(63, 'x') + "\r\n \xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatToFixWidth(c.in), c.out) << "input of " << c.in.size() << " bytes";
  }
}

TEST(VCardInfoTest, LoadingAgainReplacesEverything) {
  ContactInfo first;
  first.displayName = "First";
  ContactInfo second;
  second.nickname = "Second";
  VCardInfo card;
  card.setVersion("VERSION:2.1");
  card.loadFromContactInfo(first);
  card.loadFromContactInfo(second);
  const auto bytes = card.toVCardData();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN;charset=UTF-8:;;;;\r\n"
            "NICKNAME;charset=UTF-8:Second\r\nEND:VCARD\r\n");
}

TEST(VCardInfoTest, NamesEachPropertyOnTheDebugLog) {
  ContactInfo contact;
  contact.displayName = "Ann";
  contact.groupNumber.arrItem = {{"", E_Number_Home}};  // renders nothing, still logged
  testing::LogCapture capture;
  render(&contact);
  std::vector<std::string> vcardLines;
  for (const auto& line : capture.lines()) {
    if (line.text.rfind("vcard: ", 0) == 0) {
      EXPECT_EQ(line.level, LogLevel::Debug) << line.text;
      vcardLines.push_back(line.text);
    }
  }
  EXPECT_EQ(vcardLines, (std::vector<std::string>{"vcard: VCardName", "vcard: VCardFullName",
                                                  "vcard: VCardTel"}));
}

TEST(VCardInfoTest, RecognisesTagLinesWhole) {
  const struct {
    const char* line;
    bool begin;
    bool end;
  } cases[] = {
      {"BEGIN:VCARD", true, false},    {"begin:vcard", true, false},
      {"Begin:VCard", true, false},    {"BEGIN:VCARD ", false, false},
      {"BEGIN:VCARD\r", false, false}, {" BEGIN:VCARD", false, false},
      {"END:VCARD", false, true},      {"end:vCard", false, true},
      {"END:VCARDS", false, false},    {"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VCardInfo::isBeginTag(c.line), c.begin) << '"' << c.line << '"';
    EXPECT_EQ(VCardInfo::isEndTag(c.line), c.end) << '"' << c.line << '"';
  }
}

TEST(VCardInfoTest, ExtractsThePropertyName) {
  const struct {
    const char* line;
    std::optional<std::string> name;
    bool grouped;
  } cases[] = {
      {"item1.X-ABDATE:2010-01-01", "X-ABDATE", true},
      {"TEL;type=CELL;charset=UTF-8:1", "TEL", false},
      {"NOTE:a.b", "NOTE", false},
      {"a.b.c:x", "b.c", true},
      {":value", "", false},
      {"no separator", std::nullopt, false},
      {"", std::nullopt, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VCardInfo::extractPropertyName(c.line), c.name) << c.line;
    EXPECT_EQ(VCardInfo::isPropertyGroup(c.line), c.grouped) << c.line;
  }
}

TEST(VCardInfoTest, ReadingLinesBackIsNotSupported) {
  const char* line = "N;charset=UTF-8:Lee;;Ann;;";
  EXPECT_EQ(VCardInfo::extractForN(line), nullptr);
  EXPECT_EQ(VCardInfo::extractForFN(line), nullptr);
  EXPECT_EQ(VCardInfo::extractForORG(line), nullptr);
  EXPECT_EQ(VCardInfo::extractForTEL(line), nullptr);
  EXPECT_EQ(VCardInfo::extractForEMAIL(line), nullptr);
  EXPECT_EQ(VCardInfo::extractInfo(line), nullptr);
  auto address = VCardInfo::extractForADR("ADR;type=Home:;;1 Main St;;;;");
  ASSERT_NE(address, nullptr);
  EXPECT_EQ(address->toVCardLine(), "ADR;charset=UTF-8;type=OTHER;type=pref:;;;;;;");
  EXPECT_EQ(address->type(), std::nullopt);
}

}  // namespace
}  // namespace xr
