// The standard vCard form as bytes: each field's line with its TYPE list, escaping, item groups,
// the lines left out, the FN a contact without a display name gets, and folding at 75 octets.
#include "xrfoundation/contacts/vcard_standard.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/base64.h"
#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/platform/image.h"
#include "xrfoundation/platform/testing/test_images.h"
#include "xrfoundation/platform/utf8_internal.h"

namespace xr {
namespace {

constexpr std::string_view kHead = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nFN:X\r\n";
constexpr std::string_view kTail = "END:VCARD\r\n";

std::string standardForm(const ContactInfo& contact) {
  std::string text;
  appendStandardVCard(contact, text);
  return text;
}

// The lines after N and FN of a contact whose only name is the display name "X".
std::string bodyOf(ContactInfo contact) {
  contact.displayName = "X";
  const std::string text = standardForm(contact);
  EXPECT_TRUE(text.starts_with(kHead) && text.ends_with(kTail)) << text;
  if (!text.starts_with(kHead) || !text.ends_with(kTail)) return text;
  return text.substr(kHead.size(), text.size() - kHead.size() - kTail.size());
}

// A contact with only the items of one group.
template <class Item>
ContactInfo with(ContactFieldGroup<Item> ContactInfo::*group, std::vector<Item> items) {
  ContactInfo contact;
  (contact.*group).arrItem = std::move(items);
  return contact;
}

TEST(VCardStandardTest, WritesEachFieldAsItsLine) {
  ContactInfo groupNames;
  groupNames.userData[kContactGroupNamesKey] = {"", "Friends", "A,B", ""};
  const struct {
    const char* what;
    ContactInfo contact;
    const char* lines;
  } rows[] = {
      {"numbers by kind; unknown and absent kinds as Other",
       with(&ContactInfo::groupNumber, {{"1", E_Number_FaxWork},
                                        {"2", E_Number_Mobile},
                                        {"3", E_Number_Other},
                                        {"4", "no such kind"},
                                        {"5", std::nullopt}}),
       "TEL;TYPE=FAX,WORK:1\r\nTEL;TYPE=CELL:2\r\nTEL:3\r\nTEL:4\r\nTEL:5\r\n"},
      {"a number is no text: its comma and semicolon stay",
       with(&ContactInfo::groupNumber, {{"555,1;ext=2", E_Number_Home}}),
       "TEL;TYPE=HOME:555,1;ext=2\r\n"},
      {"e-mail addresses are INTERNET, and escaped text",
       with(&ContactInfo::groupEmail, {{"a@x", E_Email_Work}, {"b,c@x", std::nullopt}}),
       "EMAIL;TYPE=INTERNET,WORK:a@x\r\nEMAIL;TYPE=INTERNET:b\\,c@x\r\n"},
      {"known services by name, other handles as IMPP URIs",
       with(&ContactInfo::groupIm, {{"ann", E_Im_Skype},
                                    {"ann@x", E_Im_Jabber},
                                    {"ann", std::nullopt},
                                    {"xmpp:ann@x", "unknown"}}),
       "X-SKYPE:ann\r\nX-JABBER:ann@x\r\nIMPP:im:ann\r\nIMPP:xmpp:ann@x\r\n"},
      {"the first birthday is BDAY, every other date an item group with its label",
       with(&ContactInfo::groupDate, {{"2001-01-01", E_Date_Anniversary},
                                      {"1990-02-03", E_Date_Birthday},
                                      {"1991-02-03", E_Date_Birthday},
                                      {"", E_Date_Other}}),
       "item1.X-ABDATE:2001-01-01\r\nitem1.X-ABLabel:_$!<Anniversary>!$_\r\n"
       "BDAY:1990-02-03\r\n"
       "item2.X-ABDATE:1991-02-03\r\nitem2.X-ABLabel:_$!<Birthday>!$_\r\n"},
      {"group names in one CATEGORIES line, empty names left out", groupNames,
       "CATEGORIES:Friends,A\\,B\r\n"},
      {"an address keeps its empty components",
       with(&ContactInfo::groupAddress,
            {{E_Address_Home, "1 Main St", "Bern", std::nullopt, "3000", "CH"}}),
       "ADR;TYPE=HOME:;;1 Main St;Bern;;3000;CH\r\n"},
      {"an address without a part is left out",
       with(&ContactInfo::groupAddress, {{E_Address_Work, "", "", {}, {}, ""}}), ""},
      {"one organisation plainly",
       with(&ContactInfo::groupOrganization, {{"Acme; Inc", "Sales", "CEO"}}),
       "ORG:Acme\\; Inc;Sales\r\nTITLE:CEO\r\n"},
      {"several organisations grouped, each with its title",
       with(&ContactInfo::groupOrganization,
            {{"Acme", std::nullopt, "CEO"}, {"", "", ""}, {std::nullopt, "Lab", ""}}),
       "item1.ORG:Acme\r\nitem1.TITLE:CEO\r\nitem2.ORG:;Lab\r\n"},
      {"a URL's line break is escaped", with(&ContactInfo::groupWebsite, {{"http://x/a,b\nc"}}),
       "URL:http://x/a,b\\nc\r\n"},
      {"a note's CR LF is one \\n", with(&ContactInfo::groupNote, {{"one\r\ntwo\\"}}),
       "NOTE:one\\ntwo\\\\\r\n"},
  };
  for (const auto& row : rows) EXPECT_EQ(bodyOf(row.contact), row.lines) << row.what;
}

TEST(VCardStandardTest, EscapesFoldsAndLeavesNothingEmpty) {
  ContactInfo contact;
  contact.familyName.emplace("Lee;Smith");  // not "=": GCC 12 falsely warns it reads uninitialised
  contact.givenName = "Ann";
  contact.displayName =
      "Smith, John \\ 日本語日本語日本語日本語日本語日本語日本語日本語日本語日本語";
  contact.groupOrganization.arrItem = {{"Acme; Inc", std::nullopt, ""}};
  contact.groupNote.arrItem = {{"a\nb"}, {""}};
  contact.groupNumber.arrItem = {{"", E_Number_Home}};
  // FN's first line stops at 73 octets: the next character would pass 75, and a fold never
  // splits a UTF-8 sequence. The empty title, note and number give no line; no charset is named.
  EXPECT_EQ(standardForm(contact),
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee\\;Smith;Ann;;;\r\n"
            "FN:Smith\\, John \\\\ 日本語日本語日本語日本語日本語日本語\r\n"
            " 日本語日本語日本語日本語\r\n"
            "ORG:Acme\\; Inc\r\nNOTE:a\\nb\r\nEND:VCARD\r\n");
}

// A long line is cut into pieces of 75 octets, the blank that starts each later piece counted;
// unfolding gives the line back, and no piece splits a character.
TEST(VCardStandardTest, FoldsLongLinesAtSeventyFiveOctets) {
  for (const std::string unit : {"a", "\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x99\x82"}) {
    std::string note;
    while (note.size() < 400) note += unit;
    ContactInfo contact;
    contact.groupNote.arrItem = {{note}};
    const std::string body = bodyOf(contact);
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < body.size();) {
      const std::size_t end = body.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << body;
      lines.push_back(std::string_view(body).substr(at, end - at));
      at = end + 2;
    }
    ASSERT_GE(lines.size(), 6u) << body;
    std::string unfolded;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      SCOPED_TRACE("character of " + std::to_string(unit.size()) + " bytes, line " +
                   std::to_string(i));
      std::string_view piece = lines[i];
      EXPECT_LE(piece.size(), 75u);
      if (i + 1 < lines.size()) {
        EXPECT_GT(piece.size(), 75u - unit.size());  // cut no earlier
      }
      if (i > 0) {
        ASSERT_EQ(piece.front(), ' ');
        piece.remove_prefix(1);
      }
      EXPECT_TRUE(utf8::isValid(piece));
      unfolded += piece;
    }
    EXPECT_EQ(unfolded, "NOTE:" + note) << "unit " << unit.size();
  }
}

// vCard 3.0 requires FN: without a display name, the name parts, else the first company,
// e-mail address or number that has text, else none.
TEST(VCardStandardTest, NamesAContactWithoutADisplayName) {
  ContactInfo contact;
  const auto fn = [&]() -> std::string {
    const std::string text = standardForm(contact);
    const std::size_t at = text.find("\r\nFN:");
    if (at == std::string::npos) return "(none)";
    return text.substr(at + 5, text.find("\r\n", at + 2) - at - 5);
  };
  EXPECT_EQ(fn(), "(none)");
  contact.groupNumber.arrItem = {{"", E_Number_Home}, {"555 0100", E_Number_Home}};
  EXPECT_EQ(fn(), "555 0100");
  contact.groupEmail.arrItem = {{"", E_Email_Home}, {"a@x.example", E_Email_Home}};
  EXPECT_EQ(fn(), "a@x.example");
  contact.groupOrganization.arrItem = {{"", "Sales", {}}, {"Acme, Inc", {}, {}}};
  EXPECT_EQ(fn(), "Acme\\, Inc");
  contact.suffix = "Jr.";
  contact.prefix = "Dr.";
  EXPECT_EQ(fn(), "Dr. Jr.");
  contact.givenName = "";
  contact.middleName = "J";
  EXPECT_EQ(fn(), "Dr. J Jr.");
  contact.displayName = "";
  EXPECT_EQ(fn(), "Dr. J Jr.");
  contact.displayName = "Ann";
  EXPECT_EQ(fn(), "Ann");
}

TEST(VCardStandardTest, ThePhotoIsBase64JpegOnOneFoldedLine) {
  ContactInfo contact;
  contact.icon = Image::fromBytes(testing::makeTestJpeg(24, 16));
  ASSERT_TRUE(contact.icon);
  const std::optional<std::string> encoded = base64Encoding(contact.icon->jpegRepresentation());
  ASSERT_TRUE(encoded);
  std::string body = bodyOf(contact);
  for (std::size_t at; (at = body.find("\r\n ")) != std::string::npos;) body.erase(at, 3);
  EXPECT_EQ(body, "PHOTO;ENCODING=b;TYPE=JPEG:" + *encoded + "\r\n");
}

}  // namespace
}  // namespace xr
