// contacts/contact_csv_columns.h: the column vocabulary of a contacts CSV file, as address
// books export them. The header line names the columns; ContactCsvColumns works out where each
// goes -- in this library's own column names or in the layouts that common programs write:
//   - the desktop mail program's ("First Name", "E-mail Address", "Mobile Phone",
//     "Business Fax", "Home Street", "Job Title", ... and "Title" for the name prefix);
//   - the web address book's ("Given Name", "E-mail 1 - Type"/"- Value", "Phone 1 - Type"/
//     "- Value" with several numbers in one value separated by " ::: ", "Address 1 - City",
//     "Organization 1 - Name", "Group Membership", and the newer "First Name"/"Phone 1 -
//     Label"/"Organization Name" form);
//   - the open-source mail client's ("Primary Email", "Work Phone", "Mobile Number",
//     "Home Address", "Home ZipCode", "Birth Year"/"Birth Month"/"Birth Day", ...);
//   - webmail exports ("Email Home", "Home Mobile", "Work Zip") and the business network's
//     connections ("Email Address", "Position", "Connected On");
// each in the user-interface languages listed in contacts/csv_columns.tsv, the reference of every
// title. The header's layout and language are those of the table its titles match best; a title
// of any other table still binds. Titles compare without regard to letter case (Unicode case
// folding, the same under every locale), Unicode normalisation, spaces, '_' and '-'.
//
// The writer of the own layout, whose every column ContactCsvColumns reads back to the same
// place, is contact_csv_writer.h (included here). A ContactCsvColumns is read-only once made,
// so any thread may use it.
#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_csv_writer.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"

namespace xr {

// Values of one row that found no place, by column index.
struct XR_EXPORT ContactCsvUnplaced {
  std::size_t column;  // index in the row (titles first, then fields beyond the header)
  std::string value;   // the value as it stood, trimmed
};

// Where each column of a contacts CSV goes, worked out once from the header's titles.
class XR_EXPORT ContactCsvColumns {
 public:
  // The program whose column names the header uses.
  enum class Layout {
    Own,              // this library's names ("Given Name", "Phone 1", "Phone 1 Type", ...)
    DesktopMail,      // "E-mail Address", "Mobile Phone", "Home Street", "Title" = prefix
    WebAddressBook,   // "Phone 1 - Value", "E-mail 1 - Type", "Group Membership"
    OpenSourceMail,   // "Primary Email", "Mobile Number", "Home ZipCode", "Birth Year"
    Webmail,          // "Email Home", "Home Mobile", "Work Zip"
    BusinessNetwork,  // "Email Address", "Position", "Connected On"
  };

  struct Binding;  // a column's field, item number and part

  // Works out the layout, the language and each column's place from the titles (a UTF-8 byte order
  // mark or blanks around a title don't matter).
  explicit ContactCsvColumns(const std::vector<std::string>& titles);
  ~ContactCsvColumns();
  // Movable, like the titles it is made of.
  ContactCsvColumns(ContactCsvColumns&&) noexcept;
  // Movable, like the titles it is made of.
  ContactCsvColumns& operator=(ContactCsvColumns&&) noexcept;

  // The layout the titles were taken for.
  Layout layout() const { return layout_; }
  // The layout's name in English words: "desktop mail program", "web address book".
  std::string layoutName() const;
  // The user-interface language of the titles, in English: "German". A header without a known
  // title is taken for this library's own layout in English.
  const std::string& languageName() const { return language_; }
  // The titles, trimmed, by column index.
  const std::vector<std::string>& titles() const { return titles_; }
  // Titles that name no field; their values are unplaced.
  const std::vector<std::string>& unknown() const { return unknown_; }
  // Titles that name a field an earlier column already fills; their values are unplaced.
  const std::vector<std::string>& repeated() const { return repeated_; }
  // The title of column index, or "(column N)" (N from 1) for a field beyond the header.
  std::string columnName(std::size_t column) const;

  // The contact in a row of fields (by column index; the mapping is contact_csv_row.h's). None and
  // an empty error for a row without a placed value; none and the reason for a row that can't be
  // read (a kind word of this library's own type columns that names no kind, a photo file that is
  // missing or no image). Photo paths are relative to photoBase. Values without a place go to
  // unplaced.
  std::optional<ContactInfo> contactFromRecord(const std::vector<std::string_view>& fields,
                                               const std::filesystem::path& photoBase,
                                               std::vector<ContactCsvUnplaced>& unplaced,
                                               std::string& error) const;

 private:
  Layout layout_ = Layout::Own;
  std::string language_;
  std::vector<std::string> titles_;
  std::vector<std::optional<Binding>> bindings_;  // by column index; none: no place
  std::vector<std::string> unknown_;
  std::vector<std::string> repeated_;
};

}  // namespace xr
