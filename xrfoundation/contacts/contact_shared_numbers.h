// contacts/contact_shared_numbers.h: the contacts that share a telephone number, by the
// library's comparison -- findSharedNumbers (phone/shared_numbers.h) over the contacts
// themselves, so that a caller need not copy their numbers out first.
//
// Pure: reads its input only, keeps no state; any thread may call it.
#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"
#include "xrfoundation/phone/shared_numbers.h"

namespace xr {

// Groups the contacts whose telephone numbers (groupNumber's values, in item order) denote the
// same number; a member's record is the contact's index, its numbers the texts as the contact
// holds them. Otherwise as findSharedNumbers over the numbers.
XR_EXPORT std::optional<std::vector<SharedNumberGroup>> findSharedNumbers(
    const std::vector<ContactInfo>& contacts, const std::function<bool(double)>& keepGoing = {});

}  // namespace xr
