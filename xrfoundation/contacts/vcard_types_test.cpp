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
  const std::pair<std::vector<std::string_view>, const char*> rows[] = {
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
  for (const auto& [words, kind] : rows) {
    EXPECT_EQ(numberKindOfTypes(words), kind) << ::testing::PrintToString(words);
  }
  EXPECT_EQ(emailKindOfTypes({"INTERNET", "x-home"}), E_Email_Home);
  EXPECT_EQ(emailKindOfTypes({"Mobile"}), E_Email_Mobile);
  EXPECT_EQ(addressKindOfTypes({"dom", "WORK"}), E_Address_Work);
}

TEST(VCardTypesTest, ServicesLabelsAndPropertiesNameTheirKind) {
  using Kind = std::optional<std::string>;
  using Lookup = Kind (*)(std::string_view);
  const Lookup date = [](std::string_view label) -> Kind { return dateKindOfLabel(label); };
  // "word>kind" for every word of each lookup, "-" where it names none.
  const std::tuple<const char*, Lookup, std::vector<const char*>> tables[] = {
      {"im property",
       imKindOfProperty,
       {"X-GOOGLE-TALK", "X-GTALK", "X-GOOGLETALK", "X-SKYPE-USERNAME", "X-MS-IMADDRESS", "X-",
        "X-TALK", "SKYPE"}},
      {"im service",
       imKindOfService,
       {"AIM", "x-msn-im", "Windows Live", "msn", "Yahoo", "ymsgr", "Skype", "QQ", "Google Talk",
        "gtalk", "ICQ", "Jabber", "xmpp", "NetMeeting", "sip"}},
      {"date label", date, {"_$!<Anniversary>!$_", "Birth-Date", "birthday", "_$!<Other>!$_"}},
      {"number label",
       numberKindOfLabel,
       {"_$!<HomeFAX>!$_", "iPhone", "cell", "_$!<Other>!$_", "Boat"}},
      {"email label", emailKindOfLabel, {"_$!<Work>!$_", "other", "cabin"}},
      {"address label", addressKindOfLabel, {"home", "_$!<Other>!$_", "cabin"}}};
  std::string read;
  for (const auto& [what, lookup, words] : tables) {
    read.append(what).append(":");
    for (const char* word : words)
      read.append(" ").append(word).append(">").append(lookup(word).value_or("-"));
    read.append("\n");
  }
  EXPECT_EQ(read,
            "im property: X-GOOGLE-TALK>E_Im_GoogleTalk X-GTALK>E_Im_GoogleTalk "
            "X-GOOGLETALK>E_Im_GoogleTalk X-SKYPE-USERNAME>E_Im_Skype X-MS-IMADDRESS>E_Im_MSN "
            "X->- X-TALK>- SKYPE>-\n"
            "im service: AIM>E_Im_AIM x-msn-im>E_Im_MSN Windows Live>E_Im_MSN msn>E_Im_MSN "
            "Yahoo>E_Im_Yahoo ymsgr>E_Im_Yahoo Skype>E_Im_Skype QQ>E_Im_QQ "
            "Google Talk>E_Im_GoogleTalk gtalk>E_Im_GoogleTalk ICQ>E_Im_ICQ Jabber>E_Im_Jabber "
            "xmpp>E_Im_Jabber NetMeeting>E_Im_NetMeeting sip>-\n"
            "date label: _$!<Anniversary>!$_>E_Date_Anniversary Birth-Date>E_Date_Birthday "
            "birthday>E_Date_Birthday _$!<Other>!$_>E_Date_Other\n"
            "number label: _$!<HomeFAX>!$_>E_Number_FaxHome iPhone>E_Number_Mobile "
            "cell>E_Number_Mobile _$!<Other>!$_>E_Number_Other Boat>-\n"
            "email label: _$!<Work>!$_>E_Email_Work other>E_Email_Other cabin>-\n"
            "address label: home>E_Address_Home _$!<Other>!$_>E_Address_Other cabin>-\n");
  EXPECT_EQ(imPropertyOfKind(std::string(E_Im_GoogleTalk)), "X-GOOGLE-TALK");
  EXPECT_EQ(imPropertyOfKind(std::nullopt), "");
  for (const char* kind : {E_Date_Anniversary, E_Date_Birthday, E_Date_Other}) {
    EXPECT_EQ(dateKindOfLabel(dateLabelOfKind(std::string(kind))), kind);
  }
}

}  // namespace
}  // namespace xr::vcard_internal
