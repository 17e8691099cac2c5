// tools/xrf/input_commands.h: the commands of the xrf vcard and csv groups, the text readers of
// xrfoundation/input over a file ("-": standard input), one file each (cmd_GROUP_NAME.cpp);
// cmd_input.cpp adds them to their groups in the order help lists them.
#pragma once
#include <CLI/CLI.hpp>

namespace xrf {

// xrf vcard count FILE: the number of vCard records in FILE.
void addVCardCountCommand(CLI::App& vcard);
// xrf vcard split FILE -o DIR [--force]: each record, byte for byte, as DIR/1.vcf, DIR/2.vcf, ...
void addVCardSplitCommand(CLI::App& vcard);
// xrf csv rows FILE [--standard]: each data row as a JSON object keyed by the header's titles.
void addCsvRowsCommand(CLI::App& csv);

}  // namespace xrf
