// tools/xrf/contact_json.h: a contact as `xrf contacts show --json` prints it.
#pragma once
#include <nlohmann/json.hpp>

#include "xrfoundation/contacts/contact_info.h"

namespace xrf {

// Every field of contact as one JSON object, in a fixed key order: the name parts that are
// present ("displayName", "familyName", "givenName", "middleName", "prefix", "suffix",
// "nickname"); the lists "numbers", "emails", "ims", "dates", "addresses", "organizations",
// "websites", "notes" and "groups", empty when the contact has none; "photo" (width, height and
// the JPEG's size in bytes) when it has one; and "unplacedLines", the vCard lines that found no
// field. A kind is the label without its family prefix ("E_Number_Mobile" -> "Mobile"), null
// when the item has none.
nlohmann::ordered_json contactJson(const xr::ContactInfo& contact);

}  // namespace xrf
