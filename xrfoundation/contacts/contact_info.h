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

// One phone number of a contact and its kind.
struct ContactNumberItem {
  std::optional<std::string> mobile;      // the phone number as the contact holds it
  std::optional<std::string> mobileType;  // E_Number_...
};

// One e-mail address of a contact and its kind.
struct ContactEmailItem {
  std::optional<std::string> email;      // the address
  std::optional<std::string> emailType;  // E_Email_...
};

// One instant-messaging handle of a contact and its service.
struct ContactImItem {
  std::optional<std::string> im;      // the handle
  std::optional<std::string> imType;  // E_Im_...
};

// One date of a contact (birthday, anniversary, other) and its kind.
struct ContactDateItem {
  std::optional<std::string> date;      // written as it is, not reformatted
  std::optional<std::string> dateType;  // E_Date_...
};

// One postal address of a contact, in parts, and its kind.
struct ContactAddressItem {
  std::optional<std::string> addressType;  // E_Address_...
  std::optional<std::string> street;       // street and house number
  std::optional<std::string> city;         // town or locality
  std::optional<std::string> region;       // state, province or county
  std::optional<std::string> postcode;     // postal code, as written
  std::optional<std::string> country;      // country name, as written
};

// One organisation the contact belongs to, and the contact's title there.
struct ContactOrganizationItem {
  std::optional<std::string> company;     // the organisation's name
  std::optional<std::string> department;  // the unit within it
  std::optional<std::string> title;       // the contact's title there
};

// One web address of a contact.
struct ContactWebsiteItem {
  std::optional<std::string> website;  // the address, as written
};

// One free-text note on a contact.
struct ContactNoteItem {
  std::optional<std::string> note;  // free text; line breaks are escaped when written
};

// The items of one field of a contact, in order.
template <class Item>
struct ContactFieldGroup {
  std::vector<Item> arrItem;  // in the order given
};

// The user-data key under which a contact lists the names of the groups it belongs to.
inline constexpr char kContactGroupNamesKey[] = "ContactGroupNames";

// One contact: its name parts, its typed fields (each a list of items), user data and photo.
struct ContactInfo {
  std::optional<std::string> familyName;   // surname
  std::optional<std::string> middleName;   // additional names
  std::optional<std::string> givenName;    // first name
  std::optional<std::string> prefix;       // honorific before the name ("Dr.")
  std::optional<std::string> suffix;       // after the name ("Jr.")
  std::optional<std::string> displayName;  // the name as shown; written as the vCard FN
  std::optional<std::string> nickname;     // written as the vCard NICKNAME

  ContactFieldGroup<ContactNumberItem> groupNumber;              // phone numbers
  ContactFieldGroup<ContactEmailItem> groupEmail;                // e-mail addresses
  ContactFieldGroup<ContactImItem> groupIm;                      // instant-messaging handles
  ContactFieldGroup<ContactDateItem> groupDate;                  // birthdays and other dates
  ContactFieldGroup<ContactAddressItem> groupAddress;            // postal addresses
  ContactFieldGroup<ContactOrganizationItem> groupOrganization;  // organisations and titles
  ContactFieldGroup<ContactWebsiteItem> groupWebsite;            // web addresses
  ContactFieldGroup<ContactNoteItem> groupNote;                  // notes

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
