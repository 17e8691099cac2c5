// xrf vcard count|split and xrf csv rows: the text readers of xrfoundation/input over a file
// ("-": standard input).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "command.h"
#include "tool_input.h"
#include "xrfoundation/input/buffered_input_stream.h"
#include "xrfoundation/input/csv_standard_reader.h"
#include "xrfoundation/platform/file_system.h"

namespace {

constexpr std::uint64_t kBlockSize = 256 * 1024;  // bytes per read of the input file

// The group's subcommand, shared with any other file that adds commands to the same group.
CLI::App* group(CLI::App& app, const std::string& name, const std::string& description) {
  auto found = app.get_subcommands([&](CLI::App* sub) { return sub->get_name() == name; });
  if (!found.empty()) return found.front();
  auto* sub = app.add_subcommand(name, description);
  sub->require_subcommand(1);
  return sub;
}

// Opens a reader on path, or reports why it can't and gives null.
std::unique_ptr<xr::XRBufferedInputStream> openReader(const std::string& path) {
  auto reader = std::make_unique<xr::XRBufferedInputStream>(xrf::openInputStream(path), kBlockSize);
  reader->open();
  if (reader->status() == xr::StreamStatus::Error) {
    xrf::fail(reader->streamError().value_or("cannot open " + path));
    return nullptr;
  }
  return reader;
}

// Reports a read error that ended the reading early; false when there was one.
bool endedCleanly(const xr::XRBufferedInputStream& reader) {
  const std::optional<std::string> error = reader.readError();
  if (error) xrf::fail(*error);
  return !error;
}

void countRecords(const std::string& path) {
  auto reader = openReader(path);
  if (!reader) return;
  std::uint64_t count = 0;
  while (reader->nextVCardRecord()) ++count;
  if (endedCleanly(*reader)) std::cout << count << '\n';
}

// The first record file ("1.vcf", "2.vcf", ...) that already stands in directory, if any.
std::optional<std::filesystem::path> existingRecordFile(const std::string& directory) {
  std::error_code error;
  std::optional<std::filesystem::path> first;
  std::uint64_t firstNumber = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(xr::pathFromUtf8(directory), error)) {
    const std::string name = xr::pathToUtf8(entry.path().filename());
    const std::size_t digits = name.find_first_not_of("0123456789");
    if (digits == 0 || digits > 19 || name.substr(digits) != ".vcf") continue;
    const std::uint64_t number = std::stoull(name.substr(0, digits));
    if (!first || number < firstNumber) {
      first = entry.path();
      firstNumber = number;
    }
  }
  return first;
}

void splitRecords(const std::string& path, const std::string& directory, bool force) {
  // Refused before anything is read or written, so that a refusal changes nothing.
  if (!force) {
    if (const auto existing = existingRecordFile(directory)) {
      return xrf::fail(xr::pathToUtf8(*existing) + " already exists; pass --force to replace the " +
                       "record files in " + directory);
    }
  }
  auto reader = openReader(path);
  if (!reader) return;
  std::error_code error;
  std::filesystem::create_directories(xr::pathFromUtf8(directory), error);
  if (error) return xrf::fail("cannot create " + directory + ": " + error.message());
  std::uint64_t count = 0;
  while (const auto record = reader->nextVCardRecord()) {
    const auto file = xr::pathFromUtf8(directory) / (std::to_string(++count) + ".vcf");
    std::ofstream out(file, std::ios::binary);
    out.write(record->data(), static_cast<std::streamsize>(record->size()));
    if (out.close(), !out) return xrf::fail("cannot write " + xr::pathToUtf8(file));
  }
  endedCleanly(*reader);
}

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

xrf::CommandRegistrar registrar([](CLI::App& app) {
  auto* vcard = group(app, "vcard", "vCard files");

  auto* count = vcard->add_subcommand("count", "Print the number of vCard records in FILE");
  auto countFile = std::make_shared<std::string>();
  count->add_option("FILE", *countFile, "vCard file, or - for standard input")->required();
  count->footer("Example:\n  xrf vcard count contacts.vcf");
  count->callback([countFile] { countRecords(*countFile); });

  auto* split = vcard->add_subcommand(
      "split", "Write each vCard record of FILE, byte for byte, as DIR/1.vcf, DIR/2.vcf, ...");
  auto splitFile = std::make_shared<std::string>();
  auto splitDir = std::make_shared<std::string>();
  auto splitForce = std::make_shared<bool>(false);
  split->add_option("FILE", *splitFile, "vCard file, or - for standard input")->required();
  split->add_option("-o,--output", *splitDir, "directory for the records (made if missing)")
      ->required();
  split->add_flag("--force", *splitForce, "Replace record files that DIR already holds");
  split->footer("Example:\n  xrf vcard split contacts.vcf -o records/");
  split->callback(
      [splitFile, splitDir, splitForce] { splitRecords(*splitFile, *splitDir, *splitForce); });

  auto* csv = group(app, "csv", "CSV files");
  auto* rows = csv->add_subcommand(
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
});

}  // namespace
