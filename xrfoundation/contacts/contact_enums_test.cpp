// contacts/contact_enums_test.cpp
#include "xrfoundation/contacts/contact_enums.h"

#include <gtest/gtest.h>

#include <latch>
#include <set>
#include <thread>
#include <vector>

namespace xr {
namespace {

using Named = std::pair<const char*, const char*>;  // the name, and its identifier spelled out
// Each kind's names in the order of their codes, which count up from `first`.
struct Kind {
  Kind(const char* name, int from, EnumDictionary (*builder)(), std::vector<Named> list)
      : kind(name), first(from), make(builder), names(std::move(list)) {}
  const char* kind;  // nullptr: built but not registered
  int first;
  EnumDictionary (*make)();
  std::vector<Named> names;
};

#define N(name) \
  Named { name, #name }
const Kind kKinds[] = {
    Kind("number", 1, makeNumberEnumDictionary,
         {N(E_Number_Home),        N(E_Number_Mobile),     N(E_Number_Work),
          N(E_Number_FaxWork),     N(E_Number_FaxHome),    N(E_Number_Pager),
          N(E_Number_Other),       N(E_Number_Callback),   N(E_Number_Car),
          N(E_Number_CompanyMain), N(E_Number_ISDN),       N(E_Number_Main),
          N(E_Number_OtherFax),    N(E_Number_Radio),      N(E_Number_Telex),
          N(E_Number_TTY),         N(E_Number_WorkMobile), N(E_Number_WorkPager),
          N(E_Number_Assistant),   N(E_Number_MMS)}),
    Kind("email", 1, makeEmailEnumDictionary,
         {N(E_Email_Home), N(E_Email_Work), N(E_Email_Other), N(E_Email_Mobile)}),
    Kind("im", 0, makeImEnumDictionary,
         {N(E_Im_AIM), N(E_Im_MSN), N(E_Im_Yahoo), N(E_Im_Skype), N(E_Im_QQ), N(E_Im_GoogleTalk),
          N(E_Im_ICQ), N(E_Im_Jabber), N(E_Im_NetMeeting)}),
    Kind("date", 1, makeDateEnumDictionary,
         {N(E_Date_Anniversary), N(E_Date_Other), N(E_Date_Birthday)}),
    Kind("address", 1, makeAddressEnumDictionary,
         {N(E_Address_Home), N(E_Address_Work), N(E_Address_Other)}),
    Kind("organization", 1, makeOrganizationEnumDictionary,
         {N(E_Organization_Work), N(E_Organization_Other)}),
    Kind(nullptr, 1, makeSipAddressEnumDictionary,
         {N(E_SipAddress_Home), N(E_SipAddress_Work), N(E_SipAddress_Other)}),
    Kind("sms", 1, makeSmsEnumDictionary,
         {N(E_Sms_Inbox), N(E_Sms_Sent), N(E_Sms_Draft), N(E_Sms_Outbox), N(E_Sms_Failed),
          N(E_Sms_Queued)}),
};
#undef N

TEST(ContactEnumsTest, EveryNameIsItsOwnTextAndTranslatesBothWays) {
  std::set<std::string> seen;
  for (const Kind& kind : kKinds) {
    const char* kindName = kind.kind ? kind.kind : "sip";
    EnumDictionary expected;
    for (std::size_t i = 0; i < kind.names.size(); ++i) {
      const std::string code = std::to_string(kind.first + static_cast<int>(i));
      const auto& [name, identifier] = kind.names[i];
      EXPECT_STREQ(name, identifier);
      EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name;
      expected.emplace(code, name);
      if (!kind.kind) continue;
      EXPECT_EQ(enumToString(kind.kind, code), name) << kindName << " " << code;
      EXPECT_EQ(stringToEnum(name), code) << name;
    }
    EXPECT_EQ(kind.make(), expected) << kindName;
  }
  EXPECT_EQ(seen.size(), 50u);
  EXPECT_STREQ(SmsCategoryType_Unread, "unread");
  EXPECT_STREQ(SmsCategoryType_Favorite, "favorite");
}

TEST(ContactEnumsTest, UntranslatableInputComesBackUnchanged) {
  using Text = std::optional<std::string>;
  // Keys are matched exactly: no numeric parsing, kinds and names case-sensitive.
  const std::pair<Text, Text> forward[] = {
      {"number", "21"}, {"number", "02"},    {"number", " 2"}, {"Number", "2"},
      {"phone", "1"},   {std::nullopt, "1"}, {"number", ""},   {"number", std::nullopt}};
  for (const auto& [kind, code] : forward) {
    EXPECT_EQ(enumToString(kind, code), code)
        << kind.value_or("(null)") << " / " << code.value_or("(null)");
  }
  // The SIP dictionary is not registered; SMS category texts are not names.
  const Text reverse[] = {"E_SipAddress_Home", "e_number_mms", "E_NUMBER_MMS", "unread", "",
                          std::nullopt};
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
  std::latch start(kThreads);
  std::vector<const MultiEnumMap*> seen(kThreads);
  std::vector<std::optional<std::string>> names(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      seen[i] = &getMultiEnumMap();
      names[i] = enumToString("sms", "6");
    });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(seen[i], seen[0]) << "thread " << i;
    EXPECT_EQ(names[i], E_Sms_Queued) << "thread " << i;
  }
}

}  // namespace
}  // namespace xr
