// contacts/contact_info.h: the contact record that the application fills and VCardInfo reads.
// A plain value type: copy it, move it, fill its fields directly. Every text may be absent
// (std::nullopt) as well as empty; each group keeps its items in the order given. Type
// fields hold the enumeration names of contact_enums.h (E_Number_Mobile, ...).
#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/platform/image.h"

namespace xr {

struct ContactNumberItem {
  std::optional<std::string> mobile;      // the phone number as the contact holds it
  std::optional<std::string> mobileType;  // E_Number_...
};

struct ContactEmailItem {
  std::optional<std::string> email;
  std::optional<std::string> emailType;  // E_Email_...
};

struct ContactImItem {
  std::optional<std::string> im;      // the handle
  std::optional<std::string> imType;  // E_Im_...
};

struct ContactDateItem {
  std::optional<std::string> date;      // written as it is, not reformatted
  std::optional<std::string> dateType;  // E_Date_...
};

struct ContactAddressItem {
  std::optional<std::string> addressType;  // E_Address_...
  std::optional<std::string> street;
  std::optional<std::string> city;
  std::optional<std::string> region;
  std::optional<std::string> postcode;
  std::optional<std::string> country;
};

struct ContactOrganizationItem {
  std::optional<std::string> company;
  std::optional<std::string> department;
  std::optional<std::string> title;  // the contact's title there
};

struct ContactWebsiteItem {
  std::optional<std::string> website;
};

struct ContactNoteItem {
  std::optional<std::string> note;
};

// The items of one field of a contact, in order.
template <class Item>
struct ContactFieldGroup {
  std::vector<Item> arrItem;
};

// The user-data key under which a contact lists the names of the groups it belongs to.
inline constexpr char kContactGroupNamesKey[] = "ContactGroupNames";

struct ContactInfo {
  std::optional<std::string> familyName;
  std::optional<std::string> middleName;
  std::optional<std::string> givenName;
  std::optional<std::string> prefix;
  std::optional<std::string> suffix;
  std::optional<std::string> displayName;
  std::optional<std::string> nickname;

  ContactFieldGroup<ContactNumberItem> groupNumber;
  ContactFieldGroup<ContactEmailItem> groupEmail;
  ContactFieldGroup<ContactImItem> groupIm;
  ContactFieldGroup<ContactDateItem> groupDate;
  ContactFieldGroup<ContactAddressItem> groupAddress;
  ContactFieldGroup<ContactOrganizationItem> groupOrganization;
  ContactFieldGroup<ContactWebsiteItem> groupWebsite;
  ContactFieldGroup<ContactNoteItem> groupNote;

  // Lists of texts by key; kContactGroupNamesKey holds the contact's group names.
  std::map<std::string, std::vector<std::string>, std::less<>> userData;

  std::shared_ptr<const Image> icon;  // the photo; nullptr when there is none

  // The list stored under key, or nullptr when there is none.
  const std::vector<std::string>* userDataForKey(std::string_view key) const {
    auto entry = userData.find(key);
    return entry == userData.end() ? nullptr : &entry->second;
  }
};

}  // namespace xr
