// contacts/contact_csv.h: contacts read from a CSV file, as address books export them. The
// header line names the columns; ContactCsvColumns works out where each goes -- in this
// library's own column names or in the layouts that common programs write:
//   - the desktop mail program's ("First Name", "E-mail Address", "Mobile Phone",
//     "Business Fax", "Home Street", "Job Title", ... and "Title" for the name prefix);
//   - the web address book's ("Given Name", "E-mail 1 - Type"/"- Value", "Phone 1 - Type"/
//     "- Value" with several numbers in one value separated by " ::: ", "Address 1 - City",
//     "Organization 1 - Name", "Group Membership", and the newer "First Name"/"Phone 1 -
//     Label"/"Organization Name" form);
//   - the open-source mail client's ("Primary Email", "Work Phone", "Mobile Number",
//     "Home Address", "Home ZipCode", "Birth Year"/"Birth Month"/"Birth Day", ...).
// Titles compare without regard to letter case, spaces, '_' and '-'.
//
// Nothing is dropped in silence: a non-empty value that has no place in a contact (a column
// nobody knows, a repeated column, a custom label, a field beyond the header) is counted by
// column in the reader's summary, and a strict reader stops at the first one.
//
// ContactCsvReader reads the rows as standard CSV (quoted fields with "" and line breaks, a
// byte order mark, UTF-16). One thread at a time per object.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"

namespace xr {

class StandardCsvReader;

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
    Own,             // this library's names ("Given Name", "Phone 1", "Phone 1 Type", ...)
    DesktopMail,     // "E-mail Address", "Mobile Phone", "Home Street", "Title" = prefix
    WebAddressBook,  // "Phone 1 - Value", "E-mail 1 - Type", "Group Membership"
    OpenSourceMail,  // "Primary Email", "Mobile Number", "Home ZipCode", "Birth Year"
  };

  struct Binding;  // a column's field, item number and part

  // Works out the layout and each column's place from the titles (a UTF-8 byte order mark or
  // blanks around a title don't matter).
  explicit ContactCsvColumns(const std::vector<std::string>& titles);
  ~ContactCsvColumns();
  // Movable, like the titles it is made of.
  ContactCsvColumns(ContactCsvColumns&&) noexcept;
  // Movable, like the titles it is made of.
  ContactCsvColumns& operator=(ContactCsvColumns&&) noexcept;

  // The layout the titles were taken for.
  Layout layout() const { return layout_; }
  // The titles, trimmed, by column index.
  const std::vector<std::string>& titles() const { return titles_; }
  // Titles that name no field; their values are unplaced.
  const std::vector<std::string>& unknown() const { return unknown_; }
  // Titles that name a field an earlier column already fills; their values are unplaced.
  const std::vector<std::string>& repeated() const { return repeated_; }
  // The title of column index, or "(column N)" (N from 1) for a field beyond the header.
  std::string columnName(std::size_t column) const;

  // The contact in a row of fields (by column index). None and an empty error for a row
  // without a placed value; none and the reason for a row that can't be read (a kind word
  // of this library's own type columns that names no kind, a photo file that is missing or no
  // image). Photo paths are relative to photoBase. Values without a place go to unplaced.
  std::optional<ContactInfo> contactFromRecord(const std::vector<std::string_view>& fields,
                                               const std::filesystem::path& photoBase,
                                               std::vector<ContactCsvUnplaced>& unplaced,
                                               std::string& error) const;

 private:
  Layout layout_ = Layout::Own;
  std::vector<std::string> titles_;
  std::vector<std::optional<Binding>> bindings_;  // by column index; none: no place
  std::vector<std::string> unknown_;
  std::vector<std::string> repeated_;
};

// What one import has done so far.
struct XR_EXPORT ContactCsvSummary {
  std::uint64_t contacts = 0;   // rows that gave a contact
  std::uint64_t numbers = 0;    // telephone numbers in those contacts
  std::uint64_t emails = 0;     // e-mail addresses in those contacts
  std::uint64_t blankRows = 0;  // rows without a placed value
  // Per column with unplaced values: the column's name and how many values it lost, in
  // column order.
  std::vector<std::pair<std::string, std::uint64_t>> unplaced;
};

// Reads the contacts of a CSV input, header line first, one contact per data row.
class XR_EXPORT ContactCsvReader {
 public:
  // What next() found.
  enum class Next {
    Contact,  // a contact was read
    End,      // the input is used up
    Error,    // see errorLine() and errorReason()
  };

  ContactCsvReader();
  ~ContactCsvReader();
  ContactCsvReader(const ContactCsvReader&) = delete;
  ContactCsvReader& operator=(const ContactCsvReader&) = delete;

  // Strict: the first value without a place ends the reading with an Error.
  void setStrict(bool strict) { strict_ = strict; }

  // Opens input (which the reader opens if nobody has) and reads the header line; false with
  // the error set when it can't be read, is in an encoding the reader refuses, or is empty.
  // Photo file names are taken relative to photoBase.
  bool open(std::shared_ptr<InputStream> input, std::filesystem::path photoBase);
  // The columns of the header; valid after a successful open().
  const ContactCsvColumns& columns() const { return *columns_; }

  // The next contact; rows without a placed value are skipped (and counted). On Contact,
  // contact is replaced whole by the row's; on End and Error it is left as it was.
  Next next(ContactInfo& contact);

  // The line (from 1) the last error is about, or 0 when it is about no line (a read error).
  std::uint64_t errorLine() const { return errorLine_; }
  // Why reading failed, without the line; "" when nothing failed.
  const std::string& errorReason() const { return errorReason_; }
  // Counts so far; complete once next() has given End.
  const ContactCsvSummary& summary() const { return summary_; }
  // Bytes taken from the input so far, for a share read.
  std::uint64_t bytesRead() const;

 private:
  void countUnplaced(const std::vector<ContactCsvUnplaced>& unplaced);
  Next readerFailed();

  std::unique_ptr<StandardCsvReader> csv_;
  std::unique_ptr<ContactCsvColumns> columns_;
  std::filesystem::path photoBase_;
  bool strict_ = false;
  std::uint64_t errorLine_ = 0;
  std::string errorReason_;
  ContactCsvSummary summary_;
  std::vector<std::uint64_t> unplacedByColumn_;
  std::vector<ContactCsvUnplaced> rowUnplaced_;
};

// The display name that a row without one gives its contact: the name parts that have text,
// prefix to suffix, joined by spaces; none when no part has text.
XR_EXPORT std::optional<std::string> displayNameFromParts(const ContactInfo& contact);

}  // namespace xr
