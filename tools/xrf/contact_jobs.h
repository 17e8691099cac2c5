// tools/xrf/contact_jobs.h: the contact work that the xrf contacts commands and xrf demo share --
// a contacts file (vCard or CSV) read through the library's import, a contact composed as a
// vCard record, and the names and numbers of contacts for the grouping by shared telephone
// numbers.
//
// None of it prints: failures come back as texts for the caller to report. One thread at a
// time uses a reader; the grouping reads its input only.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xrfoundation/contacts/contact_file_reader.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/phone/shared_numbers.h"

namespace xrf {

// The library's contacts import (xr::ContactFileReader: vCard or CSV, told by the content) over
// a file named on the command line ("-": standard input), one contact at a time, with errors
// worded for the user: "FILE:LINE: reason" or "FILE: reason".
class ContactFileImport {
 public:
  enum class Next { Contact, End, Error };

  ContactFileImport() = default;
  ~ContactFileImport();
  ContactFileImport(const ContactFileImport&) = delete;
  ContactFileImport& operator=(const ContactFileImport&) = delete;

  // Options, set before open(): see xr::ContactFileReader.
  void setStrict(bool strict) { reader_.setStrict(strict); }
  void setDelimiter(char delimiter) { reader_.setDelimiter(delimiter); }
  void setEncoding(std::string encoding) { reader_.setEncoding(std::move(encoding)); }

  // Opens the file and reads what tells its format (and a CSV file's header line); false with
  // error() set when it can't be opened or read, is blank, or its header names no contact
  // field. Rereadable: the file will be read again from its start (rewind()); standard input
  // is then copied to a temporary file first.
  bool open(const std::string& path, bool rereadable = false);
  // Starts again at the file's first contact; false with error() set when that fails.
  bool rewind();

  // The next contact (replacing contact whole); End at the end of the file, Error (see
  // error()) when it can't be read.
  Next next(xr::ContactInfo& contact);

  // The message of the last failure, or "" when there was none.
  const std::string& error() const { return error_; }
  // "FILE: no vCard records (BEGIN:VCARD ... END:VCARD) in the file" for a vCard or blank
  // file, "FILE: no contacts in the file" for a CSV file; FILE as given ("-").
  std::string noRecordsError() const;
  // Share of the file's bytes read so far, from 0.0 to 1.0 (0 when the size is not known).
  double fractionRead() const;
  const xr::ContactFileReader& reader() const { return reader_; }
  // The file's name in messages: as given, or "standard input".
  const std::string& name() const { return name_; }
  // Warnings about what was read, for standard error (without "xrf: warning: "): each line
  // where undecodable bytes were replaced, as "FILE:LINE: ...".
  std::vector<std::string> warnings() const;

 private:
  bool failed();

  xr::ContactFileReader reader_;
  std::string path_;
  std::string name_;
  std::string error_;
  std::FILE* copy_ = nullptr;  // standard input's copy, for a rereadable import
  std::uint64_t copySize_ = 0;
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
