// contacts/contact_enums_test.cpp
#include "xrfoundation/contacts/contact_enums.h"

#include <gtest/gtest.h>

#include <latch>
#include <set>
#include <thread>
#include <vector>

namespace xr {
namespace {

struct Row {
  const char* kind;  // nullptr: not registered
  const char* code;
  const char* name;
  const char* identifier;  // the constant's own name, spelled out
};

#define XR_ROW(kind, code, name) \
  { kind, code, name, #name }
constexpr Row kRows[] = {
    XR_ROW("number", "1", E_Number_Home),
    XR_ROW("number", "2", E_Number_Mobile),
    XR_ROW("number", "3", E_Number_Work),
    XR_ROW("number", "4", E_Number_FaxWork),
    XR_ROW("number", "5", E_Number_FaxHome),
    XR_ROW("number", "6", E_Number_Pager),
    XR_ROW("number", "7", E_Number_Other),
    XR_ROW("number", "8", E_Number_Callback),
    XR_ROW("number", "9", E_Number_Car),
    XR_ROW("number", "10", E_Number_CompanyMain),
    XR_ROW("number", "11", E_Number_ISDN),
    XR_ROW("number", "12", E_Number_Main),
    XR_ROW("number", "13", E_Number_OtherFax),
    XR_ROW("number", "14", E_Number_Radio),
    XR_ROW("number", "15", E_Number_Telex),
    XR_ROW("number", "16", E_Number_TTY),
    XR_ROW("number", "17", E_Number_WorkMobile),
    XR_ROW("number", "18", E_Number_WorkPager),
    XR_ROW("number", "19", E_Number_Assistant),
    XR_ROW("number", "20", E_Number_MMS),
    XR_ROW("email", "1", E_Email_Home),
    XR_ROW("email", "2", E_Email_Work),
    XR_ROW("email", "3", E_Email_Other),
    XR_ROW("email", "4", E_Email_Mobile),
    XR_ROW("im", "0", E_Im_AIM),
    XR_ROW("im", "1", E_Im_MSN),
    XR_ROW("im", "2", E_Im_Yahoo),
    XR_ROW("im", "3", E_Im_Skype),
    XR_ROW("im", "4", E_Im_QQ),
    XR_ROW("im", "5", E_Im_GoogleTalk),
    XR_ROW("im", "6", E_Im_ICQ),
    XR_ROW("im", "7", E_Im_Jabber),
    XR_ROW("im", "8", E_Im_NetMeeting),
    XR_ROW("date", "1", E_Date_Anniversary),
    XR_ROW("date", "2", E_Date_Other),
    XR_ROW("date", "3", E_Date_Birthday),
    XR_ROW("address", "1", E_Address_Home),
    XR_ROW("address", "2", E_Address_Work),
    XR_ROW("address", "3", E_Address_Other),
    XR_ROW("organization", "1", E_Organization_Work),
    XR_ROW("organization", "2", E_Organization_Other),
    XR_ROW(nullptr, "1", E_SipAddress_Home),
    XR_ROW(nullptr, "2", E_SipAddress_Work),
    XR_ROW(nullptr, "3", E_SipAddress_Other),
    XR_ROW("sms", "1", E_Sms_Inbox),
    XR_ROW("sms", "2", E_Sms_Sent),
    XR_ROW("sms", "3", E_Sms_Draft),
    XR_ROW("sms", "4", E_Sms_Outbox),
    XR_ROW("sms", "5", E_Sms_Failed),
    XR_ROW("sms", "6", E_Sms_Queued),
};
#undef XR_ROW

TEST(ContactEnumsTest, EveryNameIsItsOwnTextAndUnique) {
  std::set<std::string> seen;
  for (const Row& row : kRows) {
    EXPECT_STREQ(row.name, row.identifier);
    EXPECT_TRUE(seen.insert(row.name).second) << "duplicate " << row.name;
  }
  EXPECT_EQ(seen.size(), 50u);
  EXPECT_STREQ(SmsCategoryType_Unread, "unread");
  EXPECT_STREQ(SmsCategoryType_Favorite, "favorite");
}

TEST(ContactEnumsTest, TranslatesEveryRegisteredCodeBothWays) {
  for (const Row& row : kRows) {
    if (!row.kind) continue;
    EXPECT_EQ(enumToString(row.kind, row.code), row.name) << row.kind << " " << row.code;
    EXPECT_EQ(stringToEnum(row.name), row.code) << row.name;
  }
}

TEST(ContactEnumsTest, BuildersHoldExactlyTheirKindsRows) {
  const struct {
    const char* kind;
    EnumDictionary (*make)();
  } builders[] = {
      {"number", makeNumberEnumDictionary},   {"email", makeEmailEnumDictionary},
      {"im", makeImEnumDictionary},           {"date", makeDateEnumDictionary},
      {"address", makeAddressEnumDictionary}, {"organization", makeOrganizationEnumDictionary},
      {"sms", makeSmsEnumDictionary},         {nullptr, makeSipAddressEnumDictionary},
  };
  for (const auto& builder : builders) {
    EnumDictionary expected;
    for (const Row& row : kRows) {
      const bool sameKind = builder.kind && row.kind ? std::string(builder.kind) == row.kind
                                                     : builder.kind == row.kind;
      if (sameKind) expected.emplace(row.code, row.name);
    }
    EnumDictionary first = builder.make();
    EXPECT_EQ(first, expected) << (builder.kind ? builder.kind : "sip");
    // Each call builds a dictionary of its own.
    first.clear();
    EXPECT_EQ(builder.make(), expected) << (builder.kind ? builder.kind : "sip");
  }
}

TEST(ContactEnumsTest, UntranslatableInputComesBackUnchanged) {
  const struct {
    std::optional<std::string> kind, code, expected;
  } forward[] = {
      {"number", "21", "21"},
      {"number", "02", "02"},  // keys are matched exactly, no numeric
                               // parsing
      {"number", " 2", " 2"},
      {"Number", "2", "2"},  // kind keys are case-sensitive
      {"phone", "1", "1"},
      {std::nullopt, "1", "1"},
      {"number", std::nullopt, std::nullopt},
      {"number", "", ""},
  };
  for (const auto& row : forward) {
    EXPECT_EQ(enumToString(row.kind, row.code), row.expected)
        << row.kind.value_or("(null)") << " / " << row.code.value_or("(null)");
  }
  const struct {
    std::optional<std::string> name, expected;
  } reverse[] = {
      {"E_SipAddress_Home", "E_SipAddress_Home"},  // the SIP dictionary is not registered
      {"e_number_mms", "e_number_mms"},
      {"E_NUMBER_MMS", "E_NUMBER_MMS"},
      {"unread", "unread"},
      {"", ""},
      {std::nullopt, std::nullopt},
  };
  for (const auto& row : reverse) {
    EXPECT_EQ(stringToEnum(row.name), row.expected) << row.name.value_or("(null)");
  }
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
