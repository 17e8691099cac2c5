// contacts/label_conversion.cpp: the label and vCard type tables.
#include "xrfoundation/contacts/label_conversion.h"

#include <string_view>
#include <utility>

#include "xrfoundation/contacts/contact_enums.h"
#include "xrfoundation/contacts/label_conversion_internal.h"

namespace xr {
namespace {

struct LabelPair {
  const char* label;  // address-book label
  const char* name;   // enumeration name
};

// Rows are tested in order and the first match wins, in both directions.
constexpr LabelPair kPhoneLabels[] = {
    {kABPhoneWorkLabel, E_Number_Work},       {kABPhoneHomeLabel, E_Number_Home},
    {kABPhoneMobileLabel, E_Number_Mobile},   {kABPhoneMainLabel, E_Number_Main},
    {kABPhoneHomeFAXLabel, E_Number_FaxHome}, {kABPhoneWorkFAXLabel, E_Number_FaxWork},
    {kABPhonePagerLabel, E_Number_Pager},
};
constexpr LabelPair kEmailLabels[] = {
    {kABEmailHomeLabel, E_Email_Home},
    {kABEmailWorkLabel, E_Email_Work},
};
constexpr LabelPair kAddressLabels[] = {
    {kABAddressHomeLabel, E_Address_Home},
    {kABAddressWorkLabel, E_Address_Work},
};

constexpr char kOtherLabel[] = "other";

template <std::size_t N>
const char* nameOfLabel(const LabelPair (&pairs)[N], std::string_view label) {
  for (const LabelPair& pair : pairs) {
    if (label == pair.label) return pair.name;
  }
  return nullptr;
}

template <std::size_t N>
std::string labelToName(const LabelPair (&pairs)[N], const std::optional<std::string>& label,
                        const char* fallback) {
  const char* name = label ? nameOfLabel(pairs, *label) : nullptr;
  return name ? name : fallback;
}

template <std::size_t N>
std::string nameToLabel(const LabelPair (&pairs)[N], const std::optional<std::string>& name) {
  if (name) {
    for (const LabelPair& pair : pairs) {
      if (*name == pair.name) return pair.label;
    }
  }
  return kOtherLabel;
}

struct TypePair {
  const char* name;   // enumeration name
  const char* vcard;  // vCard type text
};

// The conversions search these fixed rows directly rather than building a dictionary per
// call: composing a record converts every typed field, and the answers are the same.
// Main, OtherFax, Radio, Telex and TTY have no vCard type and fall to "OTHER". A type such
// as "FAX;type=WORK" carries its second parameter inside its own text.
constexpr TypePair kNumberTypes[] = {
    {E_Number_Home, "HOME"},
    {E_Number_Mobile, "CELL"},
    {E_Number_Work, "WORK"},
    {E_Number_FaxWork, "FAX;type=WORK"},
    {E_Number_FaxHome, "FAX;type=HOME"},
    {E_Number_Pager, "PAGER"},
    {E_Number_Other, "OTHER"},
    {E_Number_Callback, "CALLBACK"},
    {E_Number_Car, "CAR"},
    {E_Number_CompanyMain, "COMPANYMAIN"},
    {E_Number_ISDN, "ISDN"},
    {E_Number_WorkMobile, "CELL;type=WORK"},
    {E_Number_WorkPager, "PAGER;type=WORK"},
    {E_Number_Assistant, "ASSISTANT"},
    {E_Number_MMS, "MMS"},
};
// Capitalised, not upper case; E_Address_Other has no type.
constexpr TypePair kAddressTypes[] = {{E_Address_Home, "Home"}, {E_Address_Work, "Work"}};
constexpr TypePair kImTypes[] = {
    {E_Im_AIM, "AIM"},     {E_Im_MSN, "MSN"},       {E_Im_Yahoo, "Yahoo"},
    {E_Im_Skype, "Skype"}, {E_Im_QQ, "QQ"},         {E_Im_GoogleTalk, "Google Talk"},
    {E_Im_ICQ, "ICQ"},     {E_Im_Jabber, "Jabber"}, {E_Im_NetMeeting, "Netmeeting"},
};

template <std::size_t N>
VCardTypeDictionary toDictionary(const TypePair (&rows)[N]) {
  VCardTypeDictionary table;
  for (const TypePair& row : rows) table.emplace(row.name, row.vcard);
  return table;
}

template <std::size_t N>
std::optional<std::string> lookUp(const TypePair (&rows)[N],
                                  const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  for (const TypePair& row : rows) {
    if (*name == row.name) return row.vcard;
  }
  return std::nullopt;
}

}  // namespace

std::string convertPhoneLabel(const std::optional<std::string>& label) {
  return labelToName(kPhoneLabels, label, E_Number_Other);
}
std::string convertEmailLabel(const std::optional<std::string>& label) {
  return labelToName(kEmailLabels, label, E_Email_Other);
}
std::string convertAddressLabel(const std::optional<std::string>& label) {
  return labelToName(kAddressLabels, label, E_Address_Other);
}

namespace label_internal {

const char* phoneKindOfLabel(std::string_view label) { return nameOfLabel(kPhoneLabels, label); }
const char* emailKindOfLabel(std::string_view label) { return nameOfLabel(kEmailLabels, label); }
const char* addressKindOfLabel(std::string_view label) {
  return nameOfLabel(kAddressLabels, label);
}

}  // namespace label_internal

std::string convertPhoneLabelToABPersonType(const std::optional<std::string>& name) {
  return nameToLabel(kPhoneLabels, name);
}
std::string convertEmailLabelToABPersonType(const std::optional<std::string>& name) {
  return nameToLabel(kEmailLabels, name);
}
std::string convertAddressLabelToABPersonType(const std::optional<std::string>& name) {
  return nameToLabel(kAddressLabels, name);
}

VCardTypeDictionary makeNumberToVCardDictionary() { return toDictionary(kNumberTypes); }
VCardTypeDictionary makeAddressToVCardDictionary() { return toDictionary(kAddressTypes); }
VCardTypeDictionary makeImToVCardDictionary() { return toDictionary(kImTypes); }

std::string convertContactNumberTypeToVCard(const std::optional<std::string>& name) {
  return lookUp(kNumberTypes, name).value_or("OTHER");
}

std::string convertContactEmailTypeToVCard(const std::optional<std::string>& name) {
  if (name == E_Email_Home) return "HOME";
  if (name == E_Email_Work) return "WORK";
  if (name == E_Email_Mobile) return "MOBILE";
  return "OTHER";
}

std::string convertContactDateTypeToVCard(const std::optional<std::string>& name) {
  if (name == E_Date_Anniversary) return "Anniversary";
  if (name == E_Date_Birthday) return "Birthdate";
  return "Other";
}

std::optional<std::string> convertContactImTypeToVCard(const std::optional<std::string>& name) {
  return lookUp(kImTypes, name);
}

std::optional<std::string> convertContactAddressTypeToVCard(
    const std::optional<std::string>& name) {
  return lookUp(kAddressTypes, name);
}

}  // namespace xr
