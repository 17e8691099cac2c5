// xrf contacts: contact files from the command line. Every command reads vCard and CSV files
// alike (the library's ContactFileReader tells them apart by their content).
//   xrf contacts csv2vcf IN.csv [-o OUT.vcf] [--strict] [--form F]  one vCard 3.0 record per row
//   xrf contacts dedupe FILE [--json]            contacts that share a telephone number
//   xrf contacts vcf2csv FILE [-o OUT.csv]       contacts as a CSV in csv2vcf's own columns
//   xrf contacts show FILE [--json]              the contacts a file holds
// The reading options of all four: --delimiter X, --encoding NAME, --strict (contact_reading.h).
// Each command is a file of its own, cmd_contacts_NAME.cpp.
#include "command.h"
#include "contacts_commands.h"

namespace {

xrf::CommandRegistrar contactsGroup([](CLI::App& app) {
  auto* contacts = app.add_subcommand(
      "contacts", "Contact files (vCard or CSV): convert, show, duplicate numbers");
  contacts->require_subcommand(1);
  xrf::addCsv2VcfCommand(*contacts);
  xrf::addDedupeCommand(*contacts);
  xrf::addShowCommand(*contacts);
  xrf::addVcf2CsvCommand(*contacts);
});

}  // namespace
