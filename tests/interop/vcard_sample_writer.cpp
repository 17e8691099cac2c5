// tests/interop/vcard_sample_writer.cpp: writes the rich test contact, with a photo, as a vCard
// record in the device form to the file named by its first argument and the photo's JPEG bytes
// to the second, for the independent parser check (vcard_parser_check.py).
#include "tests/interop/vcard_sample_writing.h"

int main(int argc, char** argv) {
  return xr::testing::writeVCardSample(argc, argv, "vcard_sample_writer", xr::VCardForm::Device);
}
