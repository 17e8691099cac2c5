// tools/xrf/contact_jobs.h: the contact work that xrf contacts csv2vcf, xrf contacts dedupe and
// xrf demo share -- a contacts CSV file read through the library's import, a contact composed
// as a vCard record, and the records of a vCard file grouped by the telephone numbers they
// share.
//
// None of it prints: failures come back as texts for the caller to report. One thread at a
// time uses a reader; the grouping reads its input only.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_csv.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/input/buffered_input_stream.h"

namespace xrf {

// The library's contacts CSV import over a file named on the command line ("-": standard
// input), with errors worded for the user: "FILE:LINE: reason".
class ContactCsvReader {
 public:
  enum class Next { Contact, End, Error };

  ContactCsvReader();
  ~ContactCsvReader();

  // Strict: the first value without a place is an Error. Set before open().
  void setStrict(bool strict) { strict_ = strict; }
  // Opens the file and reads its header line; false with error() set when it can't be read,
  // has no header line or is in an encoding the reader refuses.
  bool open(const std::string& path);
  const xr::ContactCsvColumns& columns() const { return reader_.columns(); }

  // The next contact; rows without a placed value are skipped. End at the end of the file;
  // Error (see error()) for a row that can't be read or a read error.
  Next next(xr::ContactInfo& contact);

  // "FILE:LINE: reason" of the last failure, or "" when there was none.
  const std::string& error() const { return error_; }
  // Share of the file's bytes read so far, from 0.0 to 1.0 (0 for standard input).
  double fractionRead() const;
  std::uint64_t contactsRead() const { return reader_.summary().contacts; }
  const xr::ContactCsvSummary& summary() const { return reader_.summary(); }

 private:
  void setError();

  xr::ContactCsvReader reader_;
  std::string name_;  // the file's name in messages
  std::string error_;
  std::uint64_t fileSize_ = 0;
  bool strict_ = false;
};

// The vCard 3.0 record of a contact, in the device form or the standard form.
std::string composeVCard(const xr::ContactInfo& contact,
                         xr::VCardForm form = xr::VCardForm::Device);

// A vCard record's name and telephone numbers, as dedupe reads them.
struct CardNumbers {
  std::string name;                  // FN, else N ("Family, Given Middle"), else ""
  std::vector<std::string> numbers;  // the TEL values, in record order
};

// The name and TEL values of the first record in text, read by the library's vCard parser
// (folded lines, QUOTED-PRINTABLE and charsets decoded).
CardNumbers cardNumbersFromRecord(std::string_view record);

// The name and numbers of a parsed contact: the display name, else "Family, Given Middle ...".
CardNumbers cardNumbersFromContact(const xr::ContactInfo& contact);

// Records that share a telephone number, by the library's comparison (compareStrict).
struct DuplicateGroup {
  struct Member {
    std::size_t card;                  // index into the cards given
    std::vector<std::string> numbers;  // its numbers that match another member's number
  };
  std::vector<Member> members;  // two or more, in card order
};

// Groups the cards whose numbers denote the same number (xr::findSharedNumbers); a chain (A
// shares a number with B, B another with C) is one group. Groups come in the order of their
// first card. keepGoing (when given) is told the share done from time to time and stops the
// work when it answers false; the groups are then none.
std::optional<std::vector<DuplicateGroup>> findDuplicateNumbers(
    const std::vector<CardNumbers>& cards, const std::function<bool(double)>& keepGoing = {});

// The column titles that vcf2csv writes, in order, for contacts needing the given number of
// items per numbered family (Phone N, Email N, IM N, Date N, Address N, Website N).
struct CsvItemCounts {
  std::size_t phones = 0, emails = 0, ims = 0, dates = 0, addresses = 0, websites = 0;
};
CsvItemCounts csvItemCounts(const std::vector<xr::ContactInfo>& contacts);
std::vector<std::string> contactCsvTitles(const CsvItemCounts& counts);

// One contact as the fields under contactCsvTitles(counts), in csv2vcf's own column names and
// kind words; photoFile is the Photo column's text. What has no column (a second
// organisation, the lines the parser kept unplaced) is described in lost, one text each.
std::vector<std::string> contactCsvFields(const xr::ContactInfo& contact,
                                          const CsvItemCounts& counts, const std::string& photoFile,
                                          std::vector<std::string>& lost);

// Appends one RFC 4180 record: fields quoted when they hold '"', ',', CR or LF or start or
// end with white space, '"' doubled, CR LF at the end.
void appendCsvRecord(std::string& out, const std::vector<std::string>& fields);

// Writes the groups, one "Group N: ..." line each and a line per member:
//   "<indent>  #3 Ann Lee: +44 20 7946 0018"
void printDuplicateGroups(std::ostream& out, const std::vector<DuplicateGroup>& groups,
                          const std::vector<CardNumbers>& cards, std::string_view indent = "");

}  // namespace xrf
