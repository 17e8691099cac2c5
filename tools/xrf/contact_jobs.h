// tools/xrf/contact_jobs.h: the contact work that xrf contacts csv2vcf, xrf contacts dedupe and
// xrf demo share -- a contacts CSV file and a vCard file read through the library's imports,
// a contact composed
// as a vCard record, and the names and numbers of vCard records for the grouping by shared
// telephone numbers.
//
// None of it prints: failures come back as texts for the caller to report. One thread at a
// time uses a reader; the grouping reads its input only.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_csv.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/vcard_contact_reader.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/phone/shared_numbers.h"

namespace xrf {

// The library's contacts CSV import (xr::ContactCsvReader) over a file named on the command
// line ("-": standard input), with errors worded for the user: "FILE:LINE: reason".
class CsvFileImport {
 public:
  enum class Next { Contact, End, Error };

  CsvFileImport();
  ~CsvFileImport();

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

// The library's vCard import (xr::VCardContactReader) over a file named on the command line
// ("-": standard input), one contact at a time, with errors worded for the user.
class VCardFileImport {
 public:
  enum class Next { Contact, End, Error };

  VCardFileImport() = default;
  ~VCardFileImport();
  VCardFileImport(const VCardFileImport&) = delete;
  VCardFileImport& operator=(const VCardFileImport&) = delete;

  // Opens the file; false with error() set when it can't be opened or read. Rereadable: the
  // file will be read again from its start (rewind()); standard input is then copied to a
  // temporary file first.
  bool open(const std::string& path, bool rereadable = false);
  // Starts again at the file's first contact; false with error() set when that fails.
  bool rewind();

  // The next contact (replacing contact whole); End at the end of the file, Error (see
  // error()) when it can't be read.
  Next next(xr::ContactInfo& contact);

  // "FILE: reason" of the last failure, or "" when there was none.
  const std::string& error() const { return error_; }
  // "FILE: no vCard records (BEGIN:VCARD ... END:VCARD) in the file", FILE as given ("-").
  std::string noRecordsError() const;
  // Share of the file's bytes read so far, from 0.0 to 1.0 (0 for standard input not copied).
  double fractionRead() const;

 private:
  bool failed();

  xr::VCardContactReader reader_;
  std::string path_;
  std::string name_;  // the file's name in messages
  std::string error_;
  std::FILE* copy_ = nullptr;  // standard input's copy, for a rereadable import
  std::uint64_t fileSize_ = 0;
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

// The numbers of each card, in card order, as xr::findSharedNumbers takes them.
std::vector<std::vector<std::string>> numbersOf(const std::vector<CardNumbers>& cards);

// Writes the groups of xr::findSharedNumbers(numbersOf(cards)), one "Group N: ..." line each
// and a line per member:
//   "<indent>  #3 Ann Lee: +44 20 7946 0018"
void printDuplicateGroups(std::ostream& out, const std::vector<xr::SharedNumberGroup>& groups,
                          const std::vector<CardNumbers>& cards, std::string_view indent = "");

}  // namespace xrf
