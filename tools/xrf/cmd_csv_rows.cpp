// xrf csv rows FILE [--standard]: each data row of a CSV file ("-": standard input) as a JSON
// object keyed by the header line's titles, one a line; read one record a line, or as standard
// CSV with --standard.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "command.h"
#include "input_commands.h"
#include "tool_input.h"
#include "xrfoundation/input/csv_standard_reader.h"

namespace xrf {
namespace {

void printRows(const std::string& path) {
  auto reader = openReader(path);
  if (!reader) return;
  if (!reader->csvReadHeader()) {
    endedCleanly(*reader);
    return;
  }
  while (const auto row = reader->csvReadData()) {
    // Keys in the order of the line's fields; the reader hands out valid UTF-8 only.
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [key, value] : row->entries()) object[std::string(key)] = value;
    std::cout << object.dump() << '\n';
  }
  endedCleanly(*reader);
}

// The same rows read as standard CSV: quoted fields may hold separators, "" and line breaks.
void printStandardRows(const std::string& path) {
  xr::StandardCsvReader reader(xrf::openInputStream(path), kBlockSize);
  const std::string name = xrf::isStandardInput(path) ? "standard input" : path;
  const auto failed = [&] {
    const std::string& reason = reader.errorReason();
    if (reader.errorLine() > 0) {
      return xrf::fail(name + ":" + std::to_string(reader.errorLine()) + ": " + reason);
    }
    xrf::fail(reason.find(name) != std::string::npos ? reason : name + ": " + reason);
  };
  if (!reader.open()) return failed();
  const auto* header = reader.readRecord();
  if (!header) return reader.failed() ? failed() : void();
  const std::vector<std::string> titles(header->begin(), header->end());
  while (const auto* fields = reader.readRecord()) {
    // Keys as the line-based form gives them: the titles, then "field<i>" beyond them; a
    // repeated title keeps the later field.
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (std::size_t i = 0; i < fields->size(); ++i) {
      const std::string key = i < titles.size() ? titles[i] : "field" + std::to_string(i);
      object[key] = (*fields)[i];
    }
    std::cout << object.dump() << '\n';
  }
  if (reader.failed()) failed();
}

}  // namespace

void addCsvRowsCommand(CLI::App& csv) {
  auto* rows = csv.add_subcommand(
      "rows", "Print each data row of FILE as a JSON object keyed by the header line's titles");
  auto rowsFile = std::make_shared<std::string>();
  auto rowsStandard = std::make_shared<bool>(false);
  rows->add_option("FILE", *rowsFile, "CSV file, or - for standard input")->required();
  rows->add_flag("--standard", *rowsStandard,
                 "Read standard CSV (quoted fields with \"\" and line breaks, byte order marks) "
                 "instead of one record a line");
  rows->footer("Example:\n  xrf csv rows --standard contacts.csv");
  rows->callback([rowsFile, rowsStandard] {
    *rowsStandard ? printStandardRows(*rowsFile) : printRows(*rowsFile);
  });
}

}  // namespace xrf
