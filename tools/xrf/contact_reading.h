// tools/xrf/contact_reading.h: how the xrf contacts commands read their file -- the reading
// options they all take (--delimiter, --encoding, --strict), and the import's account of what it
// read, on standard error.
#pragma once
#include <CLI/CLI.hpp>
#include <string>

#include "contact_jobs.h"

namespace xrf {

// How a command reads its contacts file.
struct ReadOptions {
  std::string delimiter;  // "" (found from the header), ",", ";", "tab" or "\t"
  std::string encoding;   // "": what the bytes show
  bool strict = false;
};

// The options of a command that reads one contacts file and prints what it holds (show,
// dedupe).
struct PrintOptions {
  std::string file;  // "-": standard input
  bool verbose = false;
  bool json = false;
  ReadOptions read;
};

// Adds --delimiter, --encoding and (unless the command has its own) --strict.
void addReadOptions(CLI::App* command, ReadOptions& read, bool strict = true);

// Adds FILE, the reading options, --json (with jsonHelp) and -v to command.
void addPrintOptions(CLI::App* command, PrintOptions& options, const std::string& jsonHelp);

// Gives the reading options to import and opens path (see ContactFileImport::open).
bool openImport(ContactFileImport& import, const std::string& path, const ReadOptions& read,
                bool rereadable = false);

// Reports an import that could not be opened: an empty file has no records, as the commands
// that read vCard files have always said.
void failOpen(const ContactFileImport& import);

// What the import took and its warnings, on standard error: "xrf: FILE: vCard, UTF-8", then a
// line for each line of the file where bytes were replaced.
void printImportSummary(const ContactFileImport& import);

}  // namespace xrf
