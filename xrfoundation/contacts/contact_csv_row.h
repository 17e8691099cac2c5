// contacts/contact_csv_row.h: one row of a contacts CSV as a contact. Callers reach the mapping
// through ContactCsvColumns::contactFromRecord (contact_csv_columns.h), which hands the row to
// this unit: name parts, items gathered from their numbered or named columns, kind words,
// several values in one field, dates from their parts and photos from files. Pure; any thread.
#pragma once
#include <optional>
#include <string>

#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"

namespace xr {

// The display name that a row without one gives its contact: the name parts that have text,
// prefix to suffix, joined by spaces; none when no part has text.
XR_EXPORT std::optional<std::string> displayNameFromParts(const ContactInfo& contact);

}  // namespace xr
