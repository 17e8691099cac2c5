// contacts/contact_enums.cpp: the code tables of the device's type codes.
#include "xrfoundation/contacts/contact_enums.h"

#include <initializer_list>
#include <utility>

namespace xr {
namespace {

// Builds a dictionary whose codes run from first upwards, in the order of names.
EnumDictionary numbered(int first, std::initializer_list<const char*> names) {
  EnumDictionary dict;
  int code = first;
  for (const char* name : names) dict.emplace(std::to_string(code++), name);
  return dict;
}

}  // namespace

EnumDictionary makeNumberEnumDictionary() {
  return numbered(1,
                  {E_Number_Home,       E_Number_Mobile,      E_Number_Work,      E_Number_FaxWork,
                   E_Number_FaxHome,    E_Number_Pager,       E_Number_Other,     E_Number_Callback,
                   E_Number_Car,        E_Number_CompanyMain, E_Number_ISDN,      E_Number_Main,
                   E_Number_OtherFax,   E_Number_Radio,       E_Number_Telex,     E_Number_TTY,
                   E_Number_WorkMobile, E_Number_WorkPager,   E_Number_Assistant, E_Number_MMS});
}

EnumDictionary makeEmailEnumDictionary() {
  return numbered(1, {E_Email_Home, E_Email_Work, E_Email_Other, E_Email_Mobile});
}

EnumDictionary makeImEnumDictionary() {
  return numbered(0, {E_Im_AIM, E_Im_MSN, E_Im_Yahoo, E_Im_Skype, E_Im_QQ, E_Im_GoogleTalk,
                      E_Im_ICQ, E_Im_Jabber, E_Im_NetMeeting});
}

EnumDictionary makeDateEnumDictionary() {
  return numbered(1, {E_Date_Anniversary, E_Date_Other, E_Date_Birthday});
}

EnumDictionary makeAddressEnumDictionary() {
  return numbered(1, {E_Address_Home, E_Address_Work, E_Address_Other});
}

EnumDictionary makeOrganizationEnumDictionary() {
  return numbered(1, {E_Organization_Work, E_Organization_Other});
}

EnumDictionary makeSipAddressEnumDictionary() {
  return numbered(1, {E_SipAddress_Home, E_SipAddress_Work, E_SipAddress_Other});
}

EnumDictionary makeSmsEnumDictionary() {
  return numbered(1,
                  {E_Sms_Inbox, E_Sms_Sent, E_Sms_Draft, E_Sms_Outbox, E_Sms_Failed, E_Sms_Queued});
}

void MultiEnumMap::addEnum(std::string kind, EnumDictionary dict) {
  dictEnumObj_.insert_or_assign(std::move(kind), std::move(dict));
}

std::optional<std::string> MultiEnumMap::nameOfKind(const std::optional<std::string>& kind,
                                                    const std::optional<std::string>& code) const {
  if (!kind || !code) return code;
  auto dict = dictEnumObj_.find(*kind);
  if (dict == dictEnumObj_.end()) return code;
  auto entry = dict->second.find(*code);
  if (entry == dict->second.end()) return code;
  return entry->second;
}

std::optional<std::string> MultiEnumMap::valueOfName(const std::optional<std::string>& name) const {
  if (!name) return std::nullopt;
  for (const auto& [kind, dict] : dictEnumObj_) {
    for (const auto& [code, stored] : dict) {
      if (stored == *name) return code;
    }
  }
  return name;
}

const MultiEnumMap& getMultiEnumMap() {
  // A function-local static is built exactly once even when the first calls race, and is
  // never destroyed, so lookups during process exit still work.
  static const MultiEnumMap* const map = [] {
    auto* built = new MultiEnumMap;
    built->addEnum("number", makeNumberEnumDictionary());
    built->addEnum("email", makeEmailEnumDictionary());
    built->addEnum("im", makeImEnumDictionary());
    built->addEnum("date", makeDateEnumDictionary());
    built->addEnum("address", makeAddressEnumDictionary());
    built->addEnum("organization", makeOrganizationEnumDictionary());
    built->addEnum("sms", makeSmsEnumDictionary());
    return built;
  }();
  return *map;
}

std::optional<std::string> enumToString(const std::optional<std::string>& kind,
                                        const std::optional<std::string>& code) {
  return getMultiEnumMap().nameOfKind(kind, code);
}

std::optional<std::string> stringToEnum(const std::optional<std::string>& name) {
  return getMultiEnumMap().valueOfName(name);
}

}  // namespace xr
