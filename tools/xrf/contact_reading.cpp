// tools/xrf/contact_reading.cpp: the contacts commands' reading options and import account.
#include "contact_reading.h"

#include <iostream>

#include "command.h"

namespace xrf {

void addReadOptions(CLI::App* command, ReadOptions& read, bool strict) {
  command
      ->add_option("--delimiter", read.delimiter,
                   "CSV field delimiter: ',', ';', 'tab' or '\\t' (default: found from the "
                   "header line)")
      ->check(CLI::IsMember({",", ";", "tab", "\\t", "\t"}));
  command->add_option("--encoding", read.encoding,
                      "Text encoding when the file has no byte order mark (UTF-8, "
                      "Windows-1252, ISO-8859-15, UTF-16LE, ...; default: what the bytes show)");
  if (strict) {
    command->add_flag("--strict", read.strict,
                      "Refuse (exit 1) a file with a value that has no place in a contact or "
                      "bytes that its encoding does not explain, instead of warning");
  }
}

void addPrintOptions(CLI::App* command, PrintOptions& options, const std::string& jsonHelp) {
  command->add_option("FILE", options.file, "vCard or CSV file ('-': standard input)")->required();
  addReadOptions(command, options.read);
  command->add_flag("--json", options.json, jsonHelp);
  command->add_flag("-v,--verbose", options.verbose, "Show the library's diagnostic lines");
}

bool openImport(ContactFileImport& import, const std::string& path, const ReadOptions& read,
                bool rereadable) {
  import.setStrict(read.strict);
  import.setEncoding(read.encoding);
  if (read.delimiter == "tab" || read.delimiter == "\\t" || read.delimiter == "\t") {
    import.setDelimiter('\t');
  } else if (read.delimiter.size() == 1) {
    import.setDelimiter(read.delimiter[0]);
  }
  return import.open(path, rereadable);
}

void failOpen(const ContactFileImport& import) {
  fail(import.reader().blank() ? import.noRecordsError() : import.error());
}

void printImportSummary(const ContactFileImport& import) {
  std::cerr << "xrf: " << printable(import.name()) << ": "
            << printable(xr::describeContactFile(import.reader().summary())) << "\n";
  for (const std::string& warning : import.warnings())
    std::cerr << "xrf: warning: " << printable(warning) << "\n";
}

}  // namespace xrf
