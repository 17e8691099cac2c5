// The one contacts import over random bytes, read sizes and options: it never crashes, every
// text of every contact is valid UTF-8, the bytes it reports read never pass the input's size
// or go back, and it always ends in End or Error -- and stays there.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/utf8_check.h"
#include "xrfoundation/contacts/contact_file_reader.h"
#include "xrfoundation/platform/testing/fake_input_stream.h"

namespace {

bool valid(const std::optional<std::string>& text) {
  return !text || xr::fuzz::utf16LengthOfValid(*text).has_value();
}

bool allValid(const xr::ContactInfo& c) {
  bool ok = valid(c.familyName) && valid(c.middleName) && valid(c.givenName) && valid(c.prefix) &&
            valid(c.suffix) && valid(c.displayName) && valid(c.nickname);
  for (const auto& i : c.groupNumber.arrItem) ok = ok && valid(i.mobile) && valid(i.mobileType);
  for (const auto& i : c.groupEmail.arrItem) ok = ok && valid(i.email) && valid(i.emailType);
  for (const auto& i : c.groupIm.arrItem) ok = ok && valid(i.im) && valid(i.imType);
  for (const auto& i : c.groupDate.arrItem) ok = ok && valid(i.date) && valid(i.dateType);
  for (const auto& i : c.groupAddress.arrItem) {
    ok = ok && valid(i.addressType) && valid(i.street) && valid(i.city) && valid(i.region) &&
         valid(i.postcode) && valid(i.country);
  }
  for (const auto& i : c.groupOrganization.arrItem)
    ok = ok && valid(i.company) && valid(i.department) && valid(i.title);
  for (const auto& i : c.groupWebsite.arrItem) ok = ok && valid(i.website);
  for (const auto& i : c.groupNote.arrItem) ok = ok && valid(i.note);
  for (const auto& [key, texts] : c.userData) {
    ok = ok && valid(key);
    for (const auto& text : texts) ok = ok && valid(text);
  }
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Four bytes of options (the seeds begin with them), then the text.
  if (size < 4) return 0;
  const std::size_t chunk = data[0] % 65;  // bytes per read; 0: as many as asked
  const bool strict = data[1] & 1;
  const char delimiter = "\0,;\t"[data[2] % 4];
  const bool sizeKnown = data[3] & 1;
  const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);

  auto stream = std::make_shared<xr::testing::FakeInputStream>(text);
  stream->setChunkLimit(chunk);
  xr::ContactFileReader reader;
  reader.setStrict(strict);
  reader.setDelimiter(delimiter);
  // Photo names lead nowhere: a folder that does not exist.
  const bool opened =
      reader.open(stream, sizeKnown ? std::optional<std::uint64_t>(text.size()) : std::nullopt,
                  "/nonexistent-folder-for-fuzzing");
  FUZZ_CHECK(reader.bytesRead() <= text.size());
  if (!opened) {
    FUZZ_CHECK(!reader.errorReason().empty());
    return 0;
  }
  xr::ContactInfo contact;
  xr::ContactFileReader::Next next;
  std::uint64_t last = 0;
  std::size_t contacts = 0;
  while ((next = reader.next(contact)) == xr::ContactFileReader::Next::Contact) {
    FUZZ_CHECK(allValid(contact));
    FUZZ_CHECK(reader.bytesRead() >= last && reader.bytesRead() <= text.size());
    last = reader.bytesRead();
    // Each contact takes at least one byte of the input.
    FUZZ_CHECK(++contacts <= text.size());
  }
  FUZZ_CHECK(reader.bytesRead() <= text.size());
  if (next == xr::ContactFileReader::Next::Error) {
    FUZZ_CHECK(!reader.errorReason().empty());
  } else if (sizeKnown) {
    FUZZ_CHECK(reader.bytesRead() == text.size());
  }
  FUZZ_CHECK(reader.next(contact) == next);
  FUZZ_CHECK(reader.summary().contacts == contacts);
  return 0;
}
