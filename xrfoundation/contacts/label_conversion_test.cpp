// contacts/label_conversion_test.cpp
#include "xrfoundation/contacts/label_conversion.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "xrfoundation/contacts/contact_enums.h"

namespace xr {
namespace {

using Text = std::optional<std::string>;
const Text kAbsent = std::nullopt;

using Row = std::pair<Text, Text>;  // input, expected
Row row(Text in, Text expected) { return {std::move(in), std::move(expected)}; }

// Each conversion's rows, then its default for inputs of other kinds, unknown and absent.
void check(const char* function, const std::function<Text(const Text&)>& convert,
           const std::vector<Row>& rows) {
  for (const auto& [in, expected] : rows) {
    EXPECT_EQ(convert(in), expected) << function << " of " << in.value_or("(null)");
  }
}

TEST(LabelConversionTest, EveryRowAndDefault) {
  check("convertPhoneLabel", convertPhoneLabel,
        {row(kABPhoneWorkLabel, E_Number_Work), row(kABPhoneHomeLabel, E_Number_Home),
         row(kABPhoneMobileLabel, E_Number_Mobile), row(kABPhoneMainLabel, E_Number_Main),
         row(kABPhoneHomeFAXLabel, E_Number_FaxHome), row(kABPhoneWorkFAXLabel, E_Number_FaxWork),
         row(kABPhonePagerLabel, E_Number_Pager), row(kABEmailHomeLabel, E_Number_Other),
         row("phone.satellite", E_Number_Other), row("PHONE.WORK", E_Number_Other),
         row("", E_Number_Other), row(kAbsent, E_Number_Other)});
  check(
      "convertEmailLabel", convertEmailLabel,
      {row(kABEmailHomeLabel, E_Email_Home), row(kABEmailWorkLabel, E_Email_Work),
       row(kABPhoneWorkLabel, E_Email_Other), row("", E_Email_Other), row(kAbsent, E_Email_Other)});
  check("convertAddressLabel", convertAddressLabel,
        {row(kABAddressHomeLabel, E_Address_Home), row(kABAddressWorkLabel, E_Address_Work),
         row(kABEmailHomeLabel, E_Address_Other), row(kAbsent, E_Address_Other)});
  check("convertPhoneLabelToABPersonType", convertPhoneLabelToABPersonType,
        {row(E_Number_Work, kABPhoneWorkLabel), row(E_Number_Home, kABPhoneHomeLabel),
         row(E_Number_Mobile, kABPhoneMobileLabel), row(E_Number_Main, kABPhoneMainLabel),
         row(E_Number_FaxHome, kABPhoneHomeFAXLabel), row(E_Number_FaxWork, kABPhoneWorkFAXLabel),
         row(E_Number_Pager, kABPhonePagerLabel), row(E_Number_Other, "other"),
         row(E_Number_MMS, "other"), row("E_NUMBER_WORK", "other"), row(kAbsent, "other")});
  check("convertEmailLabelToABPersonType", convertEmailLabelToABPersonType,
        {row(E_Email_Home, kABEmailHomeLabel), row(E_Email_Work, kABEmailWorkLabel),
         row(E_Email_Mobile, "other"), row(E_Email_Other, "other"), row("", "other")});
  check("convertAddressLabelToABPersonType", convertAddressLabelToABPersonType,
        {row(E_Address_Home, kABAddressHomeLabel), row(E_Address_Work, kABAddressWorkLabel),
         row(E_Address_Other, "other"), row(kAbsent, "other")});
  check("convertContactNumberTypeToVCard", convertContactNumberTypeToVCard,
        {row(E_Number_Home, "HOME"), row(E_Number_Mobile, "CELL"), row(E_Number_Work, "WORK"),
         row(E_Number_FaxWork, "FAX;type=WORK"), row(E_Number_FaxHome, "FAX;type=HOME"),
         row(E_Number_Pager, "PAGER"), row(E_Number_Other, "OTHER"),
         row(E_Number_Callback, "CALLBACK"), row(E_Number_Car, "CAR"),
         row(E_Number_CompanyMain, "COMPANYMAIN"), row(E_Number_ISDN, "ISDN"),
         row(E_Number_WorkMobile, "CELL;type=WORK"), row(E_Number_WorkPager, "PAGER;type=WORK"),
         row(E_Number_Assistant, "ASSISTANT"), row(E_Number_MMS, "MMS")});
  check("convertContactNumberTypeToVCard", convertContactNumberTypeToVCard,
        {row(E_Number_Main, "OTHER"), row(E_Number_OtherFax, "OTHER"), row(E_Number_Radio, "OTHER"),
         row(E_Number_Telex, "OTHER"), row(E_Number_TTY, "OTHER"), row(E_Email_Home, "OTHER"),
         row("E_NUMBER_HOME", "OTHER"), row(kAbsent, "OTHER")});
  check("convertContactEmailTypeToVCard", convertContactEmailTypeToVCard,
        {row(E_Email_Home, "HOME"), row(E_Email_Work, "WORK"), row(E_Email_Mobile, "MOBILE"),
         row(E_Email_Other, "OTHER"), row(kAbsent, "OTHER")});
  check("convertContactDateTypeToVCard", convertContactDateTypeToVCard,
        {row(E_Date_Anniversary, "Anniversary"), row(E_Date_Birthday, "Birthdate"),
         row(E_Date_Other, "Other"), row("", "Other"), row(kAbsent, "Other")});
  check("convertContactImTypeToVCard", convertContactImTypeToVCard,
        {row(E_Im_AIM, "AIM"), row(E_Im_MSN, "MSN"), row(E_Im_Yahoo, "Yahoo"),
         row(E_Im_Skype, "Skype"), row(E_Im_QQ, "QQ"), row(E_Im_GoogleTalk, "Google Talk"),
         row(E_Im_ICQ, "ICQ"), row(E_Im_Jabber, "Jabber"), row(E_Im_NetMeeting, "Netmeeting"),
         row(E_Number_Home, kAbsent), row(kAbsent, kAbsent)});
  check("convertContactAddressTypeToVCard", convertContactAddressTypeToVCard,
        {row(E_Address_Home, "Home"), row(E_Address_Work, "Work"), row(E_Address_Other, kAbsent),
         row(kAbsent, kAbsent)});
}

TEST(LabelConversionTest, LabelsAreDistinctAndTablesAgreeWithTheConversions) {
  const std::set<std::string> labels = {
      kABPhoneWorkLabel,    kABPhoneHomeLabel,    kABPhoneMobileLabel, kABPhoneMainLabel,
      kABPhoneHomeFAXLabel, kABPhoneWorkFAXLabel, kABPhonePagerLabel,  kABEmailHomeLabel,
      kABEmailWorkLabel,    kABAddressHomeLabel,  kABAddressWorkLabel};
  EXPECT_EQ(labels.size(), 11u);
  EXPECT_EQ(labels.count("other"), 0u);
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
