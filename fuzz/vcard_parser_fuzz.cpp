// The vCard parser over random text: it never reads outside the input, every text it gives
// is valid UTF-8, and what it reads, written in the standard form and read again, gives the
// same record count and the same numbers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "xrfoundation/contacts/vcard_parser.h"
#include "xrfoundation/contacts/vcard_standard.h"
#include "xrfoundation/platform/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto contacts = xr::contactsFromVCards(input);
  for (const auto& contact : contacts) {
    if (contact.displayName) FUZZ_CHECK(xr::isValidUtf8(*contact.displayName));
    if (contact.familyName) FUZZ_CHECK(xr::isValidUtf8(*contact.familyName));
    for (const auto& note : contact.groupNote.arrItem) FUZZ_CHECK(xr::isValidUtf8(*note.note));
    for (const auto& [key, lines] : contact.userData) {
      for (const auto& line : lines) FUZZ_CHECK(xr::isValidUtf8(line));
    }
    std::string standard;
    xr::appendStandardVCard(contact, standard);
    const auto again = xr::contactFromVCard(standard);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->groupNumber.arrItem.size() <= contact.groupNumber.arrItem.size());
  }
  return 0;
}
