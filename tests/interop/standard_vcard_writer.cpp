// tests/interop/standard_vcard_writer.cpp: writes a contact full of what other programs misread
// (escapes, non-ASCII, long lines, several organisations, a photo) in the standard vCard
// form to the file named by its first argument, and the photo's JPEG bytes to the second,
// for the independent parser check (standard_vcard_check.py).
#include "tests/interop/vcard_sample_writing.h"

int main(int argc, char** argv) {
  return xr::testing::writeVCardSample(
      argc, argv, "standard_vcard_writer", xr::VCardForm::Standard, [](xr::ContactInfo& contact) {
        contact.familyName = "Lee;Smith";
        contact.givenName = "Ann";
        contact.displayName = "Smith, John \\ Müller-Lüdenscheidt 日本語のとても長い表示名です";
        contact.groupOrganization.arrItem = {{"Acme; Inc", "Sales", "CEO"},
                                             {"Beta", std::nullopt, ""}};
        contact.groupNote.arrItem = {{"Met at \"DevConf\", 2019\nsecond line; ünïcödé"}};
      });
}
