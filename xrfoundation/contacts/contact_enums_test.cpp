#include "xrfoundation/contacts/contact_enums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "xrfoundation/platform/testing/latch.h"

namespace xr {
namespace {

// Each kind as "kind: code=name ...", codes in numeric order, built by its make function;
// every entry must also translate both ways through the process-wide map, which holds every
// kind but SIP.
std::string tableText() {
  const std::pair<const char*, EnumDictionary (*)()> kinds[] = {
      {"number", makeNumberEnumDictionary},   {"email", makeEmailEnumDictionary},
      {"im", makeImEnumDictionary},           {"date", makeDateEnumDictionary},
      {"address", makeAddressEnumDictionary}, {"organization", makeOrganizationEnumDictionary},
      {"sip", makeSipAddressEnumDictionary},  {"sms", makeSmsEnumDictionary}};
  std::string text;
  for (const auto& [kind, make] : kinds) {
    const EnumDictionary dict = make();
    // Shorter code texts first, then by text: numeric order for plain decimals.
    std::vector<std::pair<std::string, std::string>> entries(dict.begin(), dict.end());
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return std::pair(a.first.size(), a.first) < std::pair(b.first.size(), b.first);
    });
    const bool registered = std::string_view(kind) != "sip";
    text += kind + std::string(":");
    for (const auto& [code, name] : entries) {
      text += " " + code + "=" + name;
      if (enumToString(kind, code) != (registered ? name : code) ||
          stringToEnum(name) != (registered ? code : name)) {
        text += "(not both ways)";
      }
    }
    text += "\n";
  }
  return text + "categories: " + SmsCategoryType_Unread + " " + SmsCategoryType_Favorite + "\n";
}

TEST(ContactEnumsTest, EveryKindsCodesAndNames) {
  EXPECT_EQ(tableText(),
            "number: 1=E_Number_Home 2=E_Number_Mobile 3=E_Number_Work 4=E_Number_FaxWork "
            "5=E_Number_FaxHome 6=E_Number_Pager 7=E_Number_Other 8=E_Number_Callback "
            "9=E_Number_Car 10=E_Number_CompanyMain 11=E_Number_ISDN 12=E_Number_Main "
            "13=E_Number_OtherFax 14=E_Number_Radio 15=E_Number_Telex 16=E_Number_TTY "
            "17=E_Number_WorkMobile 18=E_Number_WorkPager 19=E_Number_Assistant "
            "20=E_Number_MMS\n"
            "email: 1=E_Email_Home 2=E_Email_Work 3=E_Email_Other 4=E_Email_Mobile\n"
            "im: 0=E_Im_AIM 1=E_Im_MSN 2=E_Im_Yahoo 3=E_Im_Skype 4=E_Im_QQ 5=E_Im_GoogleTalk "
            "6=E_Im_ICQ 7=E_Im_Jabber 8=E_Im_NetMeeting\n"
            "date: 1=E_Date_Anniversary 2=E_Date_Other 3=E_Date_Birthday\n"
            "address: 1=E_Address_Home 2=E_Address_Work 3=E_Address_Other\n"
            "organization: 1=E_Organization_Work 2=E_Organization_Other\n"
            "sip: 1=E_SipAddress_Home 2=E_SipAddress_Work 3=E_SipAddress_Other\n"
            "sms: 1=E_Sms_Inbox 2=E_Sms_Sent 3=E_Sms_Draft 4=E_Sms_Outbox 5=E_Sms_Failed "
            "6=E_Sms_Queued\n"
            "categories: unread favorite\n");
}

TEST(ContactEnumsTest, UntranslatableInputComesBackUnchanged) {
  using Text = std::optional<std::string>;
  // Keys are matched exactly: no numeric parsing, kinds and names case-sensitive.
  const std::pair<Text, Text> forward[] = {{"number", "21"},    {"number", "02"},
                                           {"Number", "2"},     {"phone", "1"},
                                           {std::nullopt, "1"}, {"number", std::nullopt}};
  for (const auto& [kind, code] : forward) {
    EXPECT_EQ(enumToString(kind, code), code)
        << kind.value_or("(null)") << " / " << code.value_or("(null)");
  }
  // The SIP dictionary is not registered; SMS category texts are not names.
  const Text reverse[] = {"E_SipAddress_Home", "e_number_mms", "unread", std::nullopt};
  for (const Text& name : reverse) EXPECT_EQ(stringToEnum(name), name) << name.value_or("(null)");
}

TEST(ContactEnumsTest, AddEnumReplacesTheKindsDictionary) {
  MultiEnumMap map;
  map.addEnum("k", {{"1", "E_First"}});
  map.addEnum("k", {{"2", "E_Second"}});
  EXPECT_EQ(map.nameOfKind("k", "1"), "1");
  EXPECT_EQ(map.nameOfKind("k", "2"), "E_Second");
  EXPECT_EQ(map.valueOfName("E_First"), "E_First");
  EXPECT_EQ(map.valueOfName("E_Second"), "2");
}

TEST(ContactEnumsTest, ConcurrentFirstUseBuildsOneMap) {
  constexpr int kThreads = 8;
  testing::Latch start(kThreads);
  std::vector<const MultiEnumMap*> seen(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      seen[i] = &getMultiEnumMap();
    });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(seen[i], seen[0]) << "thread " << i;
}

}  // namespace
}  // namespace xr
