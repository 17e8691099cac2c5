// contacts/label_conversion.h: fixed conversions between the address book's labels, the
// enumeration names of contact_enums.h and the type texts written into vCard 3.0 lines.
// Every function is pure and may be called from any thread. Comparisons are exact and
// case-sensitive; an absent, empty or unknown input takes the function's own default.
#pragma once
#include <map>
#include <optional>
#include <string>

#include "xrfoundation/export.h"

namespace xr {

// The address book's labels. The desktop address book this library once sat beside is not
// part of this platform, so the labels are the library's own eleven distinct fixed texts:
// "<kind>.<label>" in lower case. Only their distinctness matters to the conversions.
inline constexpr char kABPhoneWorkLabel[] = "phone.work";
inline constexpr char kABPhoneHomeLabel[] = "phone.home";
inline constexpr char kABPhoneMobileLabel[] = "phone.mobile";
inline constexpr char kABPhoneMainLabel[] = "phone.main";
inline constexpr char kABPhoneHomeFAXLabel[] = "phone.homefax";
inline constexpr char kABPhoneWorkFAXLabel[] = "phone.workfax";
inline constexpr char kABPhonePagerLabel[] = "phone.pager";
inline constexpr char kABEmailHomeLabel[] = "email.home";
inline constexpr char kABEmailWorkLabel[] = "email.work";
inline constexpr char kABAddressHomeLabel[] = "address.home";
inline constexpr char kABAddressWorkLabel[] = "address.work";

// Address-book label -> enumeration name. Defaults: E_Number_Other, E_Email_Other,
// E_Address_Other.
XR_EXPORT std::string convertPhoneLabel(const std::optional<std::string>& label);
XR_EXPORT std::string convertEmailLabel(const std::optional<std::string>& label);
XR_EXPORT std::string convertAddressLabel(const std::optional<std::string>& label);

// Enumeration name -> address-book label. The default is the literal "other", which is no
// address-book label.
XR_EXPORT std::string convertPhoneLabelToABPersonType(const std::optional<std::string>& name);
XR_EXPORT std::string convertEmailLabelToABPersonType(const std::optional<std::string>& name);
XR_EXPORT std::string convertAddressLabelToABPersonType(const std::optional<std::string>& name);

// Enumeration name -> vCard type text. Each call builds a new table owned by the caller.
using VCardTypeDictionary = std::map<std::string, std::string, std::less<>>;
XR_EXPORT VCardTypeDictionary
makeNumberToVCardDictionary();  // 15 entries; "FAX;type=WORK" and the like
XR_EXPORT VCardTypeDictionary makeAddressToVCardDictionary();  // "Home", "Work"; no entry for Other
XR_EXPORT VCardTypeDictionary makeImToVCardDictionary();  // 9 entries, "Google Talk" with its space

// The defaults differ on purpose, as the device and stored files expect them:
XR_EXPORT std::string convertContactNumberTypeToVCard(
    const std::optional<std::string>& name);  // "OTHER"
XR_EXPORT std::string convertContactEmailTypeToVCard(
    const std::optional<std::string>& name);  // "OTHER"
XR_EXPORT std::string convertContactDateTypeToVCard(
    const std::optional<std::string>& name);  // "Other"
XR_EXPORT std::optional<std::string> convertContactImTypeToVCard(
    const std::optional<std::string>& name);  // absent
XR_EXPORT std::optional<std::string> convertContactAddressTypeToVCard(
    const std::optional<std::string>& name);  // absent, also for E_Address_Other

}  // namespace xr
