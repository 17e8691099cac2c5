// contacts/testing/contact_text.h: every field of a contact as text, for tests that compare
// whole contacts, so that a difference shows where it is.
#pragma once
#include <string>

#include "xrfoundation/contacts/contact_info.h"

namespace xr::testing {

// One line per family that has something: the name parts, then each group's items
// ("tel='555 0100'/E_Number_Home"), the user data and the photo's size in pixels. A field that is
// absent is left out, an empty one is written as ''; an item's kind follows it after '/'.
std::string contactText(const ContactInfo& contact);

}  // namespace xr::testing
