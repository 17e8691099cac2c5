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

  const std::string expected = "";
  if (text != expected) {
    std::fprintf(stderr, "vcard_from_contact: unexpected record\n");
    return 1;
  }
  return 0;
}
