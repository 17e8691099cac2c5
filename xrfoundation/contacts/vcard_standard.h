// contacts/vcard_standard.h: the standard vCard 3.0 form of a contact, for other programs.
// Unlike the device form (VCardInfo, vcard_info.h), every text value is escaped, structured
// values keep their components apart, nothing is written without a value, parameters are plain
// TYPE lists, and long lines are folded. The vCard import (vcard_parser.h) reads what it writes
// back as the same contact.
#pragma once
#include <string>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/export.h"

namespace xr {

// Appends the standard vCard 3.0 record of contact to out: "BEGIN:VCARD", "VERSION:3.0",
// then N as family;given;additional;prefix;suffix (always), FN (the display name, else the
// name parts, first company, e-mail or number), NICKNAME, TEL;TYPE=..., EMAIL;TYPE=INTERNET,...,
// instant messaging as X-<SERVICE> (X-SKYPE, X-JABBER, X-GOOGLE-TALK...) or IMPP for a handle
// of no known service, BDAY for the first birthday and item-grouped X-ABDATE / X-ABLabel for
// the other dates, CATEGORIES, ADR;TYPE=..., ORG and TITLE (item-grouped when there are
// several), URL, NOTE, PHOTO;ENCODING=b;TYPE=JPEG, "END:VCARD". Text values have "\\", "\,",
// "\;" and line breaks escaped; properties without a value are left out; lines longer than 75
// octets are folded (CR LF and a space) between whole UTF-8 sequences; lines end in CR LF.
// A type absent or unknown is written as the family's Other; of the user data only the group
// names are written. Thread-safe; no logging.
XR_EXPORT void appendStandardVCard(const ContactInfo& contact, std::string& out);

}  // namespace xr
