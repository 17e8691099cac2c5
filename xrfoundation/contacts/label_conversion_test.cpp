#include "xrfoundation/contacts/label_conversion.h"

#include <gtest/gtest.h>

#include <functional>

#include "xrfoundation/contacts/contact_enums.h"

namespace xr {
namespace {

using Text = std::optional<std::string>;
using Conversion = std::function<Text(const Text&)>;

// Every input a conversion may meet: the address-book labels, every enumeration name in code
// order, and near misses (another case, empty).
std::vector<std::string> probes() {
  std::vector<std::string> all = {kABPhoneWorkLabel,    kABPhoneHomeLabel,
                                  kABPhoneMobileLabel,  kABPhoneMainLabel,
                                  kABPhoneHomeFAXLabel, kABPhoneWorkFAXLabel,
                                  kABPhonePagerLabel,   kABEmailHomeLabel,
                                  kABEmailWorkLabel,    kABAddressHomeLabel,
                                  kABAddressWorkLabel,  "PHONE.WORK",
                                  "E_NUMBER_HOME",      ""};
  for (auto make : {makeNumberEnumDictionary, makeEmailEnumDictionary, makeImEnumDictionary,
                    makeDateEnumDictionary, makeAddressEnumDictionary,
                    makeOrganizationEnumDictionary, makeSipAddressEnumDictionary}) {
    const EnumDictionary names = make();
    for (int code = 0; code <= static_cast<int>(names.size()); ++code) {
      if (auto name = names.find(std::to_string(code)); name != names.end()) {
        all.push_back(name->second);
      }
    }
  }
  return all;
}

// "input>output" for every probe whose result is not the default, then the default (the
// result for an absent input): one line pins the whole table.
std::string tableOf(const Conversion& convert) {
  const Text fallback = convert(std::nullopt);
  std::string text;
  for (const std::string& in : probes()) {
    if (const Text out = convert(in); out != fallback) text += in + ">" + out.value_or("-") + " ";
  }
  return text + "else " + fallback.value_or("(absent)");
}

TEST(LabelConversionTest, EveryTableAndDefault) {
  const std::pair<const char*, Conversion> conversions[] = {
      {"convertPhoneLabel", convertPhoneLabel},
      {"convertEmailLabel", convertEmailLabel},
      {"convertAddressLabel", convertAddressLabel},
      {"convertPhoneLabelToABPersonType", convertPhoneLabelToABPersonType},
      {"convertEmailLabelToABPersonType", convertEmailLabelToABPersonType},
      {"convertAddressLabelToABPersonType", convertAddressLabelToABPersonType},
      {"convertContactNumberTypeToVCard", convertContactNumberTypeToVCard},
      {"convertContactEmailTypeToVCard", convertContactEmailTypeToVCard},
      {"convertContactDateTypeToVCard", convertContactDateTypeToVCard},
      {"convertContactImTypeToVCard", convertContactImTypeToVCard},
      {"convertContactAddressTypeToVCard", convertContactAddressTypeToVCard},
  };
  std::string text;
  for (const auto& [name, convert] : conversions) text += name + (": " + tableOf(convert)) + "\n";
  EXPECT_EQ(text,
            "convertPhoneLabel: phone.work>E_Number_Work phone.home>E_Number_Home "
            "phone.mobile>E_Number_Mobile phone.main>E_Number_Main "
            "phone.homefax>E_Number_FaxHome phone.workfax>E_Number_FaxWork "
            "phone.pager>E_Number_Pager else E_Number_Other\n"
            "convertEmailLabel: email.home>E_Email_Home email.work>E_Email_Work else "
            "E_Email_Other\n"
            "convertAddressLabel: address.home>E_Address_Home address.work>E_Address_Work "
            "else E_Address_Other\n"
            "convertPhoneLabelToABPersonType: E_Number_Home>phone.home "
            "E_Number_Mobile>phone.mobile E_Number_Work>phone.work "
            "E_Number_FaxWork>phone.workfax E_Number_FaxHome>phone.homefax "
            "E_Number_Pager>phone.pager E_Number_Main>phone.main else other\n"
            "convertEmailLabelToABPersonType: E_Email_Home>email.home E_Email_Work>email.work "
            "else other\n"
            "convertAddressLabelToABPersonType: E_Address_Home>address.home "
            "E_Address_Work>address.work else other\n"
            "convertContactNumberTypeToVCard: E_Number_Home>HOME E_Number_Mobile>CELL "
            "E_Number_Work>WORK E_Number_FaxWork>FAX;type=WORK E_Number_FaxHome>FAX;type=HOME "
            "E_Number_Pager>PAGER E_Number_Callback>CALLBACK E_Number_Car>CAR "
            "E_Number_CompanyMain>COMPANYMAIN E_Number_ISDN>ISDN "
            "E_Number_WorkMobile>CELL;type=WORK E_Number_WorkPager>PAGER;type=WORK "
            "E_Number_Assistant>ASSISTANT E_Number_MMS>MMS else OTHER\n"
            "convertContactEmailTypeToVCard: E_Email_Home>HOME E_Email_Work>WORK "
            "E_Email_Mobile>MOBILE else OTHER\n"
            "convertContactDateTypeToVCard: E_Date_Anniversary>Anniversary "
            "E_Date_Birthday>Birthdate else Other\n"
            "convertContactImTypeToVCard: E_Im_AIM>AIM E_Im_MSN>MSN E_Im_Yahoo>Yahoo "
            "E_Im_Skype>Skype E_Im_QQ>QQ E_Im_GoogleTalk>Google Talk E_Im_ICQ>ICQ "
            "E_Im_Jabber>Jabber E_Im_NetMeeting>Netmeeting else (absent)\n"
            "convertContactAddressTypeToVCard: E_Address_Home>Home E_Address_Work>Work else "
            "(absent)\n");
}

TEST(LabelConversionTest, DictionariesAgreeWithTheConversions) {
  const VCardTypeDictionary numbers = makeNumberToVCardDictionary();
  EXPECT_EQ(numbers.size(), 15u);
  for (const auto& [name, type] : numbers) EXPECT_EQ(convertContactNumberTypeToVCard(name), type);
  const VCardTypeDictionary ims = makeImToVCardDictionary();
  EXPECT_EQ(ims.size(), 9u);
  for (const auto& [name, type] : ims) EXPECT_EQ(convertContactImTypeToVCard(name), type);
  EXPECT_EQ(makeAddressToVCardDictionary(),
            (VCardTypeDictionary{{E_Address_Home, "Home"}, {E_Address_Work, "Work"}}));
}

}  // namespace
}  // namespace xr
