// xrf vcard count|split and xrf csv rows: the text readers of xrfoundation/input over a file.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "command.h"
#include "xrfoundation/input/buffered_input_stream.h"

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
  auto reader =
      std::make_unique<xr::XRBufferedInputStream>(xr::makeFileInputStream(path), kBlockSize);
  reader->open();
  if (reader->status() == xr::StreamStatus::Error) {
    xrf::fail(reader->streamError().value_or("cannot open " + path));
    return nullptr;
  }
  return reader;
}

// The readers treat a read error as the end of the input; the tool must not.
bool endedCleanly(const xr::XRBufferedInputStream& reader) {
  if (reader.status() != xr::StreamStatus::Error) return true;
  xrf::fail(reader.streamError().value_or("read error"));
  return false;
}

// Calls use(record) for every record up to the real end of the input: a stray "END:VCARD"
// line makes readVCardData give none before the end, so atEnd() decides when to stop.
template <class Use>
bool forEachRecord(xr::XRBufferedInputStream& reader, Use use) {
  for (;;) {
    if (const auto record = reader.readVCardData()) {
      if (!use(*record)) return false;
    } else if (reader.atEnd()) {
      return endedCleanly(reader);
    }
  }
}

void countRecords(const std::string& path) {
  auto reader = openReader(path);
  if (!reader) return;
  std::uint64_t count = 0;
  if (forEachRecord(*reader, [&](std::string_view) { return ++count, true; })) {
    std::cout << count << '\n';
  }
}

void splitRecords(const std::string& path, const std::string& directory) {
  auto reader = openReader(path);
  if (!reader) return;
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) return xrf::fail("cannot create " + directory + ": " + error.message());
  std::uint64_t count = 0;
  forEachRecord(*reader, [&](std::string_view record) {
    const auto file = std::filesystem::path(directory) / (std::to_string(++count) + ".vcf");
    std::ofstream out(file, std::ios::binary);
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
    if (out.close(), !out) {
      xrf::fail("cannot write " + file.string());
      return false;
    }
    return true;
  });
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

xrf::CommandRegistrar registrar([](CLI::App& app) {
  auto* vcard = group(app, "vcard", "vCard files");

  auto* count = vcard->add_subcommand("count", "Print the number of vCard records in FILE");
  auto countFile = std::make_shared<std::string>();
  count->add_option("FILE", *countFile, "vCard file")->required();
  count->callback([countFile] { countRecords(*countFile); });

  auto* split = vcard->add_subcommand(
      "split", "Write each vCard record of FILE, byte for byte, as DIR/1.vcf, DIR/2.vcf, ...");
  auto splitFile = std::make_shared<std::string>();
  auto splitDir = std::make_shared<std::string>();
  split->add_option("FILE", *splitFile, "vCard file")->required();
  split->add_option("-o,--output", *splitDir, "directory for the records (made if missing)")
      ->required();
  split->callback([splitFile, splitDir] { splitRecords(*splitFile, *splitDir); });

  auto* csv = group(app, "csv", "CSV files");
  auto* rows = csv->add_subcommand(
      "rows", "Print each data row of FILE as a JSON object keyed by the header line's titles");
  auto rowsFile = std::make_shared<std::string>();
  rows->add_option("FILE", *rowsFile, "CSV file")->required();
  rows->callback([rowsFile] { printRows(*rowsFile); });
});

}  // namespace
