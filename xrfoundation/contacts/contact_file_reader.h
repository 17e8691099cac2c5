// contacts/contact_file_reader.h: one import for any contacts file. ContactFileReader tells a
// vCard file from an address book's CSV export by what the input holds, never by its name: a
// vCard input begins, after an optional byte order mark and blank lines, with a BEGIN:VCARD line
// (any letter case; also in UTF-16 or UTF-32 without a mark, where ASCII shows with zero bytes
// between). Everything else is read as CSV. It then reads one contact per next() through
// VCardContactReader or ContactCsvReader, with one set of results, errors, progress and summary
// for both. Memory stays bounded whatever the input's size: both readers stream.
//
// One thread at a time per object.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xrfoundation/contacts/contact_csv_columns.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"

namespace xr {

// The kind of contacts file, as its content shows it.
enum class ContactFileFormat {
  VCard,  // vCard records (2.1, 3.0, 4.0)
  Csv,    // an address book's CSV export, header line first
};

// What the sniffing of an input's first bytes found.
struct XR_EXPORT ContactFileSniff {
  ContactFileFormat format = ContactFileFormat::Csv;  // vCard or CSV
  // The encoding its first bytes show: "UTF-8", "UTF-16LE", ..., from a byte order mark or
  // from zero bytes between ASCII characters; "" when nothing tells (8-bit text).
  std::string encoding;
  bool marked = false;  // the encoding comes from a byte order mark
  bool blank = false;   // the bytes seen hold nothing but a mark and white space
};

// The format of an input that begins with head (its first bytes; a few KiB tell the format of
// any input but one that starts with that many blank lines, which is taken for CSV).
XR_EXPORT ContactFileSniff sniffContactFile(std::string_view head);

// What one import has read so far; complete once next() has given End.
struct XR_EXPORT ContactFileSummary {
  ContactFileFormat format = ContactFileFormat::Csv;  // vCard or CSV
  // The encoding the text was read in ("UTF-8", "UTF-16LE", "Windows-1252", ...).
  std::string encoding;
  // CSV only: the header's layout and language in English words ("desktop mail program",
  // "German"), and the field delimiter.
  std::string layout;
  std::string language;
  char delimiter = ',';
  std::uint64_t contacts = 0;  // contacts handed out
  std::uint64_t numbers = 0;   // telephone numbers in those contacts
  std::uint64_t emails = 0;    // e-mail addresses in those contacts
  // CSV: per column with values that found no place in a contact, its name and how many
  // values it lost, in column order.
  std::vector<std::pair<std::string, std::uint64_t>> unplaced;
  // Bytes that the encoding does not explain, replaced by U+FFFD: how many, and the first
  // lines (from 1) they are on.
  std::uint64_t replaced = 0;
  std::vector<std::uint64_t> replacedLines;
};

// "vCard, UTF-8", or for CSV the layout, the language, the delimiter and the encoding:
// "desktop mail program, German, ';', Windows-1252".
XR_EXPORT std::string describeContactFile(const ContactFileSummary& summary);

// Reads the contacts of a vCard or CSV input; see the top of this file.
class XR_EXPORT ContactFileReader {
 public:
  // What next() found.
  enum class Next {
    Contact,  // a contact was read
    End,      // the input is used up
    Error,    // see errorLine() and errorReason(); every later call gives Error too
  };

  ContactFileReader();
  ~ContactFileReader();
  ContactFileReader(const ContactFileReader&) = delete;
  ContactFileReader& operator=(const ContactFileReader&) = delete;

  // Options, taken at the next open(). Strict: a CSV value that has no place in a contact, or
  // a byte that the encoding does not explain, ends the reading with an Error naming its line
  // instead of being counted.
  void setStrict(bool strict) { strict_ = strict; }
  // The CSV field delimiter (',', ';', '\t', ...); 0, the default, takes ','.
  void setDelimiter(char delimiter) { delimiter_ = delimiter; }
  // The text's encoding when no byte order mark names one ("Windows-1252", "UTF-16LE", ...);
  // "", the default, takes what the bytes show.
  void setEncoding(std::string encoding) { encoding_ = std::move(encoding); }

  // Opens the file at path: its size is known (totalBytes()) and CSV photo file names are
  // taken relative to its folder. False with the error set when it can't be opened or read,
  // or a CSV header can't be read or names no contact field.
  bool open(const std::filesystem::path& path);
  // Opens input (which the reader opens if nobody has, and then closes); size: its length in
  // bytes when known; CSV photo file names are taken relative to photoBase.
  bool open(std::shared_ptr<InputStream> input, std::optional<std::uint64_t> size = std::nullopt,
            std::filesystem::path photoBase = ".");

  // The format found by open().
  ContactFileFormat format() const { return summary_.format; }
  // Whether the input held nothing but a byte order mark and white space (known after open()).
  bool blank() const { return sniff_.blank; }
  // A CSV input's header columns after a successful open(); null for vCard, or when open()
  // failed.
  const ContactCsvColumns* csvColumns() const;

  // The next contact. On Contact, contact is replaced whole; on End and Error it is left as
  // it was.
  Next next(ContactInfo& contact);

  // The line (from 1) the last error is about, or 0 when it is about no line (a read error, a
  // vCard input the reader cannot convert).
  std::uint64_t errorLine() const { return errorLine_; }
  // Why reading failed, without the line; "" when nothing failed.
  const std::string& errorReason() const { return errorReason_; }
  // Counts and findings so far; complete once next() has given End.
  const ContactFileSummary& summary() const { return summary_; }
  // Bytes taken from the input so far, never more than its size.
  std::uint64_t bytesRead() const;
  // The input's size in bytes, when known: bytesRead() reaches it at End.
  std::optional<std::uint64_t> totalBytes() const { return totalBytes_; }

 private:
  struct Readers;

  bool fail(std::uint64_t line, std::string reason);
  void close();
  void takeCsvSummary();

  bool strict_ = false;
  char delimiter_ = 0;
  std::string encoding_;
  std::unique_ptr<Readers> readers_;
  ContactFileSniff sniff_;
  ContactFileSummary summary_;
  std::optional<std::uint64_t> totalBytes_;
  std::uint64_t errorLine_ = 0;
  std::string errorReason_;
  bool failed_ = false;
};

}  // namespace xr
