// tools/xrf/contacts_commands.h: the commands of the xrf contacts group, one file each
// (cmd_contacts_NAME.cpp); cmd_contacts.cpp adds them to the group in the order help lists them.
#pragma once
#include <CLI/CLI.hpp>

namespace xrf {

// xrf contacts csv2vcf IN.csv [-o OUT.vcf] [--strict] [--form F]: one vCard 3.0 record per row.
void addCsv2VcfCommand(CLI::App& contacts);
// xrf contacts dedupe FILE [--json]: contacts that share a telephone number.
void addDedupeCommand(CLI::App& contacts);
// xrf contacts show FILE [--json]: the contacts a file holds.
void addShowCommand(CLI::App& contacts);
// xrf contacts vcf2csv FILE [-o OUT.csv]: contacts as a CSV in csv2vcf's own columns.
void addVcf2CsvCommand(CLI::App& contacts);

}  // namespace xrf
