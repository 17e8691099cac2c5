// contacts/standard_vcard_writer.cpp: writes a contact full of what other programs misread
// (escapes, non-ASCII, long lines, several organisations, a photo) in the standard vCard
// form to the file named by its first argument, and the photo's JPEG bytes to the second,
// for the independent parser check (standard_vcard_check.py).
#include <cstdio>
#include <fstream>

#include "xrfoundation/contacts/rich_contact_internal.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/platform/testing/test_images.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: standard_vcard_writer RECORD_FILE JPEG_FILE\n");
    return 2;
  }
  const std::vector<uint8_t> jpeg = xr::testing::makeTestJpeg(40, 30);
  xr::ContactInfo contact = xr::testing::makeRichContact();
  contact.familyName = "Lee;Smith";
  contact.givenName = "Ann";
  contact.displayName = "Smith, John \\ Müller-Lüdenscheidt 日本語のとても長い表示名です";
  contact.groupOrganization.arrItem = {{"Acme; Inc", "Sales", "CEO"}, {"Beta", std::nullopt, ""}};
  contact.groupNote.arrItem = {{"Met at \"DevConf\", 2019\nsecond line; ünïcödé"}};
  contact.icon = xr::Image::fromBytes(jpeg);
  if (!contact.icon) return 1;
  xr::VCardInfo card;
  card.loadFromContactInfo(contact, xr::VCardForm::Standard);
  const std::vector<uint8_t> record = card.toVCardData();
  std::ofstream(argv[1], std::ios::binary)
      .write(reinterpret_cast<const char*>(record.data()),
             static_cast<std::streamsize>(record.size()));
  std::ofstream(argv[2], std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  return 0;
}
