// contacts/contact_csv.h: contacts read from a CSV file, as address books export them: the
// header line's columns (contact_csv_columns.h), then one contact per data row
// (contact_csv_row.h).
//
// Nothing is dropped in silence: a non-empty value that has no place in a contact (a column
// nobody knows, a repeated column, a custom label, a field beyond the header) is counted by
// column in the reader's summary, and a strict reader stops at the first one.
//
// ContactCsvReader reads the rows as standard CSV (quoted fields with "" and line breaks, a
// byte order mark, UTF-16, comma, semicolon or tab between fields, legacy encodings; see
// input/csv_standard_reader.h). A guessed encoding is confirmed by the header: when the
// header decoded in it names no contact field, the other legacy encodings are tried, and the
// one whose header names the most is kept. A header that names no field at all is an error.
// Bytes that the encoding doesn't explain are replaced by U+FFFD and counted with their lines
// in the summary; a strict reader stops at the first. One thread at a time per object.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/contacts/contact_csv_row.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"

namespace xr {

class StandardCsvReader;

// What one import has done so far.
struct XR_EXPORT ContactCsvSummary {
  std::uint64_t contacts = 0;   // rows that gave a contact
  std::uint64_t numbers = 0;    // telephone numbers in those contacts
  std::uint64_t emails = 0;     // e-mail addresses in those contacts
  std::uint64_t blankRows = 0;  // rows without a placed value
  // Per column with unplaced values: the column's name and how many values it lost, in
  // column order.
  std::vector<std::pair<std::string, std::uint64_t>> unplaced;
  // Bytes that the encoding doesn't explain, replaced by U+FFFD: how many, and the first
  // lines they are on (at most DecodeDamage::kMaxLines).
  std::uint64_t undecodable = 0;
  std::vector<std::uint64_t> undecodableLines;
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
  // Strict also makes the first undecodable byte an Error naming its line.
  void setStrict(bool strict) { strict_ = strict; }
  // Before open(): the separator and the encoding (a name as encodingDisplayName() takes it);
  // none, the default, finds them from the input.
  void setDelimiter(std::optional<char> delimiter) { delimiter_ = delimiter; }
  void setEncoding(std::optional<std::string> encoding) { encoding_ = std::move(encoding); }

  // Opens input (which the reader opens if nobody has) and reads the header line; false with
  // the error set when it can't be read, is in an encoding the reader refuses, or is empty.
  // Photo file names are taken relative to photoBase.
  bool open(std::shared_ptr<InputStream> input, std::filesystem::path photoBase);
  // The columns of the header; valid after a successful open().
  const ContactCsvColumns& columns() const { return *columns_; }
  // After open(): the separator taken, and the encoding's display name ("UTF-8",
  // "Windows-1252", ...); ',' and "" before.
  char delimiter() const;
  const std::string& encoding() const;

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
  // Copies the reader's undecodable bytes into the summary; false (the error set) when strict
  // and one is on a line up to upTo (decoding runs a block ahead of the records).
  bool checkUndecodable(std::uint64_t upTo);

  std::unique_ptr<StandardCsvReader> csv_;
  std::unique_ptr<ContactCsvColumns> columns_;
  std::filesystem::path photoBase_;
  bool strict_ = false;
  std::optional<char> delimiter_;
  std::optional<std::string> encoding_;
  std::uint64_t errorLine_ = 0;
  std::string errorReason_;
  ContactCsvSummary summary_;
  std::vector<std::uint64_t> unplacedByColumn_;
  std::vector<ContactCsvUnplaced> rowUnplaced_;
};

}  // namespace xr
