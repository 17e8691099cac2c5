// contacts/contact_csv_writer.h: the writer of this library's own contacts CSV layout ("Given
// Name", "Phone 1", "Phone 1 Type", ...), whose every column ContactCsvColumns
// (contact_csv_columns.h) reads back to the same place. Pure functions; any thread.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"

namespace xr {

// How many items of each numbered family the written columns make room for (Phone N, Email N,
// IM N, Date N, Address N, Website N).
struct XR_EXPORT ContactCsvItemCounts {
  std::size_t phones = 0;     // Phone N columns
  std::size_t emails = 0;     // Email N columns
  std::size_t ims = 0;        // IM N columns
  std::size_t dates = 0;      // Date N columns
  std::size_t addresses = 0;  // Address N columns
  std::size_t websites = 0;   // Website N columns

  // Makes room for contact's items as well: each count rises to contact's, if that is more.
  void include(const ContactInfo& contact);
};

// The most items of each family that any of the contacts holds.
XR_EXPORT ContactCsvItemCounts contactCsvItemCounts(const std::vector<ContactInfo>& contacts);

// The own layout's column titles, in order, for the given number of items per family.
XR_EXPORT std::vector<std::string> contactCsvTitles(const ContactCsvItemCounts& counts);

// One contact as the fields under contactCsvTitles(counts), kinds as the own layout's words
// ("WorkMobile"); photoFile is the Photo column's text. What has no column (a second
// organisation, the vCard lines the parser kept unplaced) is added to lost, one text each.
XR_EXPORT std::vector<std::string> contactCsvFields(const ContactInfo& contact,
                                                    const ContactCsvItemCounts& counts,
                                                    const std::string& photoFile,
                                                    std::vector<std::string>& lost);

// Appends one RFC 4180 record: a field is quoted when it holds '"', ',', CR or LF or begins or
// ends with a space, '"' doubled inside; CR LF at the end.
XR_EXPORT void appendCsvRecord(std::string& out, const std::vector<std::string>& fields);

}  // namespace xr
