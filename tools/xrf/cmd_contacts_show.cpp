// xrf contacts show FILE [--json]: the contacts of a vCard (2.1, 3.0 or 4.0) or CSV file as the
// library reads them, as text or every field as JSON (contact_json.h).
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "command.h"
#include "contact_jobs.h"
#include "contact_json.h"
#include "contact_reading.h"
#include "contacts_commands.h"
#include "pending_output.h"

namespace xrf {
namespace {

void show(const PrintOptions& options) {
  setLibraryLogging(options.verbose);
  ContactFileImport input;
  if (!openImport(input, options.file, options.read)) return failOpen(input);
  // The contacts are printed as they are read, to a temporary file that reaches standard output
  // only once the whole file has been read: a failure prints nothing but its message.
  PendingOutput output;
  std::string error;
  if (!output.create(std::nullopt, error)) return fail(error);
  xr::ContactInfo contact;
  ContactFileImport::Next next = ContactFileImport::Next::End;
  std::size_t n = 0;
  bool written = true;
  while (written && (next = input.next(contact)) == ContactFileImport::Next::Contact) {
    std::ostringstream out;
    if (options.json) {
      // Each contact as an element of one array, indented as the array's dump() indents it.
      std::istringstream element(
          contactJson(contact).dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
      out << (n == 0 ? "[\n" : ",\n");
      std::string line;
      for (bool first = true; std::getline(element, line); first = false)
        out << (first ? "" : "\n") << "  " << line;
    } else {
      const CardNumbers card = cardNumbersFromContact(contact);
      out << "#" << n + 1 << " " << (card.name.empty() ? "(no name)" : card.name) << "\n";
      for (const auto& i : contact.groupNumber.arrItem)
        out << "  phone " << i.mobile.value_or("") << " (" << i.mobileType.value_or("") << ")\n";
      for (const auto& i : contact.groupEmail.arrItem)
        out << "  email " << i.email.value_or("") << " (" << i.emailType.value_or("") << ")\n";
    }
    written = output.write(out.str());
    ++n;
  }
  if (!written) return fail("cannot write a temporary file: " + std::string(std::strerror(errno)));
  if (next == ContactFileImport::Next::Error) return fail(input.error());
  if (n == 0) return fail(input.noRecordsError());
  printImportSummary(input);
  written =
      output.write(options.json ? std::string("\n]\n")
                                : std::to_string(n) + (n == 1 ? " contact\n" : " contacts\n"));
  if (!written || !output.commit(error))
    return fail(error.empty() ? "cannot write standard output" : error);
  setExitCode(0);
}

}  // namespace

void addShowCommand(CLI::App& contacts) {
  auto options = std::make_shared<PrintOptions>();
  auto* command = contacts.add_subcommand(
      "show",
      "Print the contacts of a vCard (2.1, 3.0 or 4.0) or CSV file as the library reads them");
  addPrintOptions(command, *options, "Print every field as JSON");
  command->callback([options] { show(*options); });
}

}  // namespace xrf
