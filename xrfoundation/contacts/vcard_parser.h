// contacts/vcard_parser.h: contacts read from vCard text as phones, web and desktop address
// books write it: versions 2.1, 3.0 and 4.0, folded lines, QUOTED-PRINTABLE values with soft
// line breaks, CHARSET parameters (SHIFT_JIS, ISO-8859-x, ...), BASE64 / "b" photos and data
// URIs, item-grouped properties with Apple-style labels (item1.TEL + item1.X-ABLabel), and TYPE
// parameters in every spelling (TYPE=CELL,VOICE; type=cell;type=pref; 2.1's bare ;CELL;PREF).
//
// Kinds are mapped through the label and vCard type tables, so that the standard form that
// appendStandardVCard() writes reads back as the same contact. Content lines that fill no
// field of ContactInfo are kept, unfolded and as UTF-8, under kContactVCardUnplacedKey, so
// that nothing is lost silently. Pure functions: any thread may call them at any time.
// VCardContactReader (vcard_contact_reader.h) reads the same contacts from a stream, one at a
// time, without holding the whole text.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"

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

}  // namespace xr
