// contacts/contact_enums.h: the names of contact-field kinds (phone number, e-mail, instant
// messaging, date, postal address, organisation, SIP address) and message boxes, and the
// process-wide registry that translates the device's integer type codes to these names and back.
//
// Every name is a text constant whose text is its own identifier: E_Number_Mobile is the text
// "E_Number_Mobile". The device writes the same kind as a decimal code text ("2"). Each
// make...EnumDictionary() builds a fresh code-text -> name dictionary; getMultiEnumMap() holds
// the registered ones for the life of the process and may be read from any thread.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "xrfoundation/export.h"

namespace xr {

// Declares a name constant whose text cannot drift from its identifier.
#define XR_ENUM_NAME(name) inline constexpr char name[] = #name

// Phone numbers, kind "number", codes 1 to 20.
XR_ENUM_NAME(E_Number_Home);
XR_ENUM_NAME(E_Number_Mobile);
XR_ENUM_NAME(E_Number_Work);
XR_ENUM_NAME(E_Number_FaxWork);
XR_ENUM_NAME(E_Number_FaxHome);
XR_ENUM_NAME(E_Number_Pager);
XR_ENUM_NAME(E_Number_Other);
XR_ENUM_NAME(E_Number_Callback);
XR_ENUM_NAME(E_Number_Car);
XR_ENUM_NAME(E_Number_CompanyMain);
XR_ENUM_NAME(E_Number_ISDN);
XR_ENUM_NAME(E_Number_Main);
XR_ENUM_NAME(E_Number_OtherFax);
XR_ENUM_NAME(E_Number_Radio);
XR_ENUM_NAME(E_Number_Telex);
XR_ENUM_NAME(E_Number_TTY);
XR_ENUM_NAME(E_Number_WorkMobile);
XR_ENUM_NAME(E_Number_WorkPager);
XR_ENUM_NAME(E_Number_Assistant);
XR_ENUM_NAME(E_Number_MMS);

// E-mail addresses, kind "email", codes 1 to 4.
XR_ENUM_NAME(E_Email_Home);
XR_ENUM_NAME(E_Email_Work);
XR_ENUM_NAME(E_Email_Other);
XR_ENUM_NAME(E_Email_Mobile);

// Instant-messaging services, kind "im": the only kind whose codes start at 0 (0 to 8).
XR_ENUM_NAME(E_Im_AIM);
XR_ENUM_NAME(E_Im_MSN);
XR_ENUM_NAME(E_Im_Yahoo);
XR_ENUM_NAME(E_Im_Skype);
XR_ENUM_NAME(E_Im_QQ);
XR_ENUM_NAME(E_Im_GoogleTalk);
XR_ENUM_NAME(E_Im_ICQ);
XR_ENUM_NAME(E_Im_Jabber);
XR_ENUM_NAME(E_Im_NetMeeting);

// Dates, kind "date", codes 1 to 3.
XR_ENUM_NAME(E_Date_Anniversary);
XR_ENUM_NAME(E_Date_Other);
XR_ENUM_NAME(E_Date_Birthday);

// Postal addresses, kind "address", codes 1 to 3.
XR_ENUM_NAME(E_Address_Home);
XR_ENUM_NAME(E_Address_Work);
XR_ENUM_NAME(E_Address_Other);

// Organisations, kind "organization", codes 1 and 2.
XR_ENUM_NAME(E_Organization_Work);
XR_ENUM_NAME(E_Organization_Other);

// SIP addresses, codes 1 to 3; not registered in the process-wide map.
XR_ENUM_NAME(E_SipAddress_Home);
XR_ENUM_NAME(E_SipAddress_Work);
XR_ENUM_NAME(E_SipAddress_Other);

// Message boxes, kind "sms", codes 1 to 6.
XR_ENUM_NAME(E_Sms_Inbox);
XR_ENUM_NAME(E_Sms_Sent);
XR_ENUM_NAME(E_Sms_Draft);
XR_ENUM_NAME(E_Sms_Outbox);
XR_ENUM_NAME(E_Sms_Failed);
XR_ENUM_NAME(E_Sms_Queued);

#undef XR_ENUM_NAME

// Message categories; lower case and in no dictionary.
inline constexpr char SmsCategoryType_Unread[] = "unread";
inline constexpr char SmsCategoryType_Favorite[] = "favorite";

// Code text ("0", "7", "20": plain decimal) -> enumeration name.
using EnumDictionary = std::map<std::string, std::string, std::less<>>;

// Each call builds a new dictionary owned by the caller.
XR_EXPORT EnumDictionary makeNumberEnumDictionary();        // 20 entries
XR_EXPORT EnumDictionary makeEmailEnumDictionary();         // 4
XR_EXPORT EnumDictionary makeImEnumDictionary();            // 9, codes from 0
XR_EXPORT EnumDictionary makeDateEnumDictionary();          // 3
XR_EXPORT EnumDictionary makeAddressEnumDictionary();       // 3
XR_EXPORT EnumDictionary makeOrganizationEnumDictionary();  // 2
XR_EXPORT EnumDictionary makeSipAddressEnumDictionary();    // 3
XR_EXPORT EnumDictionary makeSmsEnumDictionary();           // 6

// Kind key ("number", "im", ...) -> that kind's dictionary. Lookups never fail: whatever
// cannot be translated comes back unchanged, so a caller tells a translation from a miss only
// by comparing the result with its input. Not synchronised: fill it, then share it read-only.
class XR_EXPORT MultiEnumMap {
 public:
  MultiEnumMap() = default;

  // Stores dict under kind, replacing any dictionary already stored there.
  void addEnum(std::string kind, EnumDictionary dict);

  // The name stored under code in kind's dictionary, else code itself. Keys are matched
  // exactly: "02" is not "2". An absent code gives absent; an absent kind gives code.
  std::optional<std::string> nameOfKind(const std::optional<std::string>& kind,
                                        const std::optional<std::string>& code) const;

  // The code text under which name is stored in any registered dictionary, else name itself
  // (case-sensitive). An absent name gives absent.
  std::optional<std::string> valueOfName(const std::optional<std::string>& name) const;

 private:
  std::map<std::string, EnumDictionary, std::less<>> dictEnumObj_;
};

// The process-wide map with the "number", "email", "im", "date", "address", "organization"
// and "sms" dictionaries. Built once on the first call from whichever thread, never destroyed.
XR_EXPORT const MultiEnumMap& getMultiEnumMap();

// nameOfKind on the process-wide map. The code is text: "2", not 2.
XR_EXPORT std::optional<std::string> enumToString(const std::optional<std::string>& kind,
                                                  const std::optional<std::string>& code);
// valueOfName on the process-wide map: the code text of name ("E_Number_Mobile" gives "2"),
// else name itself.
XR_EXPORT std::optional<std::string> stringToEnum(const std::optional<std::string>& name);

}  // namespace xr
