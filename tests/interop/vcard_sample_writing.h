// tests/interop/vcard_sample_writing.h: the body shared by the programs that write a vCard
// record for an independent parser check (vcard_sample_writer, standard_vcard_writer).
#pragma once
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/testing/rich_contact.h"
#include "xrfoundation/contacts/vcard_info.h"
#include "xrfoundation/platform/testing/test_images.h"

namespace xr::testing {

// The main() of such a program, named program in its usage line: takes RECORD_FILE and
// JPEG_FILE, gives the rich test contact (after adjust, where given) a 40 x 30 pixel photo,
// a size that makes a photo line of several folded pieces, and writes the contact's record in
// form to RECORD_FILE and the photo's JPEG bytes to JPEG_FILE. Returns the exit status: 0,
// 1 when the photo does not load, 2 on wrong arguments.
inline int writeVCardSample(int argc, char** argv, const char* program, VCardForm form,
                            const std::function<void(ContactInfo&)>& adjust = {}) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s RECORD_FILE JPEG_FILE\n", program);
    return 2;
  }
  const std::vector<uint8_t> jpeg = makeTestJpeg(40, 30);
  ContactInfo contact = makeRichContact();
  if (adjust) adjust(contact);
  contact.icon = Image::fromBytes(jpeg);
  if (!contact.icon) return 1;
  VCardInfo card;
  card.loadFromContactInfo(contact, form);
  const std::vector<uint8_t> record = card.toVCardData();
  std::ofstream(argv[1], std::ios::binary)
      .write(reinterpret_cast<const char*>(record.data()),
             static_cast<std::streamsize>(record.size()));
  std::ofstream(argv[2], std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  return 0;
}

}  // namespace xr::testing
