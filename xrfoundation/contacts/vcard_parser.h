// contacts/vcard_parser.h: contacts read from vCard text as phones, web and desktop address
// books write it: versions 2.1, 3.0 and 4.0, folded lines, QUOTED-PRINTABLE values with soft
// line breaks, CHARSET parameters (SHIFT_JIS, ISO-8859-x, ...), BASE64 / "b" photos and data
// URIs, item-grouped properties with Apple-style labels (item1.TEL + item1.X-ABLabel), and TYPE
// parameters in every spelling (TYPE=CELL,VOICE; type=cell;type=pref; 2.1's bare ;CELL;PREF).
//
// Kinds are mapped through the label and vCard type tables, so that the standard form that
// appendStandardVCard() writes reads back as the same contact. Content lines that fill no
// field of ContactInfo are kept, unfolded and as UTF-8, under kContactVCardUnplacedKey, so
// that nothing is lost silently. A UTF-8 byte order mark is passed over; text that starts with a
// UTF-16 (or UTF-32) one is converted. The free functions are pure: any thread may call them
// at any time. VCardContactReader reads the same records from a stream, one at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"

namespace xr {

// The user-data key under which an imported contact keeps the content lines (unfolded,
// decoded to UTF-8) that no field of ContactInfo took: PRODID, UID, X-SOCIALPROFILE, ...
inline constexpr char kContactVCardUnplacedKey[] = "VCardUnplacedLines";

// The contact of the first record (BEGIN:VCARD ... END:VCARD) in text; none when text holds
// no record. A record without its END:VCARD runs to the end of the text.
XR_EXPORT std::optional<ContactInfo> contactFromVCard(std::string_view text);

// Reads every record of text in order and hands each contact to sink, which may take it;
// stops early when sink answers false. Text outside records is passed over. Returns the
// number of records read.
XR_EXPORT std::size_t readVCardContacts(std::string_view text,
                                        const std::function<bool(ContactInfo&)>& sink);

// Every record's contact, in order.
XR_EXPORT std::vector<ContactInfo> contactsFromVCards(std::string_view text);

// Reads the contacts of a vCard input one record at a time, by the rules of readVCardContacts,
// with the bytes read so far for a progress report. Memory stays bounded by the block size and
// the longest record, whatever the size of the input. One thread at a time.
class XR_EXPORT VCardContactReader {
 public:
  // What next() found.
  enum class Next {
    Contact,  // a contact was read
    End,      // the input is used up
    Error,    // see errorReason(); reading ends here
  };

  // blockSize: how many bytes one read of the input asks for. Touches nothing before open().
  explicit VCardContactReader(std::size_t blockSize = 256 * 1024);
  // Performs close().
  ~VCardContactReader();
  VCardContactReader(const VCardContactReader&) = delete;
  VCardContactReader& operator=(const VCardContactReader&) = delete;

  // Opens input (which the reader opens if nobody has, and then closes at close()) and reads
  // its first bytes to learn the encoding; false, with errorReason() set, when it can't be
  // opened or read or names by its byte order mark an encoding this system can't convert.
  bool open(std::shared_ptr<InputStream> input);
  // Drops the buffers; closes the input if open() opened it.
  void close();

  // The next record's contact. On Contact, contact is replaced whole: it is cleared first, so
  // nothing it held before stays. On End and Error it is left as it was. A read error, or
  // text not valid in the encoding its byte order mark names, is an Error.
  Next next(ContactInfo& contact);

  // Why reading failed; "" when nothing failed.
  const std::string& errorReason() const;
  // Bytes taken from the input so far (before any conversion): the share read of a file.
  std::uint64_t bytesRead() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace xr
