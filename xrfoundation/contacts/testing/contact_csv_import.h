// contacts/testing/contact_csv_import.h: a whole contacts CSV text read through ContactCsvReader,
// for the tests of the column vocabulary, the row mapping and the reader.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "xrfoundation/contacts/contact_csv.h"

namespace xr::testing {

// What one import gave: the contacts up to the first error, the summary and the error.
struct Import {
  bool opened = false;  // a header was found
  std::vector<ContactInfo> contacts;
  ContactCsvSummary summary;
  std::uint64_t errorLine = 0;
  std::string error;  // the reader's reason; "" when it read to the end
  ContactCsvColumns::Layout layout = ContactCsvColumns::Layout::Own;
  std::string language;               // the header's language
  std::vector<std::string> unknown;   // the header's unknown titles
  std::vector<std::string> repeated;  // the header's repeated titles
};

// Reads text to its end or first error, in the encoding and with the separator given or else
// found; photos are looked for in the working folder.
Import importCsv(const std::string& text, bool strict = false,
                 std::optional<std::string> encoding = std::nullopt,
                 std::optional<char> delimiter = std::nullopt);

// A contact's numbers with their kinds ("?" where absent), and the unplaced-value counts of a
// summary, as the tests compare them.
using Numbers = std::vector<std::pair<std::string, std::string>>;  // number, kind
Numbers numbersOf(const ContactInfo& contact);
using Unplaced = std::vector<std::pair<std::string, std::uint64_t>>;

}  // namespace xr::testing
