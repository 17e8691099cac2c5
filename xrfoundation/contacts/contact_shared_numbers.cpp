// contacts/contact_shared_numbers.cpp: the contacts' numbers handed to the grouping.
#include "xrfoundation/contacts/contact_shared_numbers.h"

#include <string>

namespace xr {

std::optional<std::vector<SharedNumberGroup>> findSharedNumbers(
    const std::vector<ContactInfo>& contacts, const std::function<bool(double)>& keepGoing) {
  std::vector<std::vector<std::string>> numbers(contacts.size());
  for (std::size_t c = 0; c < contacts.size(); ++c) {
    for (const ContactNumberItem& item : contacts[c].groupNumber.arrItem) {
      if (item.mobile) numbers[c].push_back(*item.mobile);
    }
  }
  return findSharedNumbers(numbers, keepGoing);
}

}  // namespace xr
