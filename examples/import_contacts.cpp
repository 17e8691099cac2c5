// examples/import_contacts.cpp: imports the contacts of an address book's CSV export (a vCard
// file is read the same way), with the share read so far, and finds the contacts that share a
// telephone number.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "xrfoundation/contacts/contact_file_reader.h"
#include "xrfoundation/contacts/contact_info.h"
#include "xrfoundation/contacts/contact_shared_numbers.h"
#include "xrfoundation/platform/input_stream.h"

int main() {
  // An export as address books write it: quoted fields, a line break inside one, CR LF.
  std::string csv =
      "First Name,Last Name,Mobile Phone,Home Phone,Notes\r\n"
      "Ann,Lee,+44 20 7946 0000,,\"met at the fair,\r\nsecond day\"\r\n"
      "Bo,Lee,,020 7946 0001,\r\n"
      "Cy,Ng,020 7946 0000,,\r\n";
  const auto size = csv.size();

  // [import]
  // The format (vCard or CSV) is told by the content; the size, when known, gives the progress.
  xr::ContactFileReader reader;
  if (!reader.open(xr::makeDataInputStream(std::move(csv)), size)) {
    std::fprintf(stderr, "cannot read the header: %s\n", reader.errorReason().c_str());
    return 1;
  }
  std::vector<xr::ContactInfo> contacts;
  double progress = 0;
  xr::ContactInfo contact;
  xr::ContactFileReader::Next next;
  while ((next = reader.next(contact)) == xr::ContactFileReader::Next::Contact) {
    contacts.push_back(std::move(contact));  // next() replaces the whole contact each time
    // A progress bar shows bytesRead() of totalBytes(); a Cancel button ends the loop.
    progress = static_cast<double>(reader.bytesRead()) / static_cast<double>(*reader.totalBytes());
  }
  if (next == xr::ContactFileReader::Next::Error) {
    std::fprintf(stderr, "line %llu: %s\n", static_cast<unsigned long long>(reader.errorLine()),
                 reader.errorReason().c_str());
    return 1;
  }
  std::printf("%s: %llu contacts, %llu numbers, read %.0f%%\n",
              xr::describeContactFile(reader.summary()).c_str(),
              static_cast<unsigned long long>(reader.summary().contacts),
              static_cast<unsigned long long>(reader.summary().numbers), progress * 100);

  // Contacts that share a number, as the library compares numbers ("+44 20 7946 0000" and
  // "020 7946 0000" are one number). Without a keepGoing callback to stop it, the search
  // always gives its groups.
  const std::vector<xr::SharedNumberGroup> groups = *xr::findSharedNumbers(contacts);
  for (const xr::SharedNumberGroup& group : groups) {
    for (const auto& member : group.members) {
      std::printf("%s %s shares %s\n", contacts[member.record].givenName->c_str(),
                  contacts[member.record].familyName->c_str(), member.numbers.front().c_str());
    }
  }
  // [import]

  if (contacts.size() != 3 || groups.size() != 1 || groups[0].members.size() != 2 ||
      groups[0].members[1].record != 2) {
    std::fprintf(stderr, "import_contacts: unexpected result\n");
    return 1;
  }
  return 0;
}
