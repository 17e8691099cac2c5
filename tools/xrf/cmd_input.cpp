// xrf vcard count|split and xrf csv rows: the text readers of xrfoundation/input over a file
// ("-": standard input).
//   xrf vcard count FILE                  the number of vCard records
//   xrf vcard split FILE -o DIR [--force] each record, byte for byte, as DIR/1.vcf, DIR/2.vcf, ...
//   xrf csv rows FILE [--standard]        each data row as a JSON object
// Each command is a file of its own, cmd_vcard_NAME.cpp and cmd_csv_NAME.cpp.
#include "command.h"
#include "input_commands.h"

namespace {

xrf::CommandRegistrar inputGroup([](CLI::App& app) {
  auto* vcard = app.add_subcommand("vcard", "vCard files");
  vcard->require_subcommand(1);
  xrf::addVCardCountCommand(*vcard);
  xrf::addVCardSplitCommand(*vcard);

  auto* csv = app.add_subcommand("csv", "CSV files");
  csv->require_subcommand(1);
  xrf::addCsvRowsCommand(*csv);
});

}  // namespace
