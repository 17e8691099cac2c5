// examples/vcard_from_contact.cpp: fills a contact and composes its vCard 3.0 record.
#include <cstdio>
#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/vcard_info.h"

int main() {
  // [vcard]
  xr::ContactInfo contact;
  contact.givenName = "Ann";
  contact.familyName = "Lee";
  contact.displayName = "Ann Lee";
  contact.groupNumber.arrItem.push_back({"+44 20 7946 0000", "E_Number_Mobile"});
  contact.groupEmail.arrItem.push_back({"ann@example.org", "E_Email_Work"});

  xr::VCardInfo card;
  card.loadFromContactInfo(contact);
  const std::vector<uint8_t> bytes = card.toVCardData();  // UTF-8, lines end in CR LF
  const std::string text(bytes.begin(), bytes.end());
  std::fputs(text.c_str(), stdout);
  // [vcard]

  // The given name is the N line's third part, as stored files and the device expect.
  const std::string expected =
      "BEGIN:VCARD\r\n"
      "VERSION:3.0\r\n"
      "N;charset=UTF-8:Lee;;Ann;;\r\n"
      "FN;charset=UTF-8:Ann Lee\r\n"
      "TEL;type=CELL;charset=UTF-8:+44 20 7946 0000\r\n"
      "EMAIL;charset=UTF-8;type=INTERNET;type=WORK;type=pref:ann@example.org\r\n"
      "END:VCARD\r\n";
  if (text != expected) {
    std::fprintf(stderr, "vcard_from_contact: unexpected record\n");
    return 1;
  }
  return 0;
}
