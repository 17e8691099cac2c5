// contacts/vcard_contact_reader.h: the vCard import over an input stream, one contact at a
// time, with the bytes read so far for a progress bar; the caller cancels by no longer asking
// for the next contact. It reads the records that readVCardContacts() (vcard_parser.h) finds
// in the same text, and makes the same contacts of them: byte order marks (a UTF-16 or UTF-32
// one converts the rest), every line end, folded lines, stray END:VCARD lines and records cut
// short alike.
//
// Encodings (platform/text_encoding.h): UTF-16 without a mark is told by its zero bytes and
// converted. A file in a legacy encoding (a phone's Shift_JIS export, say) is detected, or
// named by setEncoding(): values with their own CHARSET parameter keep it, and those without
// one that are not UTF-8 are read in the file's encoding. Bytes that the encoding doesn't
// explain become U+FFFD and are counted with their lines (undecodable()). Memory stays bounded by
// the block size and the longest record, whatever the size of the input. One thread at a time per
// object.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"
#include "xrfoundation/platform/input_stream.h"
#include "xrfoundation/platform/text_encoding.h"

namespace xr {

// Reads the contacts of a vCard input, record by record; see the top of this file.
class XR_EXPORT VCardContactReader {
 public:
  // What next() found.
  enum class Next {
    Contact,  // a contact was read
    End,      // the input is used up
    Error,    // see errorReason(); reading ends here
  };

  // Default bytes asked of the input per read.
  static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

  // blockSize: how many bytes one read of the input asks for at least (0 counts as 1).
  // Touches nothing before open().
  explicit VCardContactReader(std::size_t blockSize = kDefaultBlockSize);
  // Performs close().
  ~VCardContactReader();
  VCardContactReader(const VCardContactReader&) = delete;
  VCardContactReader& operator=(const VCardContactReader&) = delete;

  // Starts over on input, which the reader opens if nobody has (and then closes at close()),
  // and reads its first bytes to learn the encoding. False, with errorReason() set, when it
  // can't be opened or read, or its byte order mark names an encoding this system can't
  // convert.
  bool open(std::shared_ptr<InputStream> input);
  // Before open(): the input's encoding, a name encodingDisplayName() knows; none, the
  // default, detects it. An unknown name makes open() fail.
  void setEncoding(std::optional<std::string> encoding);
  // After open(): the encoding taken, by display name ("UTF-8", "UTF-16LE", "Shift_JIS", ...).
  const std::string& encoding() const;
  // Where bytes that the encoding doesn't explain were replaced so far.
  const DecodeDamage& undecodable() const;
  // Drops the buffers and closes the input if open() opened it; next() then gives End.
  void close();

  // The next record's contact. On Contact, contact is replaced whole by the record's: nothing
  // it held before stays. On End and Error it is left as it was. A read error, or text that
  // is not valid in the encoding its byte order mark names, is an Error, and so is every
  // later call; the contacts of the records before it have been handed out.
  Next next(ContactInfo& contact);

  // Why reading failed; "" when nothing failed.
  const std::string& errorReason() const;
  // Bytes taken from the input so far (before any conversion), for the share of a file read.
  // The input is read only as far as the next contact needs: a block at a time, or as much as
  // the record being gathered already holds. Equal to the input's size once next() gave End.
  std::uint64_t bytesRead() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace xr
