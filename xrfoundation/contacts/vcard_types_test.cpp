// The standard form's type words: what the writer gives each kind the reader takes back as that
// kind, words in any spelling name their kind, and services, labels and property names map to
// kinds.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/vcard_types_internal.h"

namespace xr::vcard_internal {
namespace {

constexpr const char* kNumberKinds[] = {
    E_Number_Home,       E_Number_Mobile,      E_Number_Work,      E_Number_FaxWork,
    E_Number_FaxHome,    E_Number_Pager,       E_Number_Other,     E_Number_Callback,
    E_Number_Car,        E_Number_CompanyMain, E_Number_ISDN,      E_Number_Main,
    E_Number_OtherFax,   E_Number_Radio,       E_Number_Telex,     E_Number_TTY,
    E_Number_WorkMobile, E_Number_WorkPager,   E_Number_Assistant, E_Number_MMS,
};

// "FAX,WORK" as its words.
std::vector<std::string_view> wordsOf(std::string_view list) {
  std::vector<std::string_view> words;
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    words.push_back(list.substr(0, comma));
    list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
  }
  return words;
}

TEST(VCardTypesTest, EveryKindReadsBackFromTheWordsWrittenForIt) {
  for (const char* kind : kNumberKinds) {
    const std::string_view types = standardNumberTypes(std::string(kind));
    EXPECT_EQ(numberKindOfTypes(wordsOf(types)), kind) << "TYPE=" << types;
  }
  for (const char* kind : {E_Email_Home, E_Email_Work, E_Email_Mobile, E_Email_Other}) {
    const std::string_view types = standardEmailTypes(std::string(kind));
    EXPECT_EQ(emailKindOfTypes(wordsOf(types)), kind) << "TYPE=" << types;
  }
  for (const char* kind : {E_Address_Home, E_Address_Work, E_Address_Other}) {
    const std::string_view types = standardAddressTypes(std::string(kind));
    EXPECT_EQ(addressKindOfTypes(wordsOf(types)), kind) << "TYPE=" << types;
  }
  // Absent and unknown kinds are written as the family's Other.
  EXPECT_EQ(standardNumberTypes(std::nullopt), "");
  EXPECT_EQ(standardNumberTypes("E_Number_Unheard"), "");
  EXPECT_EQ(standardEmailTypes(std::nullopt), "INTERNET");
}

TEST(VCardTypesTest, WordsInAnySpellingNameTheirKind) {
  struct Row {
    std::vector<std::string_view> words;
    const char* kind;
  };
  const Row rows[] = {
      {{"x-mobile"}, E_Number_Mobile},
      {{"\"Work\"", "iPhone"}, E_Number_WorkMobile},
      {{"home", "FAX"}, E_Number_FaxHome},
      {{"FAX"}, E_Number_OtherFax},
      {{"text-phone"}, E_Number_TTY},
      {{"Company_Main"}, E_Number_CompanyMain},
      {{"PREF", "VOICE", "tlx"}, E_Number_Telex},
      {{"pager", "work"}, E_Number_WorkPager},
      {{"cellular"}, E_Number_Other},  // no spelling of CELL
      {{"x-work-extension-number"}, E_Number_Other},
      {{"X-"}, E_Number_Other},
      {{}, E_Number_Other},
      // Only the ASCII letters fold: a dotted capital I is no "i".
      {{"\xC4\xB0SDN"}, E_Number_Other},
      {{"isdn"}, E_Number_ISDN},
  };
  for (const Row& row : rows) {
    std::string words;
    for (const std::string_view word : row.words) words += std::string(word) + ",";
    EXPECT_EQ(numberKindOfTypes(row.words), row.kind) << words;
  }
  EXPECT_EQ(emailKindOfTypes({"INTERNET", "x-home"}), E_Email_Home);
  EXPECT_EQ(emailKindOfTypes({"Mobile"}), E_Email_Mobile);
  EXPECT_EQ(addressKindOfTypes({"dom", "WORK"}), E_Address_Work);
}

TEST(VCardTypesTest, ServicesLabelsAndPropertiesNameTheirKind) {
  using Kind = std::optional<std::string>;
  using Lookup = Kind (*)(std::string_view);
  const Lookup date = [](std::string_view label) -> Kind { return dateKindOfLabel(label); };
  const std::tuple<Lookup, const char*, Kind> rows[] = {
      {imKindOfProperty, "X-GOOGLE-TALK", E_Im_GoogleTalk},
      {imKindOfProperty, "X-GTALK", E_Im_GoogleTalk},
      {imKindOfProperty, "X-GOOGLETALK", E_Im_GoogleTalk},
      {imKindOfProperty, "X-SKYPE-USERNAME", E_Im_Skype},
      {imKindOfProperty, "X-MS-IMADDRESS", E_Im_MSN},
      {imKindOfProperty, "X-", std::nullopt},
      {imKindOfProperty, "X-TALK", std::nullopt},
      {imKindOfProperty, "SKYPE", std::nullopt},
      {imKindOfService, "AIM", E_Im_AIM},
      {imKindOfService, "x-msn-im", E_Im_MSN},
      {imKindOfService, "Windows Live", E_Im_MSN},
      {imKindOfService, "msn", E_Im_MSN},
      {imKindOfService, "Yahoo", E_Im_Yahoo},
      {imKindOfService, "ymsgr", E_Im_Yahoo},
      {imKindOfService, "Skype", E_Im_Skype},
      {imKindOfService, "QQ", E_Im_QQ},
      {imKindOfService, "Google Talk", E_Im_GoogleTalk},
      {imKindOfService, "gtalk", E_Im_GoogleTalk},
      {imKindOfService, "ICQ", E_Im_ICQ},
      {imKindOfService, "Jabber", E_Im_Jabber},
      {imKindOfService, "xmpp", E_Im_Jabber},
      {imKindOfService, "NetMeeting", E_Im_NetMeeting},
      {imKindOfService, "sip", std::nullopt},
      {date, "_$!<Anniversary>!$_", E_Date_Anniversary},
      {date, "Birth-Date", E_Date_Birthday},
      {date, "birthday", E_Date_Birthday},
      {date, "_$!<Other>!$_", E_Date_Other},
      {numberKindOfLabel, "_$!<HomeFAX>!$_", E_Number_FaxHome},
      {numberKindOfLabel, "iPhone", E_Number_Mobile},
      {numberKindOfLabel, "cell", E_Number_Mobile},
      {numberKindOfLabel, "_$!<Other>!$_", E_Number_Other},
      {numberKindOfLabel, "Boat", std::nullopt},
      {emailKindOfLabel, "_$!<Work>!$_", E_Email_Work},
      {emailKindOfLabel, "other", E_Email_Other},
      {emailKindOfLabel, "cabin", std::nullopt},
      {addressKindOfLabel, "home", E_Address_Home},
      {addressKindOfLabel, "_$!<Other>!$_", E_Address_Other},
      {addressKindOfLabel, "cabin", std::nullopt},
  };
  for (const auto& [lookup, word, kind] : rows) EXPECT_EQ(lookup(word), kind) << word;
  EXPECT_EQ(imPropertyOfKind(std::string(E_Im_GoogleTalk)), "X-GOOGLE-TALK");
  EXPECT_EQ(imPropertyOfKind(std::nullopt), "");
  for (const char* kind : {E_Date_Anniversary, E_Date_Birthday, E_Date_Other}) {
    EXPECT_EQ(dateKindOfLabel(dateLabelOfKind(std::string(kind))), kind);
  }
}

}  // namespace
}  // namespace xr::vcard_internal
