#include "xrfoundation/contacts/vcard_info.h"

#include <gtest/gtest.h>

#include <tuple>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/testing/rich_contact.h"
#include "xrfoundation/platform/testing/log_capture.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr {
namespace {

std::string text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string render(const ContactInfo* contact) {
  VCardInfo card;
  card.loadFromContactInfo(contact);
  return text(card.toVCardData());
}

// A whole record around the lines between VERSION and END.
std::string record(const std::string& body) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n";
}

TEST(VCardInfoTest, RendersSmallRecordsWhole) {
  ContactInfo bare;
  bare.familyName = "Lee";
  bare.givenName = "Ann";
  ContactInfo birthdays;  // only the first birthday with a date becomes BDAY
  birthdays.groupDate.arrItem = {{"", E_Date_Birthday}, {"1981-01-01", E_Date_Birthday}};
  const std::pair<const ContactInfo*, std::string> cases[] = {
      {&bare, "N;charset=UTF-8:Lee;;Ann;;\r\n"},
      {nullptr, "N;charset=UTF-8:;;;;\r\n"},
      {&birthdays, "N;charset=UTF-8:;;;;\r\nX-DE;Birthdate:1981-01-01\r\n"}};
  for (const auto& [contact, body] : cases) EXPECT_EQ(render(contact), record(body)) << body;
  VCardInfo card;
  EXPECT_EQ(text(card.toVCardData()), "BEGIN:VCARD\r\n\r\nEND:VCARD\r\n");  // never loaded
  // Loading again replaces everything, the version included.
  card.setVersion("VERSION:2.1");
  card.loadFromContactInfo(bare);
  card.loadFromContactInfo(birthdays);
  EXPECT_EQ(text(card.toVCardData()), render(&birthdays));
}

TEST(VCardInfoTest, RendersARichContactInTheFixedOrder) {
  const int n = std::stoi(createUniqueNumber());
  // A grouped date, numbered from the process-wide counter.
  auto grouped = [n](int offset, const std::string& date, const std::string& label) {
    const std::string item = "item" + std::to_string(n + offset);
    return item + ".X-ABDATE:" + date + "\r\n" + item + ".X-ABLabel:_$!<" + label +
           ">!$_\r\nX-DE;" + label + ":" + date + "\r\n";
  };
  const ContactInfo contact = testing::makeRichContact();
  const std::string expected = record(
      "N;charset=UTF-8:Lee;J;Ann;Dr.;PhD\r\n"
      "FN;charset=UTF-8:Dr. Ann J Lee\r\nNICKNAME;charset=UTF-8:Annie\r\n"
      "TEL;type=CELL;charset=UTF-8:+1 555 0100\r\n"
      "TEL;type=FAX;type=WORK;charset=UTF-8:555 0101\r\n"
      "TEL;type=OTHER;charset=UTF-8:555 0102\r\nTEL;type=OTHER;charset=UTF-8:555 0103\r\n"
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
      "BDAY:1980-02-03\r\nX-DE;Birthdate:1980-02-03\r\n" +
      grouped(1, "2005-06-07", "Anniversary") + "X-DE;Birthdate:1981-01-01\r\n" +
      grouped(2, "2010-10-10", "Other") + grouped(3, "2011-11-11", "Other") +
      "CATEGORIES;CHARSET=utf-8:Friends\r\nCATEGORIES;CHARSET=utf-8:Work\r\n"
      "ADR;charset=UTF-8;type=Home;type=pref:;;1 Main St\\nApt 2;Springfield;IL;62701;USA\r\n"
      "ADR;charset=UTF-8;type=Work;type=pref:;;2 Office Rd;Chicago;IL;60601;USA\r\n"
      "ADR;charset=UTF-8;type=OTHER;type=pref:;;;Paris;;;\r\n"
      "ORG;charset=UTF-8:Acme\\;Sales\r\nORG;charset=UTF-8:Beta\r\n"
      "ORG;charset=UTF-8:\\;Research\r\n"
      "TITLE:CEO\r\nTITLE: \r\nTITLE:Fellow\r\n"
      "URL;charset=UTF-8:https://ann.example\r\n"
      "NOTE;charset=UTF-8:first line\\nsecond line\r\n");
  EXPECT_EQ(render(&contact), expected);
  // The next record goes on from the same counter.
  ContactInfo next;
  next.groupDate.arrItem = {{"2000-01-01", E_Date_Anniversary}};
  EXPECT_EQ(render(&next),
            record("N;charset=UTF-8:;;;;\r\n" + grouped(4, "2000-01-01", "Anniversary")));
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
  EXPECT_EQ(render(&contact), record("N;charset=UTF-8:;;;;\r\nNOTE;charset=UTF-8:" +
                                     std::string(150, 'n') + "\r\n" + folded + "\r\n"));
}

TEST(VCardInfoTest, FoldsAtSixtyFourCharacters) {
  const std::string x63(63, 'x'), x64(64, 'x');
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {x63, x63},
      {x64, x64 + "\r\n "},  // an exact multiple ends with CR LF and a space
      {x64 + x64, x64 + "\r\n " + x64 + "\r\n "},
      {x64 + "y", x64 + "\r\n y"},
      {std::string(100, 'x'), x64 + "\r\n " + std::string(36, 'x')},
      // Non-ASCII counts UTF-16 units: an e-acute is one, an emoji two, and the emoji that
      // would straddle the boundary moves whole to the next piece.
      {x63 + "\xC3\xA9" + "z", x63 + "\xC3\xA9\r\n z"},
      {x63 + "\xF0\x9F\x98\x80", x63 + "\r\n \xF0\x9F\x98\x80"}};
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(formatToFixWidth(in), out) << "input of " << in.size() << " bytes";
  }
}

TEST(VCardInfoTest, NamesEachPropertyOnTheDebugLog) {
  ContactInfo contact;
  contact.groupNumber.arrItem = {{"", E_Number_Home}};  // renders nothing, still logged
  contact.displayName = "Ann";
  testing::LogCapture capture;
  render(&contact);
  std::vector<std::string> vcardLines;
  for (const auto& line : capture.lines()) {
    if (line.level == LogLevel::Debug && line.text.starts_with("vcard: "))
      vcardLines.push_back(line.text);
  }
  EXPECT_EQ(vcardLines, (std::vector<std::string>{"vcard: VCardName", "vcard: VCardFullName",
                                                  "vcard: VCardTel"}));
}

TEST(VCardInfoTest, ReadsTagsAndPropertyNames) {
  // Whole lines only, letter case ignored.
  EXPECT_TRUE(VCardInfo::isBeginTag("begin:vCard") && !VCardInfo::isEndTag("begin:vCard"));
  EXPECT_TRUE(VCardInfo::isEndTag("end:vCard") && !VCardInfo::isBeginTag("end:vCard"));
  for (const char* line : {"BEGIN:VCARD ", "BEGIN:VCARD\r", " BEGIN:VCARD", "END:VCARDS", ""}) {
    EXPECT_FALSE(VCardInfo::isBeginTag(line) || VCardInfo::isEndTag(line))
        << ::testing::PrintToString(line);
  }
  const std::tuple<const char*, std::optional<std::string>, bool> names[] = {
      {"item1.X-ABDATE:2010-01-01", "X-ABDATE", true},
      {"TEL;type=CELL;charset=UTF-8:1", "TEL", false},
      {"NOTE:a.b", "NOTE", false},
      {"a.b.c:x", "b.c", true},
      {":value", "", false},
      {"no separator", std::nullopt, false},
      {"", std::nullopt, false}};
  for (const auto& [line, name, grouped] : names) {
    EXPECT_EQ(VCardInfo::extractPropertyName(line), name) << line;
    EXPECT_EQ(VCardInfo::isPropertyGroup(line), grouped) << line;
  }
}

TEST(VCardInfoTest, ReadingLinesBackIsNotSupported) {
  for (auto* extract :
       {&VCardInfo::extractForN, &VCardInfo::extractForFN, &VCardInfo::extractForORG,
        &VCardInfo::extractForTEL, &VCardInfo::extractForEMAIL, &VCardInfo::extractInfo}) {
    EXPECT_EQ(extract("N:Lee;Ann;;;"), nullptr);
  }
  EXPECT_EQ(VCardInfo::extractForADR("ADR:;;1 Main St;;;;")->toVCardLine(),
            "ADR;charset=UTF-8;type=OTHER;type=pref:;;;;;;");
}

}  // namespace
}  // namespace xr
