// contacts/testing/contact_csv_import.cpp: importCsv() over an in-memory input.
#include "xrfoundation/contacts/testing/contact_csv_import.h"

#include <utility>

namespace xr::testing {

Import importCsv(const std::string& text, bool strict, std::optional<std::string> encoding,
                 std::optional<char> delimiter) {
  ContactCsvReader reader;
  reader.setStrict(strict);
  reader.setEncoding(std::move(encoding));
  reader.setDelimiter(delimiter);
  Import import;
  import.opened = reader.open(makeDataInputStream(text), ".");
  if (import.opened) {
    import.layout = reader.columns().layout();
    import.language = reader.columns().languageName();
    import.unknown = reader.columns().unknown();
    import.repeated = reader.columns().repeated();
    ContactInfo contact;
    while (reader.next(contact) == ContactCsvReader::Next::Contact) {
      import.contacts.push_back(contact);
    }
  }
  import.summary = reader.summary();
  import.errorLine = reader.errorLine();
  import.error = reader.errorReason();
  return import;
}

Numbers numbersOf(const ContactInfo& contact) {
  Numbers numbers;
  for (const auto& item : contact.groupNumber.arrItem) {
    numbers.emplace_back(item.mobile.value_or("?"), item.mobileType.value_or("?"));
  }
  return numbers;
}

}  // namespace xr::testing
