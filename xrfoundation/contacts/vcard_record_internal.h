// contacts/vcard_record_internal.h: the two steps of the vCard import that the whole-text
// functions (vcard_parser.h) and the stream reader (vcard_contact_reader.h) share, so that
// both read the same records the same way: RecordCutter finds the records of a text that may
// arrive in pieces, RecordParser makes one record's contact. One thread at a time per object.
#pragma once
#include <cstddef>
#include <memory>
#include <string_view>

#include "xrfoundation/contacts/contact_info.h"

namespace xr::vcard_internal {

// Finds the records of a text: a record runs from its BEGIN:VCARD line through its END:VCARD
// line (nested records of a 2.1 AGENT included), and one cut short by the end of the text
// still counts. Lines outside records, a stray END:VCARD among them, are passed over. A UTF-8
// byte order mark may stand before a BEGIN:VCARD line.
class RecordCutter {
 public:
  enum class Step { Record, NeedMore, End };

  // Looks on from where the last call stopped, in the same text (or the same text with its
  // first bytes dropped(), and more appended). Record: body is the record's lines between its
  // BEGIN and END lines, a view into text. NeedMore: text ends inside a line, or after a CR
  // that an LF may yet join, and more may follow (complete false). End: the complete text
  // holds no further record.
  Step next(std::string_view text, bool complete, std::string_view& body);

  // The first byte of the text still needed: the open record's body, else the next line.
  std::size_t keepFrom() const;
  // The text's first count (at most keepFrom()) bytes are gone.
  void dropped(std::size_t count);

 private:
  std::size_t scan_ = 0;  // where the next line starts
  std::size_t bodyStart_ = 0;
  int depth_ = 0;  // records open; more than one inside a 2.1 AGENT
};

// Makes the contact of one record's body (the lines between BEGIN:VCARD and END:VCARD, as
// RecordCutter gives them). Kept from record to record, so that its lists keep their room.
class RecordParser {
 public:
  RecordParser();
  ~RecordParser();
  RecordParser(const RecordParser&) = delete;
  RecordParser& operator=(const RecordParser&) = delete;

  // The encoding of the file (a name encodingDisplayName() knows), for the values that have
  // no CHARSET parameter and are not UTF-8; "" reads them as Windows-1252.
  void setFileCharset(std::string_view charset);
  // Adds what body holds to contact, which is expected to be empty.
  void read(std::string_view body, ContactInfo& contact);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace xr::vcard_internal
