// contacts/vcard_sample_writer.cpp: writes the rich test contact, with a photo, as a vCard
// record to the file named by its first argument and the photo's JPEG bytes to the second,
// for the independent parser check (vcard_parser_check.py).
#include <cstdio>
#include <fstream>

#include "xrfoundation/contacts/rich_contact_internal.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/platform/testing/test_images.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vcard_sample_writer RECORD_FILE JPEG_FILE\n");
    return 2;
  }
  // 40 x 30 pixels make a photo line of several folded pieces.
  const std::vector<uint8_t> jpeg = xr::testing::makeTestJpeg(40, 30);
  xr::ContactInfo contact = xr::testing::makeRichContact();
  contact.icon = xr::Image::fromBytes(jpeg);
  if (!contact.icon) return 1;
  xr::VCardInfo card;
  card.loadFromContactInfo(contact);
  const std::vector<uint8_t> record = card.toVCardData();
  std::ofstream(argv[1], std::ios::binary)
      .write(reinterpret_cast<const char*>(record.data()),
             static_cast<std::streamsize>(record.size()));
  std::ofstream(argv[2], std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  return 0;
}
