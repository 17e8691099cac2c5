// contacts/contact_csv_row_internal.h: the row mapping (contact_csv_row.cpp) as the column
// vocabulary calls it for ContactCsvColumns::contactFromRecord.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/contacts/contact_csv_columns_internal.h"
#include "xrfoundation/contacts/contact_info.h"

namespace xr::contact_csv_internal {

// ContactCsvColumns::contactFromRecord (contact_csv_columns.h), with the columns' bindings by
// column index (none: no place).
std::optional<ContactInfo> contactFromRow(
    const ContactCsvColumns& columns,
    const std::vector<std::optional<ContactCsvColumns::Binding>>& bindings,
    const std::vector<std::string_view>& fields, const std::filesystem::path& photoBase,
    std::vector<ContactCsvUnplaced>& unplaced, std::string& error);

}  // namespace xr::contact_csv_internal
