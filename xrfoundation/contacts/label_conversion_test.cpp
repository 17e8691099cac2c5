// contacts/label_conversion_test.cpp
#include "xrfoundation/contacts/label_conversion.h"

#include <gtest/gtest.h>

#include <set>

#include "xrfoundation/contacts/contact_enums.h"

namespace xr {
namespace {

using Text = std::optional<std::string>;
using ToName = std::string (*)(const Text&);

struct Case {
  const char* what;
  Text in;
  Text expected;
};

template <class Convert>
void check(const char* function, Convert convert, std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Text(convert(c.in)), c.expected) << function << " row " << c.what;
  }
}

TEST(LabelConversionTest, LabelsAreElevenDistinctTexts) {
  const std::set<std::string> labels = {
      kABPhoneWorkLabel,    kABPhoneHomeLabel,    kABPhoneMobileLabel, kABPhoneMainLabel,
      kABPhoneHomeFAXLabel, kABPhoneWorkFAXLabel, kABPhonePagerLabel,  kABEmailHomeLabel,
      kABEmailWorkLabel,    kABAddressHomeLabel,  kABAddressWorkLabel};
  EXPECT_EQ(labels.size(), 11u);
  EXPECT_EQ(labels.count("other"), 0u);
}

TEST(LabelConversionTest, AddressBookLabelsToNames) {
  check("convertPhoneLabel", convertPhoneLabel,
        {{"work", kABPhoneWorkLabel, E_Number_Work},
         {"home", kABPhoneHomeLabel, E_Number_Home},
         {"mobile", kABPhoneMobileLabel, E_Number_Mobile},
         {"main", kABPhoneMainLabel, E_Number_Main},
         {"home fax", kABPhoneHomeFAXLabel, E_Number_FaxHome},
         {"work fax", kABPhoneWorkFAXLabel, E_Number_FaxWork},
         {"pager", kABPhonePagerLabel, E_Number_Pager},
         {"e-mail label", kABEmailHomeLabel, E_Number_Other},
         {"unknown", "phone.satellite", E_Number_Other},
         {"upper case", "PHONE.WORK", E_Number_Other},
         {"empty", "", E_Number_Other},
         {"absent", std::nullopt, E_Number_Other}});
  check("convertEmailLabel", convertEmailLabel,
        {{"home", kABEmailHomeLabel, E_Email_Home},
         {"work", kABEmailWorkLabel, E_Email_Work},
         {"phone label", kABPhoneWorkLabel, E_Email_Other},
         {"empty", "", E_Email_Other},
         {"absent", std::nullopt, E_Email_Other}});
  check("convertAddressLabel", convertAddressLabel,
        {{"home", kABAddressHomeLabel, E_Address_Home},
         {"work", kABAddressWorkLabel, E_Address_Work},
         {"email label", kABEmailHomeLabel, E_Address_Other},
         {"absent", std::nullopt, E_Address_Other}});
}

TEST(LabelConversionTest, NamesToAddressBookLabels) {
  check("convertPhoneLabelToABPersonType", convertPhoneLabelToABPersonType,
        {{"work", E_Number_Work, kABPhoneWorkLabel},
         {"home", E_Number_Home, kABPhoneHomeLabel},
         {"mobile", E_Number_Mobile, kABPhoneMobileLabel},
         {"main", E_Number_Main, kABPhoneMainLabel},
         {"home fax", E_Number_FaxHome, kABPhoneHomeFAXLabel},
         {"work fax", E_Number_FaxWork, kABPhoneWorkFAXLabel},
         {"pager", E_Number_Pager, kABPhonePagerLabel},
         {"other", E_Number_Other, "other"},
         {"mms", E_Number_MMS, "other"},
         {"upper case", "E_NUMBER_WORK", "other"},
         {"absent", std::nullopt, "other"}});
  check("convertEmailLabelToABPersonType", convertEmailLabelToABPersonType,
        {{"home", E_Email_Home, kABEmailHomeLabel},
         {"work", E_Email_Work, kABEmailWorkLabel},
         {"mobile", E_Email_Mobile, "other"},
         {"other", E_Email_Other, "other"},
         {"empty", "", "other"}});
  check("convertAddressLabelToABPersonType", convertAddressLabelToABPersonType,
        {{"home", E_Address_Home, kABAddressHomeLabel},
         {"work", E_Address_Work, kABAddressWorkLabel},
         {"other", E_Address_Other, "other"},
         {"absent", std::nullopt, "other"}});
}

TEST(LabelConversionTest, NumberTypesToVCardCoverEveryNumberName) {
  const VCardTypeDictionary table = makeNumberToVCardDictionary();
  EXPECT_EQ(table.size(), 15u);
  check("convertContactNumberTypeToVCard", convertContactNumberTypeToVCard,
        {{"home", E_Number_Home, "HOME"},
         {"mobile", E_Number_Mobile, "CELL"},
         {"work", E_Number_Work, "WORK"},
         {"fax work", E_Number_FaxWork, "FAX;type=WORK"},
         {"fax home", E_Number_FaxHome, "FAX;type=HOME"},
         {"pager", E_Number_Pager, "PAGER"},
         {"other", E_Number_Other, "OTHER"},
         {"callback", E_Number_Callback, "CALLBACK"},
         {"car", E_Number_Car, "CAR"},
         {"company main", E_Number_CompanyMain, "COMPANYMAIN"},
         {"isdn", E_Number_ISDN, "ISDN"},
         {"main", E_Number_Main, "OTHER"},
         {"other fax", E_Number_OtherFax, "OTHER"},
         {"radio", E_Number_Radio, "OTHER"},
         {"telex", E_Number_Telex, "OTHER"},
         {"tty", E_Number_TTY, "OTHER"},
         {"work mobile", E_Number_WorkMobile, "CELL;type=WORK"},
         {"work pager", E_Number_WorkPager, "PAGER;type=WORK"},
         {"assistant", E_Number_Assistant, "ASSISTANT"},
         {"mms", E_Number_MMS, "MMS"},
         {"e-mail name", E_Email_Home, "OTHER"},
         {"upper case", "E_NUMBER_HOME", "OTHER"},
         {"absent", std::nullopt, "OTHER"}});
  // The table and the conversion agree row by row.
  for (const auto& [name, type] : table) EXPECT_EQ(convertContactNumberTypeToVCard(name), type);
}

TEST(LabelConversionTest, EmailAndDateTypesHaveTheirOwnDefaults) {
  check("convertContactEmailTypeToVCard", convertContactEmailTypeToVCard,
        {{"home", E_Email_Home, "HOME"},
         {"work", E_Email_Work, "WORK"},
         {"mobile", E_Email_Mobile, "MOBILE"},
         {"other", E_Email_Other, "OTHER"},
         {"absent", std::nullopt, "OTHER"}});
  check("convertContactDateTypeToVCard", convertContactDateTypeToVCard,
        {{"anniversary", E_Date_Anniversary, "Anniversary"},
         {"birthday", E_Date_Birthday, "Birthdate"},
         {"other", E_Date_Other, "Other"},
         {"empty", "", "Other"},
         {"absent", std::nullopt, "Other"}});
}

TEST(LabelConversionTest, ImAndAddressTypesHaveNoDefault) {
  EXPECT_EQ(makeImToVCardDictionary().size(), 9u);
  check("convertContactImTypeToVCard", convertContactImTypeToVCard,
        {{"aim", E_Im_AIM, "AIM"},
         {"msn", E_Im_MSN, "MSN"},
         {"yahoo", E_Im_Yahoo, "Yahoo"},
         {"skype", E_Im_Skype, "Skype"},
         {"qq", E_Im_QQ, "QQ"},
         {"google talk", E_Im_GoogleTalk, "Google Talk"},
         {"icq", E_Im_ICQ, "ICQ"},
         {"jabber", E_Im_Jabber, "Jabber"},
         {"netmeeting", E_Im_NetMeeting, "Netmeeting"},
         {"other kind", E_Number_Home, std::nullopt},
         {"absent", std::nullopt, std::nullopt}});
  EXPECT_EQ(makeAddressToVCardDictionary(),
            (VCardTypeDictionary{{E_Address_Home, "Home"}, {E_Address_Work, "Work"}}));
  check("convertContactAddressTypeToVCard", convertContactAddressTypeToVCard,
        {{"home", E_Address_Home, "Home"},
         {"work", E_Address_Work, "Work"},
         {"other", E_Address_Other, std::nullopt},
         {"absent", std::nullopt, std::nullopt}});
}

}  // namespace
}  // namespace xr
